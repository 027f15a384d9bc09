#pragma once
// The host's connection manager, the module's connection class with its provider
// tests, and reference-counted query objects. Shared by host and module.
#include "data/DbExport.h"
#include "data/untObjectStringList.h"
#include "toolkit/ADODB.h"
#include "toolkit/Interfaces.h"
#include <QPointer>
#include <atomic>

DECLARE_EXCEPTION(DBMANAGER_EXPORT, TExceptDbManager, Exception)

class DBMANAGER_EXPORT TAdoConn : public TADOConnection {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TAdoConn(TComponent* AOwner = nullptr);
    // The provider's name with its letters a to z in capitals, as the tests compare it.
    QString ProviderUpper() const;
    bool IsAccess() const;
    bool IsSqlServer() const;
    bool IsOracle() const;
    bool IsPostgres() const;
};

class TARQuery;

// {DEA3183F-28EB-4F96-AF59-650794C3F468}
class IARQuery : public IInterface {
public:
    virtual TARQuery* GetQuery() = 0;
protected:
    ~IARQuery() = default;
};
DBMANAGER_EXPORT extern const QUuid IID_IARQuery;
using IARQueryRef = TInterfaceRef<IARQuery>;

class DBMANAGER_EXPORT TARQuery : public TADOQuery, public IARQuery {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TARQuery(TComponent* AOwner = nullptr);
    ~TARQuery() override;
    long QueryInterface(const QUuid& iid, void** obj) override;
    int _AddRef() override;
    int _Release() override;
    TARQuery* GetQuery() override { return this; }
    int RefCount() const { return FRefCount.load(); }
    bool Destroying() const { return FDestroying; }
    // Live TARQuery objects in the process (tests check that none leak).
    static int LiveCount();
private:
    std::atomic<int> FRefCount{0};
    bool FDestroying = false;
};

class DBMANAGER_EXPORT TDbManager : public TComponent {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TDbManager(TComponent* AOwner = nullptr);
    ~TDbManager() override;

    bool LoginPrompt = false;
    QString ConnectionString;
    TObjectStringList Connections;

    TAdoConn* GetConnection(const QString& Name);
    TAdoConn* NewConnection(TComponent* Owner);
    void AddConnection(TAdoConn* Conn, const QString& Name);
    int IndexOfConnection(const QString& Name) const;

    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    // Made by GetConnection (no owner): freed with the manager.
    QList<QPointer<TAdoConn>> FOwnConnections;
};

DBMANAGER_EXPORT extern const QString DefConnectionName;   // "Def"

// Opens SQL on Conn into Query (cleared first); errors propagate, a query whose
// opening failed is destroyed at once.
DBMANAGER_EXPORT void OpenQuery(TAdoConn* Conn, const QString& SQL, IARQueryRef& Query);
// Runs one statement; errors propagate.
// Runs SQL on Conn; the rows it changed. Errors propagate.
DBMANAGER_EXPORT int ExecSQL(TADOConnection* Conn, const QString& SQL, TCancelToken* Cancel = nullptr);
// Takes and drops one interface reference: a query at count 0 is destroyed.
DBMANAGER_EXPORT void QueryAsInterface(TARQuery* Query);
