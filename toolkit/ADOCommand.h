#pragma once
// A command over a connection: one statement that returns no rows.
#include "toolkit/ADOConnection.h"

// Executes one statement that returns no rows.
class TOOLKIT_EXPORT TADOCommand : public TComponent {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TADOCommand(TComponent* AOwner = nullptr);
    ~TADOCommand() override;
    TADOConnection* Connection() const { return FConnection; }
    void SetConnection(TADOConnection* c);
    QString CommandText() const { return FText; }
    void SetCommandText(const QString& text) { FText = text; }
    void Execute();
    // Rows the statements of the latest Execute changed (inserted, updated, deleted).
    int RowsAffected() const { return FRowsAffected; }
    // While set, a cancel of the token stops the statement in flight (see TCancelToken).
    void SetCancelToken(TCancelToken* Token) { FCancel = Token; }
    void Notification(TComponent* AComponent, TOperation Operation) override;
private:
    TADOConnection* FConnection = nullptr;
    QString FText;
    int FRowsAffected = 0;
    TCancelToken* FCancel = nullptr;
};
