#pragma once

#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

namespace kx::test {

// A CUPS scheduler of one test alone: its own configuration, spool and log in a temporary
// folder, reached only through a local socket there, with two queues that keep what they
// print in a file of the folder: printerName() takes jobs, refusingPrinterName() refuses
// them. While it lives, CUPS_SERVER points the program (libcups and Qt's printer list alike)
// at it. The scheduler stops with the object, and with the test program should that end
// some other way.
class PrivateCups {
public:
    // Empty when a scheduler can be started here; else why not (cupsd is not installed).
    static QString missing();

    PrivateCups();
    ~PrivateCups();
    PrivateCups(const PrivateCups&) = delete;
    PrivateCups& operator=(const PrivateCups&) = delete;

    // Starts it and waits until it answers; false with the reason (and its log) in error().
    bool start();
    QString error() const {
        return m_error;
    }

    static QString printerName();
    static QString refusingPrinterName();
    // The file a queue's device writes each job into.
    QString outputOf(const QString& printer) const;

    struct Job {
        int id = 0;
        QString title;
        QString format;
        bool completed = false;
        int copies = 0; // as the job asked the printer for them
        QString sides;  // one-sided, two-sided-long-edge...
    };
    // Every job the queue was given, finished or not, oldest first.
    QList<Job> jobs(const QString& printer) const;
    // Waits (at most timeoutMs) until the queue has no job that is not finished.
    bool waitUntilIdle(const QString& printer, int timeoutMs = 30000) const;

private:
    bool answers() const;
    QString log() const;

    QTemporaryDir m_dir;
    QProcess m_cupsd;
    QString m_error;
    QByteArray m_savedServer;
    bool m_hadServer = false;
};

} // namespace kx::test
