#pragma once

#include "ClientBaseline.h"
#include "RecordStoreBuilder.h"
#include "data/sql/MariaConnection.h"

#include <QString>
#include <functional>
#include <memory>

namespace kx {
struct SharedData;
}

namespace kx::bench {

struct BenchOptions {
    ConnectionParams server; // the database named here is not used: the run makes its own
    int records = 50000;
    int repeat = 6;
    QString fileFolder;   // the server's secure_file_priv folder, writable by this program too
    bool verbose = false; // print every run's seconds too
};

// One run of the benchmark: builds a record store in a database of its own, times each
// figure through the program's data layer and through the command-line client, prints one
// line per figure and the memory figures, and drops the database and its files again.
class Benchmark {
public:
    explicit Benchmark(const BenchOptions& options);
    ~Benchmark();
    Benchmark(const Benchmark&) = delete;
    Benchmark& operator=(const Benchmark&) = delete;

    bool run(); // true when every target is met

private:
    struct Figure {
        std::function<void()> ours = {};
        QString client = {};                      // the client's statements for the same work
        std::function<QString()> clientText = {}; // or made afresh for each run
        std::function<void()> prepare = {};       // before each of our runs, not timed
        std::function<void()> afterOurs = {};     // after each of our runs, not timed
        std::function<void()> prepareClient = {}; // before each client run, not timed
        std::function<void()> afterClient = {};   // checks the client's work, not timed
        int runs = 0;                             // 0: the repeat count of the options
    };
    struct Result {
        double ours = 0;
        double client = 0;
        double ratio() const;
    };

    void createDatabase();
    void dropDatabase();
    void makeBigFile(const QString& name);
    void checkFileFolder();
    void settleServer();
    // Times the figure on both sides and reports the medians; target 0: none.
    Result compare(const QString& name, const Figure& figure, double target);
    void report(const QString& name, const Result& result, double target);
    QString gridSelect() const; // "SELECT <the grid's columns> FROM tbl_Data"
    QString serverPath(const QString& fileName) const;
    int queryRowOfKey(qint64 key);

    BenchOptions m_options;
    QString m_database;
    ClientBaseline m_client;
    double m_clientStartup = 0;
    std::unique_ptr<MariaConnection> m_admin;
    std::unique_ptr<SharedData> m_shared;
    StoreShape m_shape;
    bool m_allMet = true;
};

} // namespace kx::bench
