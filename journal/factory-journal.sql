-- The factory database of the kstune station journal: one PostgreSQL database that every bench
-- appends to and nobody but its administrator can change.
--
-- Run it as a PostgreSQL superuser on the server, once, and again after each kstune upgrade (it
-- changes nothing that is already right, and keeps every row):
--
--   sudo -u postgres psql -f /usr/share/kstune/factory-journal.sql
--
-- It makes, where missing:
--   kstune_admin    owns the database and the table; it logs in only if you let it
--                   (ALTER ROLE kstune_admin LOGIN) or through a person's role granted it.
--   kstune_benches  what every bench's role is made a member of: it may add rows (never name the
--                   server's columns received_by/received_at) and look up rows by id, nothing else.
--   kstune_quality  what quality engineers' roles are made members of: it may read everything.
--   the database kstune and its table journal with the indexes the viewer relies on.
-- A bench's own role is made afterwards (see /usr/share/doc/kstune/factory-server.md):
--   CREATE ROLE bench07 LOGIN PASSWORD '...' IN ROLE kstune_benches;

\set ON_ERROR_STOP on
SET client_min_messages = warning;

SELECT 'CREATE ROLE kstune_admin NOLOGIN'
 WHERE NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'kstune_admin') \gexec
SELECT 'CREATE ROLE kstune_benches NOLOGIN'
 WHERE NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'kstune_benches') \gexec
SELECT 'CREATE ROLE kstune_quality NOLOGIN'
 WHERE NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'kstune_quality') \gexec

SELECT 'CREATE DATABASE kstune OWNER kstune_admin ENCODING ''UTF8'' TEMPLATE template0'
 WHERE NOT EXISTS (SELECT FROM pg_database WHERE datname = 'kstune') \gexec
ALTER DATABASE kstune OWNER TO kstune_admin;
REVOKE ALL ON DATABASE kstune FROM PUBLIC;
GRANT CONNECT ON DATABASE kstune TO kstune_benches, kstune_quality;

\connect kstune
SET client_min_messages = warning;

-- Nobody but the administrator makes anything here: a role that may create the table would own it
-- and could delete its rows.
REVOKE CREATE ON SCHEMA public FROM PUBLIC;
GRANT USAGE ON SCHEMA public TO kstune_benches, kstune_quality;

CREATE TABLE IF NOT EXISTS public.journal (
  id text PRIMARY KEY,
  at timestamptz NOT NULL,
  seq integer NOT NULL,
  session text NOT NULL,
  bench text NOT NULL,
  operator text NOT NULL,
  port text,
  model text,
  serial text,
  operation text NOT NULL,
  parameter integer CHECK (parameter BETWEEN 1 AND 34),
  value integer CHECK (value BETWEEN 0 AND 255),
  series text,
  outcome text NOT NULL CHECK (outcome IN ('ok', 'link_lost', 'no_read')),
  detail text,
  -- Filled by the server alone: the role that inserted the row, and when the server had it.
  received_by text NOT NULL DEFAULT current_user,
  received_at timestamptz NOT NULL DEFAULT now()
);
-- A table made by an earlier kstune gets the server's columns; its old rows keep them empty, as
-- nobody knows who sent them or when.
ALTER TABLE public.journal ADD COLUMN IF NOT EXISTS received_by text;
ALTER TABLE public.journal ALTER COLUMN received_by SET DEFAULT current_user;
ALTER TABLE public.journal ADD COLUMN IF NOT EXISTS received_at timestamptz;
ALTER TABLE public.journal ALTER COLUMN received_at SET DEFAULT now();
ALTER TABLE public.journal OWNER TO kstune_admin;

CREATE INDEX IF NOT EXISTS journal_serial ON public.journal (serial, at);
CREATE INDEX IF NOT EXISTS journal_session ON public.journal (session, seq);
CREATE INDEX IF NOT EXISTS journal_visits ON public.journal (session, at, serial, model, bench, "operator", operation)
  WHERE operation IN ('connect', 'serial', 'disconnect');
CREATE INDEX IF NOT EXISTS journal_at ON public.journal (at);
-- The sessions that lost the link: the station list marks them without reading every record.
CREATE INDEX IF NOT EXISTS journal_lost ON public.journal (session) WHERE outcome = 'link_lost';
-- Live views follow the server's order of receipt, not the benches' clocks.
CREATE INDEX IF NOT EXISTS journal_received ON public.journal (received_at);

-- Whatever was granted on the table before (an older set-up granted a bench role UPDATE or
-- DELETE, or the whole table) is taken back, and only the rights below remain.
DO $$
DECLARE grantee text;
BEGIN
  FOR grantee IN
    SELECT DISTINCT quote_ident(r.rolname)
      FROM pg_class c CROSS JOIN LATERAL aclexplode(c.relacl) a JOIN pg_roles r ON r.oid = a.grantee
     WHERE c.oid = 'public.journal'::regclass AND r.rolname <> 'kstune_admin'
    UNION
    SELECT DISTINCT quote_ident(r.rolname)
      FROM pg_attribute t CROSS JOIN LATERAL aclexplode(t.attacl) a JOIN pg_roles r ON r.oid = a.grantee
     WHERE t.attrelid = 'public.journal'::regclass AND t.attacl IS NOT NULL AND r.rolname <> 'kstune_admin'
  LOOP
    EXECUTE 'REVOKE ALL ON public.journal FROM ' || grantee;
    EXECUTE 'REVOKE ALL (id, at, seq, session, bench, operator, port, model, serial, operation, parameter, '
            'value, series, outcome, detail, received_by, received_at) ON public.journal FROM ' || grantee;
  END LOOP;
END
$$;
REVOKE ALL ON public.journal FROM PUBLIC;

-- A bench adds rows (the server fills received_by and received_at) and asks whether the server has
-- a row of a given id; it reads no other bench's history and changes nothing.
GRANT INSERT (id, at, seq, session, bench, operator, port, model, serial, operation, parameter, value, series,
              outcome, detail) ON public.journal TO kstune_benches;
GRANT SELECT (id) ON public.journal TO kstune_benches;
-- Quality engineers read everything, the viewer kstune-journal included.
GRANT SELECT ON public.journal TO kstune_quality;
