-- Brings an embedded database of the module up to its schema version (PRAGMA
-- user_version, set by the host after this script): the indexes its statements
-- need and the journal of its writes. Everything is created only where missing.
CREATE INDEX IF NOT EXISTS ix_pubdept_parent ON pubdept(peid, eid);
CREATE INDEX IF NOT EXISTS ix_budgetadj_filter ON BusiBudgetAdj(datayear, BType, deptclass, status, eid, bkid, mid, bid, ipid, pid);
CREATE INDEX IF NOT EXISTS ix_budgetadj_key ON BusiBudgetAdj(datayear, BType, deptclass, mid, bkid, pid, ipid, bid, iid, eid);

-- The journal of the module's writes: one entry per record a confirm, cancel,
-- delete or undo changed, written in the same transaction as the change. A
-- delete's entry keeps the whole record as it was, so that it can be restored:
--   insert into BusiBudgetAdj (datayear,BudgId,eid,...) select DataYear,BudgId,eid,...
--     from BusiBudgetAdjLog where LogId=...
CREATE TABLE IF NOT EXISTS BusiBudgetAdjLog (
    LogId       INTEGER PRIMARY KEY,         -- in the order written
    RunId       TEXT NOT NULL,               -- one confirm, cancel, delete or undo of a window
    Action      TEXT NOT NULL,               -- confirm, cancel, delete, undo
    DataYear    INTEGER NOT NULL,
    BudgId      INTEGER NOT NULL,
    OldStatus   TEXT,
    NewStatus   TEXT,                        -- NULL for a delete
    BudgMoney   REAL,
    Operator    TEXT NOT NULL,
    Workstation TEXT NOT NULL,
    LoggedAt    TEXT NOT NULL,               -- UTC, yyyy-MM-ddTHH:mm:ss.zzzZ
    eid TEXT, deptclass TEXT, BType TEXT, btypechild TEXT, mid TEXT, bid TEXT, iid TEXT, bkid TEXT,
    ipid TEXT, pid TEXT, ekid TEXT, IniBudgId INTEGER, InputDate TEXT, filename TEXT, secret TEXT,
    issecret TEXT, burid TEXT
);
-- The journal is searched newest first (by its key) by operator and by record:
-- each has an index that ends in the key, so that the newest entries of one
-- operator or one record come at once from a journal of millions. Two pages
-- more written with each entry; time and unit ranges walk the key.
CREATE INDEX IF NOT EXISTS ix_budgetadjlog_operator ON BusiBudgetAdjLog(Operator, LogId);
CREATE INDEX IF NOT EXISTS ix_budgetadjlog_record ON BusiBudgetAdjLog(BudgId, LogId);
