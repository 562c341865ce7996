#include "ClientBaseline.h"

#include "Median.h"
#include "data/text/Latin2.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <stdexcept>

namespace kx::bench {

ClientBaseline::ClientBaseline(const ConnectionParams& params) : m_params(params) {
    m_program = QStandardPaths::findExecutable(QStringLiteral("mariadb"));
    if (m_program.isEmpty())
        m_program = QStandardPaths::findExecutable(QStringLiteral("mysql"));
    if (m_program.isEmpty())
        throw std::runtime_error("the MariaDB command-line client (mariadb) is not installed");
}

double ClientBaseline::run(const QString& sql) const {
    QProcess client;
    client.setProgram(m_program);
    // TCP to the same address as the data layer; the password through the environment, so
    // it appears on no command line.
    client.setArguments(
        {QStringLiteral("--no-defaults"), QStringLiteral("--protocol=TCP"),
         QStringLiteral("--host=") + m_params.server, QStringLiteral("--port=") + m_params.port,
         QStringLiteral("--user=") + m_params.user,
         QStringLiteral("--database=") + m_params.database,
         QStringLiteral("--default-character-set=latin2"), QStringLiteral("--batch"),
         QStringLiteral("--raw"), QStringLiteral("--quick")});
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("MYSQL_PWD"), m_params.password);
    client.setProcessEnvironment(env);
    client.setStandardOutputFile(QProcess::nullDevice());
    const QByteArray input = latin2::encode(sql);

    QElapsedTimer clock;
    clock.start();
    client.start();
    if (!client.waitForStarted(-1))
        throw std::runtime_error("cannot start " + m_program.toStdString());
    client.write(input);
    client.closeWriteChannel();
    client.waitForFinished(-1);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;

    if (client.exitStatus() != QProcess::NormalExit || client.exitCode() != 0)
        throw std::runtime_error(
            "the client failed: " +
            QString::fromLocal8Bit(client.readAllStandardError()).trimmed().toStdString());
    return seconds;
}

double ClientBaseline::measureStartup(int runs) const {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i)
        times.push_back(run(QStringLiteral("SELECT 1;")));
    return median(times);
}

} // namespace kx::bench
