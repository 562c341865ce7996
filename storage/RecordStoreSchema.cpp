#include "RecordStoreSchema.h"

namespace kx::schema {

QStringList createDatabase(const QString& database) {
    return {QStringLiteral("CREATE DATABASE ") + database, QStringLiteral("CHARACTER SET = latin2"),
            QStringLiteral("COLLATE = latin2_hungarian_ci")};
}

QStringList createTable(const QString& database, const QString& table) {
    const QString head = QStringLiteral("CREATE TABLE ") + database;
    if (table == QLatin1String("tbl_Data"))
        return {head + QStringLiteral(
                           ".`tbl_Data` ( `CIM` VARCHAR(350) NULL , `TIP` VARCHAR(150) NULL , "
                           "`KAT` VARCHAR(150) NULL , `KSZO` VARCHAR(750) NULL , `HIV` "
                           "VARCHAR(350) NULL , `DATUM` VARCHAR(25) NULL ,"),
                QStringLiteral(
                    "`FELVEV` VARCHAR(55) NULL , `LEIRAS` TEXT NULL , `FOTO` LONGBLOB NULL , `AZ` "
                    "INT NULL AUTO_INCREMENT , `FNEV` VARCHAR(500) NULL , `FTIP` VARCHAR(25) NULL "
                    ", `FMER` NUMERIC NULL , `FILE` LONGBLOB NULL, PRIMARY KEY (`AZ`)) ENGINE = "
                    "InnoDB;")};
    if (table == QLatin1String("tbl_Tip"))
        return {head + QStringLiteral(".`tbl_Tip` ( `TIP` VARCHAR(150) NULL , `AZ` INT NULL "
                                      "AUTO_INCREMENT , INDEX `TIP` (`TIP`) , PRIMARY KEY "
                                      "(`AZ`)) ENGINE = InnoDB;")};
    if (table == QLatin1String("tbl_Kat"))
        return {head + QStringLiteral(".`tbl_Kat` ( `KAT` VARCHAR(150) NULL , `AZ` INT NULL "
                                      "AUTO_INCREMENT , INDEX `KAT` (`KAT`) , PRIMARY KEY "
                                      "(`AZ`)) ENGINE = InnoDB;")};
    if (table == QLatin1String("tbl_Tmp"))
        return {head + QStringLiteral(".`tbl_Tmp` ( `SZOV` VARCHAR(200) NULL , `AZ` INT NULL "
                                      "AUTO_INCREMENT , `NUM` VARCHAR(100) NULL , `SZUR` INTEGER "
                                      "NULL , PRIMARY KEY (`AZ`)) ENGINE = InnoDB;")};
    return {};
}

QStringList tableNames() {
    return {QStringLiteral("tbl_Kat"), QStringLiteral("tbl_Tip"), QStringLiteral("tbl_Tmp"),
            QStringLiteral("tbl_Data")};
}

} // namespace kx::schema
