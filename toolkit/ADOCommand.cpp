#include "toolkit/ADOCommand.h"
#include "toolkit/ADOInternal.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <sqlite3.h>

using namespace adointernal;

// ---------------------------------------------------------------------------
// TADOCommand

TADOCommand::TADOCommand(TComponent* AOwner) : TComponent(AOwner) {}

TADOCommand::~TADOCommand()
{
    if (FConnection)
        FConnection->Detach(&FConnection);
}

void TADOCommand::SetConnection(TADOConnection* c)
{
    if (FConnection == c)
        return;
    if (FConnection)
        FConnection->Detach(&FConnection);
    FConnection = c;
    if (FConnection)
        FConnection->Attach(&FConnection, nullptr);
}

void TADOCommand::Execute()
{
    TADOConnection* conn = RequireConnection(FConnection);
    QSqlDatabase db = conn->Database();
    TADOConnection::Trace(FText);
    FRowsAffected = 0;
    struct Running {
        TCancelToken* token;
        ~Running()
        {
            if (token)
                token->Leave();
        }
    } running{FCancel};
    if (FCancel)
        FCancel->Enter(db);
    if (sqlite3* h = SqliteHandle(db)) {
        const QByteArray text = FText.toUtf8();
        const char* sql = text.constData();
        const char* end = sql + text.size();
        bool ran = false;
        // Every statement of the text runs in turn; rows they return are dropped.
        while (sql < end) {
            sqlite3_stmt* st = nullptr;
            const char* tail = nullptr;
            if (sqlite3_prepare_v2(h, sql, int(end - sql), &st, &tail) != SQLITE_OK)
                throw SqliteError(h);
            sql = tail;
            if (!st)
                continue;   // only blanks or a comment left
            ran = true;
            int rc;
            while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            }
            const bool readOnly = sqlite3_stmt_readonly(st) != 0;
            sqlite3_finalize(st);
            if (rc != SQLITE_DONE)
                throw SqliteError(h);
            if (!readOnly)
                FRowsAffected += sqlite3_changes(h);
        }
        if (!ran)
            throw EDatabaseError(QStringLiteral("SQL语句为空"));
        return;
    }
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(FText)) {
        const QSqlError error = q.lastError();
        q = QSqlQuery();
        throw conn->StatementFailed(db, error);
    }
    FRowsAffected = qMax(0, q.numRowsAffected());
}

void TADOCommand::Notification(TComponent* AComponent, TOperation Operation)
{
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent && AComponent == FConnection) {
        FConnection->Detach(&FConnection);
        FConnection = nullptr;
    }
}
