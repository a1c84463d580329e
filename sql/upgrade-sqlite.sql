-- Brings a kelm database made by an older kelm-admin (or by another program) up to sqlite.sql.
-- Every statement may run again on a database that is up to date already.
DROP INDEX IF EXISTS kelm_card_number;
CREATE INDEX kelm_card_number ON kelm (rtrim(卡号));
CREATE UNIQUE INDEX IF NOT EXISTS kelm_card_unique ON kelm (rtrim(卡号)) WHERE rtrim(卡号) <> '';
CREATE TABLE IF NOT EXISTS kelm_audit (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    时间 TEXT,
    收银机 TEXT,
    操作员 TEXT,
    卡号 TEXT,
    操作 TEXT,
    原值 TEXT,
    新值 TEXT,
    说明 TEXT
);
CREATE INDEX IF NOT EXISTS kelm_audit_card ON kelm_audit (rtrim(卡号));
CREATE TABLE IF NOT EXISTS kelm_pin (
    卡号 TEXT PRIMARY KEY,
    错误次数 INTEGER,
    首次错误 TEXT,
    锁定至 TEXT
);
CREATE INDEX IF NOT EXISTS qzjl_card ON qzjl (rtrim(卡号));
CREATE INDEX IF NOT EXISTS lpdhjr_card ON lpdhjr (rtrim(卡号));
