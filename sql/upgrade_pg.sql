-- Brings a PostgreSQL database of the module up to its schema version: the
-- indexes its statements need and the journal of its writes. Safe to run again:
-- everything is created only where missing. Run by `veltrane-host --upgrade`, or by
-- hand: psql -d budget -f upgrade_pg.sql

-- Indexes: the record query, the summary key, the unit tree's children.
CREATE INDEX IF NOT EXISTS ix_pubdept_parent ON pubdept(peid, eid);
CREATE INDEX IF NOT EXISTS ix_budgetadj_filter ON BusiBudgetAdj(datayear, BType, deptclass, status, eid, bkid, mid, bid, ipid, pid);
CREATE INDEX IF NOT EXISTS ix_budgetadj_key ON BusiBudgetAdj(datayear, BType, deptclass, mid, bkid, pid, ipid, bid, iid, eid);

-- The journal of the module's writes: one entry per record a confirm, cancel,
-- delete or undo changed, written in the same transaction as the change. A
-- delete's entry keeps the whole record as it was, so that it can be restored:
--   insert into BusiBudgetAdj (datayear,BudgId,eid,...) select DataYear,BudgId,eid,...
--     from BusiBudgetAdjLog where LogId=...
CREATE TABLE IF NOT EXISTS BusiBudgetAdjLog (
    LogId       BIGSERIAL PRIMARY KEY,
    RunId       TEXT NOT NULL,               -- one confirm, cancel, delete or undo of a window
    Action      TEXT NOT NULL,               -- confirm, cancel, delete, undo
    DataYear    INTEGER NOT NULL,
    BudgId      INTEGER NOT NULL,
    OldStatus   TEXT,
    NewStatus   TEXT,                        -- NULL for a delete
    BudgMoney   numeric(18,2),
    Operator    TEXT NOT NULL,
    Workstation TEXT NOT NULL,
    LoggedAt    TEXT NOT NULL,               -- UTC, yyyy-MM-ddTHH:mm:ss.zzzZ
    eid TEXT, deptclass TEXT, BType TEXT, btypechild TEXT, mid TEXT, bid TEXT, iid TEXT, bkid TEXT,
    ipid TEXT, pid TEXT, ekid TEXT, IniBudgId INTEGER, InputDate TEXT, filename TEXT, secret TEXT,
    issecret TEXT, burid TEXT
);
-- Searched newest first by operator and by record (a record's history too).
CREATE INDEX IF NOT EXISTS ix_budgetadjlog_operator ON BusiBudgetAdjLog(Operator, LogId);
CREATE INDEX IF NOT EXISTS ix_budgetadjlog_record ON BusiBudgetAdjLog(BudgId, LogId);

-- The schema version, one row.
CREATE TABLE IF NOT EXISTS veltrane_schema (version INTEGER NOT NULL);
DELETE FROM veltrane_schema;
INSERT INTO veltrane_schema (version) VALUES (3);
