-- The tables of kelm on SQL Server.
CREATE TABLE kelm (
    日期 nvarchar(10),
    卡号 nvarchar(50),
    姓名 nvarchar(255),
    联系地址 nvarchar(255),
    联系电话 nvarchar(50),
    密码 nvarchar(50),
    身份证号 nvarchar(50),
    余额 decimal(19, 4) DEFAULT 0,
    积分 decimal(19, 4) DEFAULT 0
);
-- SQL Server compares text without trailing blanks. Every member with a card has a number of its own;
-- members without a card (a blank number) may be many.
CREATE INDEX kelm_card_number ON kelm (卡号);
CREATE UNIQUE INDEX kelm_card_unique ON kelm (卡号) WHERE 卡号 <> '';

CREATE TABLE gs (
    日期 nvarchar(10),
    卡号 nvarchar(50),
    姓名 nvarchar(255),
    联系地址 nvarchar(255),
    联系电话 nvarchar(50),
    密码 nvarchar(50),
    身份证号 nvarchar(50)
);

CREATE TABLE qzjl (
    日期 nvarchar(30),
    卡号 nvarchar(50),
    持卡人 nvarchar(255),
    业务 nvarchar(20),
    金额 decimal(19, 4),
    操作员 nvarchar(50)
);
-- A member's history finds the rows of one card number.
CREATE INDEX qzjl_card ON qzjl (卡号);

CREATE TABLE bz (
    标识 nvarchar(10)
);

CREATE TABLE lpgl (
    id int IDENTITY(1, 1) PRIMARY KEY,
    名称 nvarchar(255),
    数量 decimal(19, 4),
    积分 decimal(19, 4)
);

CREATE TABLE lpdhjr (
    日期 nvarchar(30),
    卡号 nvarchar(50),
    姓名 nvarchar(255),
    礼品 nvarchar(255),
    数量 decimal(19, 4),
    积分 decimal(19, 4),
    操作员 nvarchar(50)
);
CREATE INDEX lpdhjr_card ON lpdhjr (卡号);

-- Every change of money, points, members and gifts, written in the transaction of the change itself.
-- Rows are only ever added. 时间 is the till's local time, yyyy-mm-dd hh:mm:ss.
CREATE TABLE kelm_audit (
    id bigint IDENTITY(1, 1) PRIMARY KEY,
    时间 nvarchar(19),
    收银机 nvarchar(100),
    操作员 nvarchar(50),
    卡号 nvarchar(50),
    操作 nvarchar(20),
    原值 nvarchar(2000),
    新值 nvarchar(2000),
    说明 nvarchar(1000)
);
CREATE INDEX kelm_audit_card ON kelm_audit (卡号);

-- Wrong card passwords per card, shared by every till: 首次错误 and 锁定至 are UTC, yyyy-mm-dd hh:mm:ss.
CREATE TABLE kelm_pin (
    卡号 nvarchar(50) PRIMARY KEY,
    错误次数 int,
    首次错误 nvarchar(19),
    锁定至 nvarchar(19)
);
