-- The settings table of Data.db. The program reads and writes it but never creates it;
-- scripts/prepare-data-db.sh (and the tests) build Data.db from this declaration.
CREATE TABLE IF NOT EXISTS tbl_Config (A TEXT, B TEXT, C TEXT, AZ INTEGER PRIMARY KEY AUTOINCREMENT);
