#include "data/sql/DbError.h"

namespace kx {

DbError::DbError(const QString& message, unsigned code)
    : std::runtime_error(message.toUtf8().toStdString()), m_code(code) {}

QString DbError::message() const {
    return QString::fromUtf8(what());
}

unsigned DbError::code() const {
    return m_code;
}

} // namespace kx
