-- Brings a SQL Server database of the module up to its schema version: the
-- indexes its statements need and the journal of its writes. Safe to run again.
-- Run with sqlcmd -d budget -i upgrade_mssql.sql, or `veltrane-host --upgrade`.
IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = 'ix_pubdept_parent')
    CREATE INDEX ix_pubdept_parent ON pubdept(peid, eid);
IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = 'ix_budgetadj_filter')
    CREATE INDEX ix_budgetadj_filter ON BusiBudgetAdj(datayear, BType, deptclass, status, eid, bkid, mid, bid, ipid, pid);
IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = 'ix_budgetadj_key')
    CREATE INDEX ix_budgetadj_key ON BusiBudgetAdj(datayear, BType, deptclass, mid, bkid, pid, ipid, bid, iid, eid);
IF OBJECT_ID('BusiBudgetAdjLog') IS NULL
    CREATE TABLE BusiBudgetAdjLog (
        LogId BIGINT IDENTITY(1,1) PRIMARY KEY, RunId VARCHAR(40) NOT NULL, Action VARCHAR(10) NOT NULL,
        DataYear INT NOT NULL, BudgId INT NOT NULL, OldStatus VARCHAR(2), NewStatus VARCHAR(2),
        BudgMoney DECIMAL(18,2), Operator NVARCHAR(100) NOT NULL, Workstation NVARCHAR(100) NOT NULL,
        LoggedAt VARCHAR(30) NOT NULL, eid VARCHAR(50), deptclass VARCHAR(10), BType VARCHAR(2),
        btypechild VARCHAR(2), mid VARCHAR(20), bid VARCHAR(20), iid VARCHAR(20), bkid VARCHAR(20),
        ipid VARCHAR(20), pid VARCHAR(20), ekid VARCHAR(20), IniBudgId INT, InputDate VARCHAR(30),
        filename NVARCHAR(200), secret VARCHAR(10), issecret VARCHAR(2), burid VARCHAR(20));
IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = 'ix_budgetadjlog_operator')
    CREATE INDEX ix_budgetadjlog_operator ON BusiBudgetAdjLog(Operator, LogId);
IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = 'ix_budgetadjlog_record')
    CREATE INDEX ix_budgetadjlog_record ON BusiBudgetAdjLog(BudgId, LogId);
IF OBJECT_ID('veltrane_schema') IS NULL
    CREATE TABLE veltrane_schema (version INT NOT NULL);
DELETE FROM veltrane_schema;
INSERT INTO veltrane_schema (version) VALUES (3);
