#include "SharedData.h"

namespace kx {

SharedData::SharedData()
    : FDQuery1(FDConnection1), FDQuery2(FDConnection1),
      FDTable1(FDConnection1, QStringLiteral("tbl_Data")),
      FDTable2(FDConnection1, QStringLiteral("tbl_Tip")),
      FDTable3(FDConnection1, QStringLiteral("tbl_Kat")),
      FDTable4(FDConnection1, QStringLiteral("tbl_Tmp")),
      FDTable6(FDConnection2, QStringLiteral("tbl_Config")), FDScript1(FDConnection1) {
    FDQuery1.setSql(initialRecordSql());
    // The grid never shows these; they are read for the current record when asked for.
    const QStringList deferred{QStringLiteral("KSZO"), QStringLiteral("LEIRAS"),
                               QStringLiteral("FOTO"), QStringLiteral("FILE")};
    // A record whose write lost its connection is recognised by its exact title.
    FDTable1.setNewRowIdentity({QStringLiteral("CIM")});
    FDQuery1.setKeyField(QStringLiteral("AZ"));
    FDQuery1.setDeferredFields(deferred);
    FDQuery2.setKeyField(QStringLiteral("AZ"));
    FDQuery2.setDeferredFields(deferred);
}

QString SharedData::initialRecordSql() {
    return QStringLiteral("Select * from tbl_Data order by CIM");
}

} // namespace kx
