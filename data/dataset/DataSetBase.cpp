#include "data/dataset/DataSetBase.h"

#include <cmath>

namespace kx {

DataSetBase::~DataSetBase() = default;

qint64 DataSetBase::asInteger(const QString& field) {
    const QString text = asString(field).trimmed();
    if (text.isEmpty())
        return 0;
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (ok)
        return value;
    // Decimal columns with a fraction read as the nearest whole number.
    const double d = text.toDouble(&ok);
    return ok && std::isfinite(d) ? qint64(std::llround(d)) : 0;
}

} // namespace kx
