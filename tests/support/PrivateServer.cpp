#include "PrivateServer.h"

#include <QFile>
#include <QProcess>
#include <QTest>

namespace kx::test {

namespace {
// The other server is a single server: the cluster's node list is set aside with the rest.
const char* const kVariables[5] = {"KX_DB_HOST", "KX_DB_PORT", "KX_DB_USER", "KX_DB_PASSWORD",
                                   "KX_CLUSTER_PORTS"};
} // namespace

PrivateServer::PrivateServer(const QString& options) : m_options(options) {
    if (!m_dir.isValid())
        qFatal("no temporary folder for a private server");
    start();
}

PrivateServer::~PrivateServer() {
    if (m_frozen)
        thaw();
    script(QStringLiteral("stop"));
}

void PrivateServer::script(const QString& command) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KX_SERVER_DIR"), m_dir.path());
    env.insert(QStringLiteral("KX_SERVER_OPTIONS"), m_options);
    // The first start picks a free port; every later one must get the same, since the
    // program makes its lost connection again with the parameters it had.
    if (m_settings.port.isEmpty())
        env.remove(QStringLiteral("KX_DB_PORT"));
    else
        env.insert(QStringLiteral("KX_DB_PORT"), m_settings.port);
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("bash"), {QStringLiteral(KX_SOURCE_DIR "/scripts/server.sh"), command});
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        qFatal("server.sh %s failed: %s", qPrintable(command), p.readAll().constData());
}

void PrivateServer::start() {
    script(QStringLiteral("start"));
    QFile env(m_dir.path() + QStringLiteral("/server.env"));
    if (!env.open(QIODevice::ReadOnly))
        qFatal("server.env missing after start");
    for (const QByteArray& line : env.readAll().split('\n')) {
        const qsizetype eq = line.indexOf('=');
        if (eq < 0 || line.startsWith('#'))
            continue;
        const QByteArray key = line.left(eq);
        const QString value = QString::fromUtf8(line.mid(eq + 1));
        if (key == "KX_DB_HOST")
            m_settings.host = value;
        else if (key == "KX_DB_PORT")
            m_settings.port = value;
        else if (key == "KX_DB_USER")
            m_settings.user = value;
        else if (key == "KX_DB_PASSWORD")
            m_settings.password = value;
    }
    m_running = true;
}

void PrivateServer::shutdown() {
    if (m_frozen)
        thaw();
    script(QStringLiteral("stop"));
    m_running = false;
}

void PrivateServer::kill() {
    if (m_frozen)
        thaw();
    script(QStringLiteral("kill"));
    m_running = false;
}

void PrivateServer::freeze() {
    script(QStringLiteral("freeze"));
    m_frozen = true;
}

void PrivateServer::thaw() {
    script(QStringLiteral("thaw"));
    m_frozen = false;
}

UseServer::UseServer(const ServerSettings& s) {
    const QString values[5] = {s.host, s.port, s.user, s.password, QString()};
    for (int i = 0; i < 5; ++i) {
        m_saved[i] = qgetenv(kVariables[i]);
        qputenv(kVariables[i], values[i].toUtf8());
    }
}

UseServer::~UseServer() {
    for (int i = 0; i < 5; ++i)
        qputenv(kVariables[i], m_saved[i]);
}

} // namespace kx::test
