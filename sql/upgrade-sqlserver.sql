-- Brings a kelm database made by an older kelm-admin (or by the shop's first tills) up to
-- sqlserver.sql. Every statement may run again on a database that is up to date already.
IF NOT EXISTS (SELECT * FROM sys.indexes WHERE name = 'kelm_card_number' AND object_id = OBJECT_ID('kelm')) CREATE INDEX kelm_card_number ON kelm (卡号);
IF NOT EXISTS (SELECT * FROM sys.indexes WHERE name = 'kelm_card_unique' AND object_id = OBJECT_ID('kelm')) CREATE UNIQUE INDEX kelm_card_unique ON kelm (卡号) WHERE 卡号 <> '';
