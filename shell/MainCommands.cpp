#include "MainCommands.h"

namespace kx {

const std::vector<MainCommand>& mainCommands() {
    using S = CommandStep;
    using W = CommandWindow;
    static const std::vector<MainCommand> commands = {
        // "Felvétel"
        {QLatin1StringView("Lexikon1"), {S::Refresh, S::Open}, W::Entry},
        {QLatin1StringView("SpeedButton1"), {S::Refresh, S::Open}, W::Entry},
        {QLatin1StringView("Felvtel1"), {S::Open}, W::Entry},
        // "Módosítás"
        {QLatin1StringView("Keress1"), {S::Refresh, S::Check, S::Locate, S::Open}, W::Modification},
        {QLatin1StringView("SpeedButton2"),
         {S::Check, S::Refresh, S::Locate, S::Open},
         W::Modification},
        {QLatin1StringView("Mdosts1"), {S::Check, S::Locate, S::Open}, W::Modification},
        // "Törlés"
        {QLatin1StringView("Bemutatkozs1"),
         {S::Refresh, S::Check, S::Locate, S::Open},
         W::Deletion},
        {QLatin1StringView("SpeedButton3"),
         {S::Check, S::Refresh, S::Locate, S::Open},
         W::Deletion},
        {QLatin1StringView("rls1"), {S::Check, S::Locate, S::Open}, W::Deletion},
        // "Keresés"
        {QLatin1StringView("Keress2"), {S::Refresh, S::MenuSearch}},
        {QLatin1StringView("Keress3"), {S::Refresh, S::MenuSearch}},
        {QLatin1StringView("SpeedButton4"), {S::Refresh, S::ToolbarSearch}},
        // "Listázás"; a double-click on the grid is the grid menu's command
        {QLatin1StringView("Listzs1"), {S::Refresh, S::Check, S::Open}, W::Browser},
        {QLatin1StringView("SpeedButton5"), {S::Refresh, S::Check, S::Open}, W::Browser},
        {QLatin1StringView("Listzs2"), {S::Check, S::Open}, W::Browser},
        {QLatin1StringView("DBGrid1"), {S::Check, S::Open}, W::Browser},
        // "Statisztika"
        {QLatin1StringView("Statisztika1"), {S::Refresh, S::Check, S::Open}, W::Statistics},
        {QLatin1StringView("SpeedButton6"), {S::Refresh, S::Check, S::Open}, W::Statistics},
        {QLatin1StringView("Statisztika2"), {S::Check, S::Open}, W::Statistics},
        // "Bemutatkozás"
        {QLatin1StringView("Bemutatkozs2"), {S::Open}, W::About},
        {QLatin1StringView("SpeedButton7"), {S::Open}, W::About},
        // "Frissítés"
        {QLatin1StringView("Frissts1"), {S::Refresh}},
        {QLatin1StringView("SpeedButton9"), {S::Refresh}},
    };
    return commands;
}

} // namespace kx
