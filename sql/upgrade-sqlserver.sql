-- Brings a kelm database made by an older kelm-admin (or by the shop's first tills) up to
-- sqlserver.sql. Every statement may run again on a database that is up to date already.
IF NOT EXISTS (SELECT * FROM sys.indexes WHERE name = 'kelm_card_number' AND object_id = OBJECT_ID('kelm')) CREATE INDEX kelm_card_number ON kelm (卡号);
IF NOT EXISTS (SELECT * FROM sys.indexes WHERE name = 'kelm_card_unique' AND object_id = OBJECT_ID('kelm')) CREATE UNIQUE INDEX kelm_card_unique ON kelm (卡号) WHERE 卡号 <> '';
IF OBJECT_ID('kelm_audit') IS NULL CREATE TABLE kelm_audit (id bigint IDENTITY(1, 1) PRIMARY KEY, 时间 nvarchar(19), 收银机 nvarchar(100), 操作员 nvarchar(50), 卡号 nvarchar(50), 操作 nvarchar(20), 原值 nvarchar(2000), 新值 nvarchar(2000), 说明 nvarchar(1000));
IF NOT EXISTS (SELECT * FROM sys.indexes WHERE name = 'kelm_audit_card' AND object_id = OBJECT_ID('kelm_audit')) CREATE INDEX kelm_audit_card ON kelm_audit (卡号);
IF OBJECT_ID('kelm_pin') IS NULL CREATE TABLE kelm_pin (卡号 nvarchar(50) PRIMARY KEY, 错误次数 int, 首次错误 nvarchar(19), 锁定至 nvarchar(19));
IF NOT EXISTS (SELECT * FROM sys.indexes WHERE name = 'qzjl_card' AND object_id = OBJECT_ID('qzjl')) CREATE INDEX qzjl_card ON qzjl (卡号);
IF NOT EXISTS (SELECT * FROM sys.indexes WHERE name = 'lpdhjr_card' AND object_id = OBJECT_ID('lpdhjr')) CREATE INDEX lpdhjr_card ON lpdhjr (卡号);
