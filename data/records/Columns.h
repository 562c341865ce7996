#pragma once

#include <QLatin1StringView>

// The column names of the record store's and Data.db's tables, as the program's code refers
// to them. Statement texts keep their own spelling; these are for naming a field in code.
namespace kx::column {

// Every table's key.
inline constexpr QLatin1StringView key{"AZ"};

// tbl_Data: one record. Title, type, category, keywords, reference, recorder and date are
// short texts that the grid shows; description, photo and the stored file are read on demand.
inline constexpr QLatin1StringView title{"CIM"};
inline constexpr QLatin1StringView type{"TIP"};     // also tbl_Tip's one column
inline constexpr QLatin1StringView category{"KAT"}; // also tbl_Kat's one column
inline constexpr QLatin1StringView keywords{"KSZO"};
inline constexpr QLatin1StringView reference{"HIV"};
inline constexpr QLatin1StringView recorder{"FELVEV"};
inline constexpr QLatin1StringView date{"DATUM"};
inline constexpr QLatin1StringView description{"LEIRAS"};
inline constexpr QLatin1StringView photo{"FOTO"};
inline constexpr QLatin1StringView fileName{"FNEV"};
inline constexpr QLatin1StringView fileType{"FTIP"};
inline constexpr QLatin1StringView fileSize{"FMER"};
inline constexpr QLatin1StringView file{"FILE"};

// tbl_Tmp: the statistics rows of one showing.
inline constexpr QLatin1StringView resultLabel{"SZOV"};
inline constexpr QLatin1StringView resultValue{"NUM"};
inline constexpr QLatin1StringView resultTag{"SZUR"};

// tbl_Config of Data.db: setting name and value.
inline constexpr QLatin1StringView settingName{"A"};
inline constexpr QLatin1StringView settingValue{"B"};

} // namespace kx::column
