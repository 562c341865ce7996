// kartotex-bench: the data layer against the MariaDB command-line client on a large record
// store. tools/bench.sh starts a private server and runs it; see the README.

#include "Benchmark.h"
#include "data/sql/DbError.h"
#include "data/text/TextEncodingError.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <cstdio>
#include <exception>

using namespace kx;

namespace {

int positive(const QCommandLineParser& parser, const QString& option, int fallback) {
    if (!parser.isSet(option))
        return fallback;
    bool ok = false;
    const int value = parser.value(option).toInt(&ok);
    if (!ok || value < 1) {
        std::fprintf(stderr, "kartotex-bench: --%s needs a positive whole number\n",
                     qPrintable(option));
        std::exit(2);
    }
    return value;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Times the data layer against the MariaDB command-line client. The "
                       "server comes from KX_DB_HOST, KX_DB_PORT, KX_DB_USER and "
                       "KX_DB_PASSWORD; it must have been started with "
                       "--secure-file-priv=<file folder>."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("records"), QStringLiteral("Records to store (50000)."),
                      QStringLiteral("n")});
    parser.addOption({QStringLiteral("repeat"),
                      QStringLiteral("Runs of each figure; the median counts (6)."),
                      QStringLiteral("n")});
    parser.addOption({QStringLiteral("files"),
                      QStringLiteral("The server's secure_file_priv folder (KX_BENCH_FILES)."),
                      QStringLiteral("folder")});
    parser.addOption({QStringLiteral("verbose"), QStringLiteral("Print every run's seconds.")});
    parser.process(app);

    bench::BenchOptions options;
    options.records = positive(parser, QStringLiteral("records"), options.records);
    options.repeat = positive(parser, QStringLiteral("repeat"), options.repeat);
    options.verbose = parser.isSet(QStringLiteral("verbose"));
    options.fileFolder = parser.isSet(QStringLiteral("files"))
                             ? parser.value(QStringLiteral("files"))
                             : qEnvironmentVariable("KX_BENCH_FILES");
    options.server.server = qEnvironmentVariable("KX_DB_HOST", QStringLiteral("127.0.0.1"));
    options.server.port = qEnvironmentVariable("KX_DB_PORT");
    options.server.user = qEnvironmentVariable("KX_DB_USER", QStringLiteral("root"));
    options.server.password = qEnvironmentVariable("KX_DB_PASSWORD");
    if (options.server.port.isEmpty() || options.fileFolder.isEmpty() ||
        !QDir(options.fileFolder).exists()) {
        std::fprintf(stderr, "kartotex-bench: set KX_DB_PORT and name an existing file folder "
                             "(--files or KX_BENCH_FILES); tools/bench.sh does both\n");
        return 2;
    }

    try {
        bench::Benchmark benchmark(options);
        return benchmark.run() ? 0 : 1;
    } catch (const DbError& e) {
        std::fprintf(stderr, "kartotex-bench: database error %u: %s\n", e.code(),
                     e.message().toUtf8().constData());
    } catch (const TextEncodingError& e) {
        std::fprintf(stderr, "kartotex-bench: %s\n", e.userMessage().toUtf8().constData());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kartotex-bench: %s\n", e.what());
    }
    return 3;
}
