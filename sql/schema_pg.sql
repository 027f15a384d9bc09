-- PostgreSQL database of the payment-scope confirmation module: the same tables,
-- view and indexes as the embedded SQLite one. Codes are text (the module compares
-- them with quoted values); money is numeric(18,2), exact to the cent.

-- Budget units. Column order is fixed: the host fills its unit record from a
-- row of this table by position (0 eid, 4 deptclass, 17 secretflag).
CREATE TABLE IF NOT EXISTS pubdept (
    eid         TEXT COLLATE "C" NOT NULL PRIMARY KEY,  -- 3 characters per level; C: LIKE 'prefix%' uses the index
    peid        TEXT COLLATE "C" NOT NULL DEFAULT '',   -- parent code, '' at the top level
    ename       TEXT NOT NULL,
    ecode       TEXT,                       -- organisation code
    deptclass   TEXT NOT NULL DEFAULT '2',
    leafflag    TEXT NOT NULL DEFAULT '0',  -- '0' leaf, '1' has children
    useflag     TEXT NOT NULL DEFAULT '0',  -- '0' in use
    replaceflag TEXT NOT NULL DEFAULT '0',  -- '1' entered on another unit's behalf
    levelno     INTEGER NOT NULL DEFAULT 1,
    shortname   TEXT,
    linkman     TEXT,
    phone       TEXT,
    address     TEXT,
    burid       TEXT,                       -- responsible office
    budglevel   TEXT,
    remark      TEXT,
    orderno     INTEGER,
    secretflag  TEXT NOT NULL DEFAULT '0'   -- '1': the unit's records are not secret by default
);
-- The tree's children of one unit, in code order.
CREATE INDEX IF NOT EXISTS ix_pubdept_parent ON pubdept(peid, eid);

-- Lookups behind the record view.
CREATE TABLE IF NOT EXISTS pubfundnature (mid  TEXT NOT NULL PRIMARY KEY, mname  TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS pubsubject    (bid  TEXT NOT NULL PRIMARY KEY, bname  TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS pubproject    (iid  TEXT NOT NULL PRIMARY KEY, iname  TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS pubbudgsource (bkid TEXT NOT NULL PRIMARY KEY, bkname TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS pubexptype    (ipid TEXT NOT NULL PRIMARY KEY, ipname TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS pubpaymethod  (pid  TEXT NOT NULL PRIMARY KEY, pname  TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS pubeconclass  (ekid TEXT NOT NULL PRIMARY KEY, ekname TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS puboffice     (burid TEXT NOT NULL PRIMARY KEY, burname TEXT NOT NULL);

-- Budget indicator records.
CREATE TABLE IF NOT EXISTS BusiBudgetAdj (
    datayear    INTEGER NOT NULL,
    BudgId      INTEGER NOT NULL,
    eid         TEXT COLLATE "C" NOT NULL,   -- C: LIKE 'prefix%' uses the index
    deptclass   TEXT NOT NULL,
    BType       TEXT NOT NULL,              -- '0' 控制数, '1' 预算数, '2' 临时指标
    btypechild  TEXT NOT NULL,
    mid         TEXT NOT NULL,
    bid         TEXT NOT NULL,
    iid         TEXT NOT NULL,
    bkid        TEXT NOT NULL,
    ipid        TEXT NOT NULL,
    pid         TEXT NOT NULL,
    ekid        TEXT,
    BudgMoney   numeric(18,2) NOT NULL DEFAULT 0,
    status      TEXT NOT NULL DEFAULT '0',  -- '0' unconfirmed, '1' confirmed
    IniBudgId   INTEGER,
    InputDate   TEXT,
    filename    TEXT,
    secret      TEXT,
    issecret    TEXT NOT NULL DEFAULT '0',
    burid       TEXT,
    PRIMARY KEY (datayear, BudgId)
);
-- The record query: year, budget type, department class and status, then the
-- unit range; the rest in the order the detail view lists its records, so the
-- index walks only the rows of the range and needs no sort.
CREATE INDEX IF NOT EXISTS ix_budgetadj_filter ON BusiBudgetAdj(datayear, BType, deptclass, status, eid, bkid, mid, bid, ipid, pid);
-- The summary view's update and delete: every key of a summary row, then the
-- unit range, so a statement touches only the records of its key combination.
CREATE INDEX IF NOT EXISTS ix_budgetadj_key ON BusiBudgetAdj(datayear, BType, deptclass, mid, bkid, pid, ipid, bid, iid, eid);

CREATE OR REPLACE VIEW vwbudgetadj AS
SELECT a.BudgId, a.eid AS Eid, d.ecode, d.ename,
       a.mid AS Mid, m.mname, a.bid AS Bid, b.bname, a.iid AS Iid, i.iname,
       a.bkid AS BKid, k.bkname, a.ipid AS IPid, t.ipname, a.pid AS Pid, p.pname,
       a.ekid AS EKid, e.ekname, a.BudgMoney, a.status, a.IniBudgId, a.InputDate,
       a.filename, a.secret, a.issecret, a.btypechild, a.BType AS btype,
       a.burid, o.burname, a.datayear, a.deptclass
  FROM BusiBudgetAdj a
  LEFT JOIN pubdept d       ON d.eid = a.eid
  LEFT JOIN pubfundnature m ON m.mid = a.mid
  LEFT JOIN pubsubject b    ON b.bid = a.bid
  LEFT JOIN pubproject i    ON i.iid = a.iid
  LEFT JOIN pubbudgsource k ON k.bkid = a.bkid
  LEFT JOIN pubexptype t    ON t.ipid = a.ipid
  LEFT JOIN pubpaymethod p  ON p.pid = a.pid
  LEFT JOIN pubeconclass e  ON e.ekid = a.ekid
  LEFT JOIN puboffice o     ON o.burid = a.burid;
