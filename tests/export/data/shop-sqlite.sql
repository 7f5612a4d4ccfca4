-- Orvalle: SQLite schema of the FoxPro database container /data/shop.dbc
-- Description: Shop's data
-- Warning about "old.dbf" while reading: The file is missing
BEGIN;

-- ============================================================================
-- Pre-data: the tables, made before the data is loaded
-- ============================================================================

CREATE TABLE "customer" (
  -- Who buys.
  -- See: */ -- not code
  -- DROP TABLE customer;
  -- FoxPro table rule: !EMPTY(cust_id)
  -- FoxPro table rule message: "Every customer has an id"
  -- FoxPro insert trigger: __ri_insert_customer()
  -- Customer's id
  "cust_id" varchar(6) NOT NULL,
  "company" varchar(40) NOT NULL DEFAULT '(none)',
  -- Where to write
  -- to them
  "email" varchar(60),
  -- FoxPro default {} left out: an empty date becomes NULL
  "since" date,
  -- FoxPro rule: balance >= 0
  -- FoxPro rule message: "No debts"
  "balance" numeric(19,4) NOT NULL DEFAULT 0,
  "active" boolean NOT NULL DEFAULT 1,
  "notes" text NOT NULL,
  "photo" blob NOT NULL,
  -- FoxPro default, not translated: DATETIME()
  "last seen" timestamp,
  PRIMARY KEY ("cust_id")
);

CREATE TABLE "order ""items""" (
  "id" integer NOT NULL PRIMARY KEY AUTOINCREMENT,
  "cust_id" varchar(6) NOT NULL,
  "qty" numeric(5,0) NOT NULL DEFAULT 1,
  "price" numeric(12,2) NOT NULL DEFAULT 9.99,
  "weight" numeric,
  "ratio" double precision NOT NULL DEFAULT 0.5,
  "stamp" timestamp,
  "code" blob NOT NULL CHECK (length("code") <= 8),
  "raw" blob NOT NULL CHECK (length("raw") <= 10),
  "blob" blob NOT NULL,
  "pic" blob NOT NULL,
  -- FoxPro relation from "order ""items""" tag "CUST_ID" to "customer" tag "CUST_ID"; referential integrity: update cascade, delete restrict, insert ignore
  FOREIGN KEY ("cust_id") REFERENCES "customer" ("cust_id") ON UPDATE CASCADE ON DELETE RESTRICT
);
INSERT INTO sqlite_sequence ("name", "seq") VALUES ('order "items"', 41);

-- FoxPro view "big orders", not translated:
-- Description: Orders of more than ten
-- SELECT * FROM items WHERE qty > 10

-- FoxPro remote view "people" through connection "crm", not translated:
-- SELECT id FROM people

-- ============================================================================
-- Post-data: keys, unique constraints, indexes and foreign keys, made after the data is loaded
-- ============================================================================

CREATE UNIQUE INDEX "customer_email_key" ON "customer" ("email");
CREATE INDEX "customer_COMPANY" ON "customer" (upper("company"));
CREATE INDEX "customer_SINCE" ON "customer" ("since" DESC);
-- FoxPro FOR !DELETED() of tag "ACTIVE" left out: deleted records are not carried over
CREATE INDEX "customer_ACTIVE" ON "customer" ("active");
-- FoxPro regular tag "BALANCE" on balance FOR balance > 0: not translated
-- FoxPro regular tag "NAMEDATE" on company+DTOS(since): not translated

CREATE INDEX "order ""items""_CUST_ID" ON "order ""items""" ("cust_id");

COMMIT;
