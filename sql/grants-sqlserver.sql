-- What a till needs on SQL Server and nothing more, given to the database role kelm_till (made here
-- when the database has none). Each till logs in as a user of its own that is a member of kelm_till,
-- never as sa or the database owner: money, redemption and audit records can only be added through
-- it, never changed or removed. Run by the database owner in the shop's database, after
-- kelm-admin init; running it again changes nothing:
--     sqlcmd -S db1 -U sa -d shop -b -i sql/grants-sqlserver.sql
IF DATABASE_PRINCIPAL_ID('kelm_till') IS NULL CREATE ROLE kelm_till;

-- Members and gifts are added, edited and deleted at the till; the card key byte is only read.
GRANT SELECT, INSERT, UPDATE, DELETE ON kelm TO kelm_till;
GRANT SELECT, INSERT, UPDATE, DELETE ON lpgl TO kelm_till;
GRANT SELECT ON bz TO kelm_till;
-- Lost cards, top-ups, redemptions and the audit are records: read and added, never rewritten.
GRANT SELECT, INSERT ON gs TO kelm_till;
GRANT SELECT, INSERT ON qzjl TO kelm_till;
GRANT SELECT, INSERT ON lpdhjr TO kelm_till;
GRANT SELECT, INSERT ON kelm_audit TO kelm_till;
-- Wrong PIN counts are replaced by a delete and an insert.
GRANT SELECT, INSERT, DELETE ON kelm_pin TO kelm_till;
