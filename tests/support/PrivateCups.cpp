#include "PrivateCups.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTest>
#include <algorithm>
#include <csignal>
#include <cups/cups.h>
#include <sys/prctl.h>

namespace kx::test {

namespace {

QString cupsdPath() {
    return QStandardPaths::findExecutable(QStringLiteral("cupsd"),
                                          {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
}

// The helper through which the scheduler starts what it runs, from the installed scheduler.
// The server CUPS_SERVER (or the user's client.conf) names: libcups's CUPS_HTTP_DEFAULT.
http_t* const kDefaultServer = nullptr;

const QString kCupsExec = QStringLiteral("/usr/lib/cups/daemon/cups-exec");

bool writeFile(const QString& path, const QByteArray& text, QFileDevice::Permissions mode) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text) == text.size() &&
           f.setPermissions(mode);
}

// The queues' device: a backend of the test's own that keeps each job's document, as the
// scheduler hands it on, in the file its address names ("kxfile:/path"). A raw queue gives
// it the document unchanged, so the file is exactly what the program sent.
const QByteArray kBackend = R"(#!/bin/sh
# job-id user title copies options [file]; with no arguments the scheduler asks for devices
[ $# -eq 0 ] && exit 0
out=${DEVICE_URI#kxfile:}
if [ -n "$6" ]; then cat "$6" > "$out"; else cat > "$out"; fi
)";

} // namespace

QString PrivateCups::missing() {
    if (cupsdPath().isEmpty())
        return QStringLiteral("cupsd is not installed (Debian package cups-daemon)");
    if (!QFile::exists(kCupsExec))
        return QStringLiteral("%1 is missing (Debian package cups-daemon)").arg(kCupsExec);
    return QString();
}

PrivateCups::PrivateCups() {
    m_hadServer = qEnvironmentVariableIsSet("CUPS_SERVER");
    m_savedServer = qgetenv("CUPS_SERVER");
    // Should the test program end without this destructor (a crash, a timeout's kill), the
    // scheduler gets SIGTERM from the kernel and goes with it.
    m_cupsd.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    m_cupsd.setProcessChannelMode(QProcess::MergedChannels);
    // The scheduler runs as installed, whatever the test program runs under (a sanitizer
    // preloaded into it would be preloaded into the scheduler and its children too).
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("LD_PRELOAD"));
    m_cupsd.setProcessEnvironment(environment);
}

PrivateCups::~PrivateCups() {
    if (m_cupsd.state() != QProcess::NotRunning) {
        m_cupsd.terminate();
        if (!m_cupsd.waitForFinished(10000)) {
            m_cupsd.kill();
            m_cupsd.waitForFinished(5000);
        }
    }
    if (m_hadServer)
        qputenv("CUPS_SERVER", m_savedServer);
    else
        qunsetenv("CUPS_SERVER");
    cupsSetServer(nullptr);
}

QString PrivateCups::printerName() {
    return QStringLiteral("kxteszt");
}

QString PrivateCups::refusingPrinterName() {
    return QStringLiteral("kxelutasito");
}

QString PrivateCups::outputOf(const QString& printer) const {
    return m_dir.filePath(printer + QStringLiteral(".pdf"));
}

bool PrivateCups::start() {
    if (!m_dir.isValid()) {
        m_error = m_dir.errorString();
        return false;
    }
    const QDir dir(m_dir.path());
    for (const char* sub : {"spool", "cache", "state", "log", "ppd", "bin/backend", "bin/daemon"})
        dir.mkpath(QString::fromLatin1(sub));
    // The scheduler's children (the backend) reach the folder as another user when not root.
    QFile::setPermissions(m_dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                            QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                            QFileDevice::ExeOther);
    const QString socket = dir.filePath(QStringLiteral("cupsd.sock"));
    const auto readable = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                          QFileDevice::ReadGroup | QFileDevice::ReadOther;
    const QByteArray root = QFile::encodeName(m_dir.path());
    const QByteArray cupsdConf = "Listen " + QFile::encodeName(socket) +
                                 "\n"
                                 "LogLevel debug\n"
                                 "Browsing No\n"
                                 "WebInterface No\n"
                                 "DefaultAuthType None\n"
                                 "<Location />\n"
                                 "  Order allow,deny\n"
                                 "  Allow all\n"
                                 "</Location>\n"
                                 "<Policy default>\n"
                                 "  <Limit All>\n"
                                 "    Order deny,allow\n"
                                 "  </Limit>\n"
                                 "</Policy>\n";
    const QByteArray filesConf =
        "ServerRoot " + root + "\nServerBin " + root + "/bin\nRequestRoot " + root +
        "/spool\nTempDir " + root + "/spool\nCacheDir " + root + "/cache\nStateDir " + root +
        "/state\nAccessLog " + root + "/log/access_log\nErrorLog " + root +
        "/log/error_log\nPageLog " + root + "/log/page_log\nPrintcap " + root + "/printcap\n";
    QByteArray printers;
    for (const QString& name : {printerName(), refusingPrinterName()})
        printers += "<Printer " + name.toLatin1() +
                    ">\nInfo Kartotex test\nDeviceURI kxfile:" + QFile::encodeName(outputOf(name)) +
                    "\nState Idle\nAccepting " + (name == printerName() ? "Yes" : "No") +
                    "\nShared No\n</Printer>\n";
    if (!writeFile(dir.filePath(QStringLiteral("cupsd.conf")), cupsdConf, readable) ||
        !writeFile(dir.filePath(QStringLiteral("cups-files.conf")), filesConf, readable) ||
        !writeFile(dir.filePath(QStringLiteral("printers.conf")), printers, readable) ||
        // Owner only: the scheduler runs a backend that no one else may change as root.
        !writeFile(dir.filePath(QStringLiteral("bin/backend/kxfile")), kBackend,
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner) ||
        !QFile::link(kCupsExec, dir.filePath(QStringLiteral("bin/daemon/cups-exec")))) {
        m_error =
            QStringLiteral("the scheduler's folder cannot be laid out in %1").arg(m_dir.path());
        return false;
    }

    qputenv("CUPS_SERVER", QFile::encodeName(socket));
    cupsSetServer(QFile::encodeName(socket).constData());
    m_cupsd.start(cupsdPath(), {QStringLiteral("-f"), QStringLiteral("-c"),
                                dir.filePath(QStringLiteral("cupsd.conf")), QStringLiteral("-s"),
                                dir.filePath(QStringLiteral("cups-files.conf"))});
    if (!m_cupsd.waitForStarted(10000)) {
        m_error = QStringLiteral("cupsd does not start: %1").arg(m_cupsd.errorString());
        return false;
    }
    const QDeadlineTimer deadline(30000);
    while (!answers()) {
        if (m_cupsd.state() == QProcess::NotRunning || deadline.hasExpired()) {
            m_error = QStringLiteral("cupsd does not answer:\n%1\n%2")
                          .arg(QString::fromLocal8Bit(m_cupsd.readAll()), log());
            return false;
        }
        QTest::qWait(50);
    }
    return true;
}

// The scheduler answers, and knows both queues.
bool PrivateCups::answers() const {
    if (!QFile::exists(m_dir.filePath(QStringLiteral("cupsd.sock"))))
        return false;
    ipp_t* response = cupsDoRequest(kDefaultServer, ippNewRequest(IPP_OP_CUPS_GET_PRINTERS), "/");
    if (!response)
        return false;
    int queues = 0;
    for (ipp_attribute_t* a = ippFirstAttribute(response); a; a = ippNextAttribute(response))
        if (ippGetName(a) && qstrcmp(ippGetName(a), "printer-name") == 0)
            ++queues;
    ippDelete(response);
    return queues == 2;
}

QString PrivateCups::log() const {
    QFile f(m_dir.filePath(QStringLiteral("log/error_log")));
    return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll().right(8000))
                                       : QString();
}

QList<PrivateCups::Job> PrivateCups::jobs(const QString& printer) const {
    cups_job_t* list = nullptr;
    const int count =
        cupsGetJobs2(kDefaultServer, &list, printer.toLatin1().constData(), 0, CUPS_WHICHJOBS_ALL);
    QList<Job> out;
    for (int i = 0; i < count; ++i) {
        Job job;
        job.id = list[i].id;
        job.title = QString::fromUtf8(list[i].title);
        job.format = QString::fromUtf8(list[i].format);
        job.completed = list[i].state == IPP_JSTATE_COMPLETED;
        // What the job asked of the printer, from its own attributes.
        ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
        const QByteArray uri = "ipp://localhost/jobs/" + QByteArray::number(job.id);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri.constData());
        if (ipp_t* response = cupsDoRequest(kDefaultServer, request, "/")) {
            if (ipp_attribute_t* a = ippFindAttribute(response, "copies", IPP_TAG_INTEGER))
                job.copies = ippGetInteger(a, 0);
            if (ipp_attribute_t* a = ippFindAttribute(response, "sides", IPP_TAG_KEYWORD))
                job.sides = QString::fromUtf8(ippGetString(a, 0, nullptr));
            ippDelete(response);
        }
        out.append(job);
    }
    cupsFreeJobs(qMax(0, count), list);
    std::sort(out.begin(), out.end(), [](const Job& a, const Job& b) { return a.id < b.id; });
    return out;
}

bool PrivateCups::waitUntilIdle(const QString& printer, int timeoutMs) const {
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        cups_job_t* list = nullptr;
        const int active = cupsGetJobs2(kDefaultServer, &list, printer.toLatin1().constData(), 0,
                                        CUPS_WHICHJOBS_ACTIVE);
        cupsFreeJobs(qMax(0, active), list);
        if (active == 0)
            return true;
        if (deadline.hasExpired())
            return false;
        QTest::qWait(50);
    }
}

} // namespace kx::test
