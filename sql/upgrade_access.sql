-- Brings an Access database of the module up to its schema version. Access runs
-- one statement at a time and has no IF NOT EXISTS: run each statement in turn
-- (a query window, or `veltrane-host --upgrade`, which skips the ones whose
-- object exists already).
CREATE INDEX ix_pubdept_parent ON pubdept(peid, eid);
CREATE INDEX ix_budgetadj_filter ON BusiBudgetAdj(datayear, BType, deptclass, status, eid, bkid, mid, bid, ipid, pid);
CREATE INDEX ix_budgetadj_key ON BusiBudgetAdj(datayear, BType, deptclass, mid, bkid, pid, ipid, bid, iid, eid);
CREATE TABLE BusiBudgetAdjLog (LogId COUNTER PRIMARY KEY, RunId TEXT(40) NOT NULL, Action TEXT(10) NOT NULL, DataYear LONG NOT NULL, BudgId LONG NOT NULL, OldStatus TEXT(2), NewStatus TEXT(2), BudgMoney CURRENCY, Operator TEXT(100) NOT NULL, Workstation TEXT(100) NOT NULL, LoggedAt TEXT(30) NOT NULL, eid TEXT(50), deptclass TEXT(10), BType TEXT(2), btypechild TEXT(2), mid TEXT(20), bid TEXT(20), iid TEXT(20), bkid TEXT(20), ipid TEXT(20), pid TEXT(20), ekid TEXT(20), IniBudgId LONG, InputDate TEXT(30), filename TEXT(200), secret TEXT(10), issecret TEXT(2), burid TEXT(20));
CREATE INDEX ix_budgetadjlog_operator ON BusiBudgetAdjLog(Operator, LogId);
CREATE INDEX ix_budgetadjlog_record ON BusiBudgetAdjLog(BudgId, LogId);
CREATE TABLE veltrane_schema (version LONG NOT NULL);
DELETE FROM veltrane_schema;
INSERT INTO veltrane_schema (version) VALUES (3);
