-- The settings table of Data.db. Compiled into the program, which adds it to a Data.db that
-- holds nothing yet; scripts/prepare-data-db.sh and the tests build Data.db from it too.
CREATE TABLE IF NOT EXISTS tbl_Config (A TEXT, B TEXT, C TEXT, AZ INTEGER PRIMARY KEY AUTOINCREMENT);
