-- The six tables of kelm on SQL Server.
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
