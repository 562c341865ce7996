#pragma once

#include <QString>
#include <functional>

namespace kx {

class Table;

// The rows that one showing of the statistics window keeps in the shared tbl_Tmp, through
// resultTable. Every workstation writes into the same table, so each showing draws a tag of its
// own, writes it into SZUR, and shows and deletes only the rows that carry it: the table's
// filter on the server is "SZUR = <tag>" whenever these rows are read or deleted.
class ResultRows {
public:
    // Tags are whole numbers 0 <= tag < kTagLimit.
    static constexpr quint32 kTagLimit = 1310065408u;
    using TagSource = std::function<quint32()>;

    explicit ResultRows(Table& table);

    // Draws a tag that no row of tbl_Tmp carries yet and limits the table to it. Until this
    // has succeeded there is no tag, and nothing can be written or deleted.
    void startShowing();
    bool hasTag() const {
        return m_hasTag;
    }
    qint64 tag() const {
        return m_hasTag ? qint64(m_tag) : -1;
    }

    // Stores one row (label, value, tag) on the server at once and reads the table again.
    void write(const QString& label, const QString& value);
    // Deletes this showing's rows one by one, under the busy cursor; nothing else is touched.
    void removeAll();

    // The numbers the tags are drawn from; by default a generator seeded afresh for every
    // draw. Tests put a fixed sequence here.
    void setTagSource(TagSource source);
    static quint32 drawFromFreshSeed();

private:
    void limitToTag(quint32 tag);

    Table& m_table;
    TagSource m_source;
    quint32 m_tag = 0;
    bool m_hasTag = false;
};

} // namespace kx
