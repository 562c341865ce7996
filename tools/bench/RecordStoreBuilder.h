#pragma once

#include <QString>

namespace kx {
class MariaConnection;
}

namespace kx::bench {

// What the builder stored.
struct StoreShape {
    int records = 0;
    int photos = 0;
    int files = 0;
    qint64 blobBytes = 0; // photos and files together
};

// Fills tbl_Data of the connected database with generated records. The server makes every
// value itself (INSERT ... SELECT over a number sequence), so nothing but the statements
// crosses the connection: every 10th record gets a ~50 KB photo, every 20th a ~200 KB file,
// and every text column Hungarian text. Titles are unique.
class RecordStoreBuilder {
public:
    explicit RecordStoreBuilder(MariaConnection& conn);
    StoreShape build(int records);

    // A phrase that about 1% of the records hold in KSZO or LEIRAS, and nothing else holds.
    static QString searchPhrase();
    // The title of record number n (1-based), as build() makes it.
    static QString title(int n);

private:
    MariaConnection& m_conn;
};

} // namespace kx::bench
