-- Brings a kelm database made by an older kelm-admin (or by another program) up to sqlite.sql.
-- Every statement may run again on a database that is up to date already.
DROP INDEX IF EXISTS kelm_card_number;
CREATE INDEX kelm_card_number ON kelm (rtrim(卡号));
CREATE UNIQUE INDEX IF NOT EXISTS kelm_card_unique ON kelm (rtrim(卡号)) WHERE rtrim(卡号) <> '';
