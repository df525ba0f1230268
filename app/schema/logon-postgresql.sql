-- The journal's table Logon on a PostgreSQL server, for many workstations writing one journal.
-- Run once per journal database by a role that may create roles (a superuser, or the
-- database owner with CREATEROLE):
--
--     psql -v ON_ERROR_STOP=1 -d logonjournal -f logon-postgresql.sql
--
-- The same fields, types and indexes as logon.sql; names are quoted so that they keep the
-- letter case the journal and its grid show.
--
-- Three group roles (made when missing; they are the cluster's, shared by its databases):
--
--   logonjournal_recorders  every account whose sessions are recorded. Its members log in as
--                           themselves (the role's name is the account's login name) and may
--                           add rows of their own name only, still open, with the ID the
--                           server assigns; stamp the logoff time of their own open rows and
--                           change nothing else; see their own rows only. Never DELETE,
--                           TRUNCATE or any other UPDATE.
--   logonjournal_viewers    may read every row (the overview of all workstations).
--   logonjournal_admins     owns the table: reads, changes and deletes any row, and alters
--                           the table (the journal's upgrade button).
--
-- Row-level security is forced, so that it holds for the owner's members as well; only
-- superusers and roles with BYPASSRLS pass by it.

DO $$
DECLARE
  name text;
BEGIN
  FOREACH name IN ARRAY ARRAY['logonjournal_recorders', 'logonjournal_viewers', 'logonjournal_admins'] LOOP
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = name) THEN
      EXECUTE format('CREATE ROLE %I NOLOGIN', name);
    END IF;
  END LOOP;
END
$$;

CREATE TABLE "Logon" (
  "ID" serial CONSTRAINT "Logon.PrimaryKey" PRIMARY KEY,
  "Username" varchar(50),
  "Computer" varchar(20),
  "logontime" timestamp(3),
  "logofftime" timestamp(3),
  "IP" varchar(20),
  "Betriebssystem" varchar(50),
  "Typ" varchar(10)
);
CREATE INDEX "Logon.logontime" ON "Logon" ("logontime");
CREATE INDEX "Logon.UserComputerLogon" ON "Logon" ("Username", "Computer", "logontime");

ALTER TABLE "Logon" OWNER TO logonjournal_admins;
REVOKE ALL ON "Logon" FROM PUBLIC;
REVOKE ALL ON SEQUENCE "Logon_ID_seq" FROM PUBLIC;

-- Recorders: the columns of a new row without its ID (the sequence's default gives it; a
-- chosen ID could take a number the sequence hands out later and make every later logon
-- fail), the logoff stamp, and reading for the look-up of the open row.
GRANT SELECT ON "Logon" TO logonjournal_recorders;
GRANT INSERT ("Username", "Computer", "logontime", "logofftime", "IP", "Betriebssystem", "Typ")
  ON "Logon" TO logonjournal_recorders;
GRANT UPDATE ("logofftime") ON "Logon" TO logonjournal_recorders;
GRANT USAGE ON SEQUENCE "Logon_ID_seq" TO logonjournal_recorders;

GRANT SELECT ON "Logon" TO logonjournal_viewers;

GRANT ALL ON "Logon" TO logonjournal_admins;
GRANT ALL ON SEQUENCE "Logon_ID_seq" TO logonjournal_admins;

ALTER TABLE "Logon" ENABLE ROW LEVEL SECURITY;
ALTER TABLE "Logon" FORCE ROW LEVEL SECURITY;

-- A row of one's own name, and open: a closed row is history from the start.
CREATE POLICY "record own logon" ON "Logon" FOR INSERT TO logonjournal_recorders
  WITH CHECK ("Username" = current_user AND "logofftime" IS NULL);
CREATE POLICY "see own rows" ON "Logon" FOR SELECT TO logonjournal_recorders
  USING ("Username" = current_user);
-- Only open rows of one's own can be stamped, and only once: a stamped row is no longer open.
-- The new row is checked for the name only (the stamp itself closes the row).
CREATE POLICY "stamp own open row" ON "Logon" FOR UPDATE TO logonjournal_recorders
  USING ("Username" = current_user AND "logofftime" IS NULL)
  WITH CHECK ("Username" = current_user);

CREATE POLICY "see every row" ON "Logon" FOR SELECT TO logonjournal_viewers USING (true);

CREATE POLICY "keep the journal" ON "Logon" FOR ALL TO logonjournal_admins USING (true) WITH CHECK (true);
