#pragma once

#include "data/sql/MariaConnection.h"

#include <QString>

namespace kx::bench {

// The MariaDB command-line client as the yardstick: it runs the same work against the same
// server and database, with --batch --raw --quick and its output thrown away. The statements
// go to its input in Latin-2, the character set both sides use.
class ClientBaseline {
public:
    explicit ClientBaseline(const ConnectionParams& params);

    QString program() const {
        return m_program;
    }
    // Wall-clock seconds of one run of the client over sql (one or more statements, each
    // ended by ";"). Throws std::runtime_error with the client's message when it fails.
    double run(const QString& sql) const;
    // Seconds the client needs to start, connect and leave (the median of runs of "SELECT 1").
    double measureStartup(int runs) const;

private:
    ConnectionParams m_params;
    QString m_program;
};

} // namespace kx::bench
