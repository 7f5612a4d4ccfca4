-- Orvalle: SQLite schema of the FoxPro tables in /data/names
BEGIN;

-- ============================================================================
-- Pre-data: the tables, made before the data is loaded
-- ============================================================================

CREATE TABLE "_sqlite_stat" (
  -- FoxPro name: "sqlite_stat"
  "Name" varchar(5) NOT NULL,
  -- FoxPro name: "NAME"
  "NAME_2" varchar(5) NOT NULL,
  "xmin" integer NOT NULL,
  "XMAX" integer NOT NULL,
  -- FoxPro name: "a{REPLACEMENT}b"
  "ab" boolean NOT NULL,
  -- FoxPro name: ""
  "column6" numeric(3,0) NOT NULL,
  "{A70}" varchar(1) NOT NULL,
  "{A69B}" varchar(1) NOT NULL,
  "{E40}" date,
  "we ""quote"" it" integer NOT NULL
);

CREATE TABLE "_SQLITE_STAT_2" (
  -- FoxPro name: "SQLITE_STAT"
  "f" integer NOT NULL
);

-- FoxPro table "flags" left out: SQLite cannot create a table without a column
-- FoxPro system field "_NullFlags" (null flags): no column

-- ============================================================================
-- Post-data: keys, unique constraints, indexes and foreign keys, made after the data is loaded
-- ============================================================================

COMMIT;
