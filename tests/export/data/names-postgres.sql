-- Orvalle: PostgreSQL schema of the FoxPro tables in /data/names
SET client_encoding = 'UTF8';
SET standard_conforming_strings = on;
BEGIN;

-- ============================================================================
-- Pre-data: the tables, made before the data is loaded
-- ============================================================================

CREATE TABLE "sqlite_stat" (
  "Name" varchar(5) NOT NULL,
  -- FoxPro name: "NAME"
  "NAME_2" varchar(5) NOT NULL,
  -- FoxPro name: "xmin"
  "xmin_2" integer NOT NULL,
  "XMAX" integer NOT NULL,
  -- FoxPro name: "a{REPLACEMENT}b"
  "ab" boolean NOT NULL,
  -- FoxPro name: ""
  "column6" numeric(3,0) NOT NULL,
  -- FoxPro name: "{A70}"
  "{A63}" varchar(1) NOT NULL,
  -- FoxPro name: "{A69B}"
  "{A61}_2" varchar(1) NOT NULL,
  -- FoxPro name: "{E40}"
  "{E31}" date,
  "we ""quote"" it" integer NOT NULL
);

CREATE TABLE "SQLITE_STAT_2" (
  -- FoxPro name: "SQLITE_STAT"
  "f" integer NOT NULL
);

CREATE TABLE "flags" (
  -- FoxPro system field "_NullFlags" (null flags): no column
);

-- ============================================================================
-- Post-data: keys, unique constraints, indexes and foreign keys, made after the data is loaded
-- ============================================================================

COMMIT;
