-- What a till needs on PostgreSQL and nothing more, given to the role kelm_till (made here when the
-- server has none). Each till logs in as a role of its own that is a member of kelm_till, never as
-- the owner of the tables: money, redemption and audit records can only be added through it, never
-- changed or removed. Run by the server's administrator in the shop's database, after
-- kelm-admin init; running it again changes nothing:
--     psql -U postgres -d shop -v ON_ERROR_STOP=1 -f sql/grants-postgresql.sql
--     psql -U postgres -d shop -c "CREATE ROLE till1 LOGIN PASSWORD '...' IN ROLE kelm_till"
DO $$
BEGIN
    CREATE ROLE kelm_till NOLOGIN;
EXCEPTION WHEN duplicate_object THEN
    NULL;
END
$$;

GRANT USAGE ON SCHEMA public TO kelm_till;
-- Members and gifts are added, edited and deleted at the till; the card key byte is only read.
GRANT SELECT, INSERT, UPDATE, DELETE ON kelm, lpgl TO kelm_till;
GRANT SELECT ON bz TO kelm_till;
-- Lost cards, top-ups, redemptions and the audit are records: read and added, never rewritten.
GRANT SELECT, INSERT ON gs, qzjl, lpdhjr, kelm_audit TO kelm_till;
-- Wrong PIN counts are replaced by a delete and an insert.
GRANT SELECT, INSERT, DELETE ON kelm_pin TO kelm_till;

-- The sequences that number gifts and audit rows, whatever their names: an identity column needs no
-- grant of its own, but the serial column of a table another program made does.
DO $$
DECLARE
    sequence text;
BEGIN
    FOREACH sequence IN ARRAY ARRAY[pg_get_serial_sequence('lpgl', 'id'), pg_get_serial_sequence('kelm_audit', 'id')] LOOP
        IF sequence IS NOT NULL THEN
            EXECUTE format('GRANT USAGE ON SEQUENCE %s TO kelm_till', sequence);
        END IF;
    END LOOP;
END
$$;
