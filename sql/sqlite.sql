-- The tables of kelm on SQLite. kelm-admin init runs this once on a new database file.
CREATE TABLE kelm (
    日期 TEXT,
    卡号 TEXT,
    姓名 TEXT,
    联系地址 TEXT,
    联系电话 TEXT,
    密码 TEXT,
    身份证号 TEXT,
    余额 NUMERIC DEFAULT 0,
    积分 NUMERIC DEFAULT 0
);
-- Card numbers are compared without trailing blanks. Every member with a card has a number of its
-- own; members without a card (a blank number) may be many.
CREATE INDEX kelm_card_number ON kelm (rtrim(卡号));
CREATE UNIQUE INDEX kelm_card_unique ON kelm (rtrim(卡号)) WHERE rtrim(卡号) <> '';

CREATE TABLE gs (
    日期 TEXT,
    卡号 TEXT,
    姓名 TEXT,
    联系地址 TEXT,
    联系电话 TEXT,
    密码 TEXT,
    身份证号 TEXT
);

CREATE TABLE qzjl (
    日期 TEXT,
    卡号 TEXT,
    持卡人 TEXT,
    业务 TEXT,
    金额 NUMERIC,
    操作员 TEXT
);
-- A member's history finds the rows of one card number, compared without trailing blanks.
CREATE INDEX qzjl_card ON qzjl (rtrim(卡号));

CREATE TABLE bz (
    标识 TEXT
);

CREATE TABLE lpgl (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    名称 TEXT,
    数量 NUMERIC,
    积分 NUMERIC
);

CREATE TABLE lpdhjr (
    日期 TEXT,
    卡号 TEXT,
    姓名 TEXT,
    礼品 TEXT,
    数量 NUMERIC,
    积分 NUMERIC,
    操作员 TEXT
);
CREATE INDEX lpdhjr_card ON lpdhjr (rtrim(卡号));

-- Every change of money, points, members and gifts, written in the transaction of the change itself.
-- Rows are only ever added. 时间 is the till's local time, yyyy-mm-dd hh:mm:ss.
CREATE TABLE kelm_audit (
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
CREATE INDEX kelm_audit_card ON kelm_audit (rtrim(卡号));

-- Wrong card passwords per card, shared by every till: 首次错误 and 锁定至 are UTC, yyyy-mm-dd hh:mm:ss.
CREATE TABLE kelm_pin (
    卡号 TEXT PRIMARY KEY,
    错误次数 INTEGER,
    首次错误 TEXT,
    锁定至 TEXT
);
