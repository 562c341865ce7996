// kartotex-longwork-bench [--records N]: how the record list PDF of a large store behaves under
// its progress window. Against the server named by KX_DB_HOST, KX_DB_PORT, KX_DB_USER and
// KX_DB_PASSWORD it makes a database of N records (default 50000), writes the list as PDF
// and cancels it after 2% of the pages, and prints:
//   first step      seconds from the start of the output to its first progress step (the
//                   window can show only from then on; it shows at 0.5 s)
//   page            median seconds per page, and the longest gap between two steps (how long
//                   the windows may wait for a repaint)
//   cancel          seconds from "Mégse" to the output's return, and whether a file was left;
//                   then the same for the list printed to a file from the print dialog
//   statistics      the whole collection on the same store: its steps, seconds, and the
//                   longest gap between two steps; then again once a 51 KB photo has been
//                   stored in every 10th record and a 200 KB file in every 20th
// Run it through tools/longwork-bench.sh, which starts a private server.
#include "../bench/QuietPrompter.h"
#include "browsing/RecordListReport.h"
#include "data/records/SharedData.h"
#include "data/sql/MariaConnection.h"
#include "platform/Progress.h"
#include "platform/ReportEngine.h"
#include "statistics/StatisticsWindow.h"
#include "storage/RecordStoreSchema.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPrinter>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

using namespace kx;

namespace {

struct Timings {
    QElapsedTimer clock;
    std::vector<qint64> stepsNs;
    qint64 cancelledNs = -1;
    qint64 cancelAt = 0;
    double cancelShare = 0.02; // above 1: never cancelled
};

class TimedProgress : public Progress {
public:
    explicit TimedProgress(Timings& t) : m_t(t) {}
    bool step(qint64 done) override {
        m_t.stepsNs.push_back(m_t.clock.nsecsElapsed());
        if (done >= m_t.cancelAt) {
            if (m_t.cancelledNs < 0)
                m_t.cancelledNs = m_t.clock.nsecsElapsed();
            return false;
        }
        return true;
    }

private:
    Timings& m_t;
};

class BenchPrompter : public bench::QuietPrompter {
public:
    explicit BenchPrompter(Timings& t) : m_t(t) {}
    std::unique_ptr<Progress> progress(const QString&, qint64 total) override {
        m_t.cancelAt =
            m_t.cancelShare > 1 ? total + 1 : std::max<qint64>(1, qint64(total * m_t.cancelShare));
        return std::make_unique<TimedProgress>(m_t);
    }

private:
    Timings& m_t;
};

double seconds(qint64 ns) {
    return double(ns) / 1e9;
}

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    int records = 50000;
    for (int i = 1; i + 1 < argc; ++i)
        if (QByteArray(argv[i]) == "--records")
            records = QByteArray(argv[i + 1]).toInt();

    const ConnectionParams server{
        qEnvironmentVariable("KX_DB_HOST"), qEnvironmentVariable("KX_DB_PORT"), QString(),
        qEnvironmentVariable("KX_DB_USER"), qEnvironmentVariable("KX_DB_PASSWORD")};
    const QString database = QStringLiteral("kx_longwork_bench");
    SharedData data;
    try {
        MariaConnection& c = data.recordStore;
        c.setParams(server);
        c.open();
        c.execute(QStringLiteral("DROP DATABASE IF EXISTS ") + database);
        c.execute(schema::createDatabase(database).join(QLatin1Char(' ')));
        for (const char* table : {"tbl_Data", "tbl_Tmp"})
            c.execute(
                schema::createTable(database, QString::fromLatin1(table)).join(QLatin1Char(' ')));
        c.execute(
            QStringLiteral(
                "INSERT INTO %1.tbl_Data (CIM, TIP, KAT, KSZO, FELVEV, DATUM, LEIRAS, FNEV, FTIP, "
                "FMER) SELECT CONCAT('Rekord ', LPAD(seq, 6, '0')), 'Könyv', 'Természet', "
                "'kulcs, szó', 'Kovács Éva', '2024.03.14. 10:22:05', REPEAT('Árvíztűrő "
                "tükörfúrógép. ', 30), 'melléklet.pdf', 'Adobe Acrobat', seq * 100 FROM "
                "%1.seq_1_to_%2")
                .arg(database)
                .arg(records));
        c.close();
        ConnectionParams withDb = server;
        withDb.database = database;
        c.setParams(withDb);
        c.open();
        data.recordQuery.open();
        data.recordTable.open();
        data.resultTable.open();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "longwork-bench: %s\n", e.what());
        return 1;
    } catch (...) {
        std::fprintf(stderr, "longwork-bench: the database could not be prepared\n");
        return 1;
    }

    Timings t;
    BenchPrompter prompter(t);
    RecordListReport list(data);
    list.report().setPrompter(&prompter);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("lista.pdf"));
    bool whole = true;
    qint64 returnedNs = 0;
    t.clock.start();
    list.withRecords([&](Report& r) { whole = r.writePdf(path); });
    returnedNs = t.clock.nsecsElapsed();

    std::vector<qint64> gaps;
    for (size_t i = 1; i < t.stepsNs.size(); ++i)
        gaps.push_back(t.stepsNs[i] - t.stepsNs[i - 1]);
    std::sort(gaps.begin(), gaps.end());
    const qint64 median = gaps.empty() ? 0 : gaps[gaps.size() / 2];
    const qint64 longest = gaps.empty() ? 0 : gaps.back();
    std::printf("records: %d, cancelled after %lld pages\n", records, t.cancelAt);
    std::printf("first step: %.3f s\n", seconds(t.stepsNs.empty() ? 0 : t.stepsNs.front()));
    std::printf("page: median %.4f s, longest gap %.4f s\n", seconds(median), seconds(longest));
    std::printf("cancel: returned %.4f s after Mégse; complete=%s, files left: %lld\n",
                seconds(returnedNs - t.cancelledNs), whole ? "yes" : "no",
                qlonglong(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size()));
    // The same list printed to a file from the print dialog, cancelled alike.
    Timings pt;
    BenchPrompter printPrompter(pt);
    list.report().setPrompter(&printPrompter);
    QTemporaryDir printDir;
    bool printedWhole = true;
    pt.clock.start();
    list.withRecords([&](Report& r) {
        QPrinter printer(QPrinter::HighResolution);
        r.configurePrinter(printer);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printDir.filePath(QStringLiteral("nyomtatas.pdf")));
        printedWhole = r.print(printer);
    });
    const qint64 printReturnedNs = pt.clock.nsecsElapsed();
    std::printf("cancel, print to file: returned %.4f s after Mégse; complete=%s, files left: "
                "%lld\n",
                seconds(printReturnedNs - pt.cancelledNs), printedWhole ? "yes" : "no",
                qlonglong(QDir(printDir.path()).entryList(QDir::Files | QDir::Hidden).size()));
    // The statistics collection on the same store, not cancelled: the longest time between two
    // of its steps (from the press of "Adatgyűjtés" to its first step, and from its last step
    // to its end, included) is how long "Mégse" and the windows may wait. Once as the store is,
    // then again after a photo has gone into every 10th record and a file into every 20th.
    const auto collectStatistics = [&data](const char* store) {
        Timings st;
        st.cancelShare = 2;
        BenchPrompter statsPrompter(st);
        StatisticsWindow statistics(data, statsPrompter);
        // As the "Statisztika" command does before it opens the window: the record query is
        // read again there, so the collection's own refresh finds only what changed since.
        data.records.refresh();
        statistics.prepareShowing();
        st.clock.start();
        statistics.collectClicked();
        const qint64 collectedNs = st.clock.nsecsElapsed();
        st.stepsNs.push_back(collectedNs);
        qint64 widest = 0;
        size_t widestBefore = 0;
        for (size_t i = 0; i < st.stepsNs.size(); ++i) {
            const qint64 gap = st.stepsNs[i] - (i > 0 ? st.stepsNs[i - 1] : 0);
            if (gap > widest) {
                widest = gap;
                widestBefore = i;
            }
        }
        const size_t steps = st.stepsNs.size() - 1;
        std::printf("statistics, %s: %zu steps in %.3f s, widest gap %.3f s (%s)\n", store, steps,
                    seconds(collectedNs), seconds(widest),
                    widestBefore == 0 ? "before the first step"
                    : widestBefore == steps
                        ? "after the last step"
                        : qPrintable(QStringLiteral("before step %1").arg(widestBefore + 1)));
        statistics.done(0);
    };
    collectStatistics("no photos or files");
    QElapsedTimer blobClock;
    blobClock.start();
    qint64 blobBytes = 0;
    try {
        // In slices of keys, so that no single statement carries hundreds of megabytes.
        for (int from = 1; from <= records; from += 5000) {
            const int to = std::min(records, from + 4999);
            data.recordStore.execute(
                QStringLiteral("UPDATE tbl_Data SET FOTO = CONCAT('BM', REPEAT(UNHEX(SHA2(AZ, "
                               "512)), 800)) WHERE AZ BETWEEN %1 AND %2 AND AZ % 10 = 0")
                    .arg(from)
                    .arg(to));
            data.recordStore.execute(
                QStringLiteral("UPDATE tbl_Data SET FNEV = CONCAT('melléklet', AZ, '.bin'), FTIP = "
                               "'Bináris', FILE = REPEAT(UNHEX(SHA2(CONCAT('fájl', AZ), 512)), "
                               "3200), FMER = 3200 * 64 WHERE AZ BETWEEN %1 AND %2 AND AZ % 20 = "
                               "5")
                    .arg(from)
                    .arg(to));
        }
        blobBytes = data.recordStore
                        .scalar(QStringLiteral("SELECT SUM(COALESCE(OCTET_LENGTH(FOTO), 0) + "
                                               "COALESCE(OCTET_LENGTH(FILE), 0)) FROM tbl_Data"))
                        .toLongLong();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "longwork-bench: %s\n", e.what());
        return 1;
    } catch (...) {
        std::fprintf(stderr, "longwork-bench: the photos and files could not be stored\n");
        return 1;
    }
    std::printf("photos and files: %lld MB stored in %.1f s\n", blobBytes / (1024 * 1024),
                seconds(blobClock.nsecsElapsed()));
    collectStatistics("a photo in every 10th record, a file in every 20th");

    try {
        data.recordQuery.close();
        data.recordStore.execute(QStringLiteral("DROP DATABASE ") + database);
    } catch (...) {
    }
    return 0;
}
