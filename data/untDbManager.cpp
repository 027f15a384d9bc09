#include "data/untDbManager.h"

#include <QPointer>

// {DEA3183F-28EB-4F96-AF59-650794C3F468}
const QUuid IID_IARQuery(0xDEA3183F, 0x28EB, 0x4F96, 0xAF, 0x59, 0x65, 0x07, 0x94, 0xC3, 0xF4, 0x68);
const QString DefConnectionName = QStringLiteral("Def");

namespace {
// The platform's base interface.
const QUuid IID_IInterface(0x00000000, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
std::atomic<int> liveQueries{0};
}  // namespace

// ---------------------------------------------------------------------------

TAdoConn::TAdoConn(TComponent* AOwner) : TADOConnection(AOwner) {}

QString TAdoConn::ProviderUpper() const
{
    return AsciiUpper(Provider());
}

namespace {
bool ProviderHas(const TAdoConn* conn, std::initializer_list<const char*> keys)
{
    const QString upper = conn->ProviderUpper();
    for (const char* k : keys)
        if (upper.contains(QLatin1String(k)))
            return true;
    return false;
}
}  // namespace

bool TAdoConn::IsAccess() const
{
    return ProviderHas(this, {"ACCESS", "JET.OLEDB"});
}

bool TAdoConn::IsSqlServer() const
{
    return ProviderHas(this, {"MSSQL", "SQLOLEDB", "SQL SERVER"});
}

bool TAdoConn::IsOracle() const
{
    return ProviderHas(this, {"ORACLE", "ORAOLEDB", "MSDAORA"});
}

bool TAdoConn::IsPostgres() const
{
    return ProviderHas(this, {"POSTGRES", "PGSQL", "NPGSQL"});
}

// ---------------------------------------------------------------------------

TARQuery::TARQuery(TComponent* AOwner) : TADOQuery(AOwner)
{
    ++liveQueries;
}

TARQuery::~TARQuery()
{
    // First thing: references dropped while the dataset tears down must not
    // start a second destruction.
    FDestroying = true;
    // Owned parts go while this is still a whole TARQuery, so that a reference
    // they drop meets the guard and not a half-destroyed object.
    while (ComponentCount() > 0)
        Components(ComponentCount() - 1)->Free();
    Close();
    --liveQueries;
}

long TARQuery::QueryInterface(const QUuid& iid, void** obj)
{
    if (!obj)
        return E_NOINTERFACE;
    if (iid == IID_IARQuery || iid == IID_IInterface) {
        *obj = static_cast<IARQuery*>(this);
        _AddRef();
        return S_OK;
    }
    *obj = nullptr;
    return E_NOINTERFACE;
}

int TARQuery::_AddRef()
{
    return ++FRefCount;
}

int TARQuery::_Release()
{
    const int count = --FRefCount;
    if (count == 0 && !FDestroying) {
        FDestroying = true;
        Free();
    }
    return count;
}

int TARQuery::LiveCount()
{
    return liveQueries.load();
}

// ---------------------------------------------------------------------------

TDbManager::TDbManager(TComponent* AOwner) : TComponent(AOwner) {}

TDbManager::~TDbManager()
{
    // Connections the manager made itself have no owner; they end with it.
    // Connections the host registered belong to the host.
    const QList<QPointer<TAdoConn>> own = FOwnConnections;
    FOwnConnections.clear();
    for (const QPointer<TAdoConn>& c : own)
        if (c)
            c->Free();
}

TAdoConn* TDbManager::GetConnection(const QString& Name)
{
    const int i = IndexOfConnection(Name);
    if (i < 0) {
        TAdoConn* c = NewConnection(nullptr);
        try {
            AddConnection(c, Name);
        } catch (...) {
            c->Free();
            throw;
        }
        FOwnConnections.append(c);
        return c;
    }
    return static_cast<TAdoConn*>(Connections.ObjectAt(i));
}

TAdoConn* TDbManager::NewConnection(TComponent* Owner)
{
    auto* c = new TAdoConn(Owner);
    c->SetLoginPrompt(LoginPrompt);
    c->SetConnectionString(ConnectionString);
    return c;
}

void TDbManager::AddConnection(TAdoConn* Conn, const QString& Name)
{
    if (IndexOfConnection(Name) >= 0)
        throw TExceptDbManager(FormatOne(QStringLiteral("一个名为%s的TAdoConn对象已经存在！"), Name));
    if (!Conn)
        return;
    Conn->FreeNotification(this);
    Connections.AddObject(Name, Conn);
}

int TDbManager::IndexOfConnection(const QString& Name) const
{
    return Connections.FindName(Name);
}

void TDbManager::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation != opRemove || !AComponent)
        return;
    for (int i = Connections.Count() - 1; i >= 0; --i)
        if (Connections.ObjectAt(i) == AComponent)
            Connections.DeleteAt(i);
    FOwnConnections.removeIf(
        [AComponent](const QPointer<TAdoConn>& c) { return !c || static_cast<QObject*>(c.data()) == AComponent; });
}

// ---------------------------------------------------------------------------

void OpenQuery(TAdoConn* Conn, const QString& SQL, IARQueryRef& Query)
{
    Query.Clear();
    auto* q = new TARQuery(nullptr);
    try {
        q->SetSQLText(SQL);
        q->SetConnection(Conn);
        if (!Conn)
            throw TExceptDbManager(QStringLiteral("没有指定数据库连接"));
        q->Open();
    } catch (...) {
        // Never handed out: nobody else would ever free it.
        q->Free();
        throw;
    }
    Query = IARQueryRef(static_cast<IARQuery*>(q));
}

int ExecSQL(TADOConnection* Conn, const QString& SQL, TCancelToken* Cancel)
{
    TADOCommand cmd(nullptr);
    if (!Conn)
        throw TExceptDbManager(QStringLiteral("没有指定数据库连接"));
    cmd.SetConnection(Conn);
    cmd.SetCommandText(SQL);
    cmd.SetCancelToken(Cancel);
    cmd.Execute();
    return cmd.RowsAffected();
}

void QueryAsInterface(TARQuery* Query)
{
    if (!Query)
        return;
    IARQueryRef ref(static_cast<IARQuery*>(Query));
}
