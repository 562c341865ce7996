#pragma once

#include "data/sql/MariaStatement.h"
#include "data/table/RowGuard.h"

#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

namespace kx {

class Table;

// What a form showed of one row of a Table, kept so that the form's later change of that row
// (an edit's post or a delete) never goes over what another workstation stored meanwhile
// unless the user agrees. Every column is kept: the short ones by value, the long ones (texts
// and blobs) by their size and a digest that the server computes, so no blob travels to the
// client for it. Values compare as stored bytes: letter case and trailing blanks count.
class ShownRowGuard : public RowGuard {
public:
    // confirm is asked when the row differs from what was shown; true lets the change go over
    // the row as it is now stored.
    ShownRowGuard(Table& table, std::function<bool()> confirm);

    // Remembers the row the table stands on. Called before the form reads the values it
    // shows: a change that comes in between is then asked about, never missed. The short
    // columns are taken as the table holds them, which is what the form shows.
    void remember();
    void forget();
    // Runs change (an edit and post, or a delete, of the remembered row) with this guard on
    // the table.
    void run(const std::function<void()>& change);

    Verdict check(qint64 key) override;
    bool overwrite() override;
    void changeMade(qint64 key) override;
    void changeCommitted() override;

private:
    using Fingerprint = std::vector<MariaStatement::Value>;
    std::optional<Fingerprint> read(qint64 key, bool lock);

    Table& m_table;
    std::function<bool()> m_confirm;
    qint64 m_key = -1;
    Fingerprint m_shown;
    Fingerprint m_stored; // as the last check found it
    // This program's own change, made and not known to be committed (a lost COMMIT answer).
    std::optional<Fingerprint> m_ownChange;
    qint64 m_storedKey = -1;
};

} // namespace kx
