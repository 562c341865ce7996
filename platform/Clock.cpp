#include "Clock.h"

namespace kx {

namespace {
QDateTime& fixedMoment() {
    static QDateTime moment;
    return moment;
}
} // namespace

QDateTime Clock::now() {
    const QDateTime& moment = fixedMoment();
    return moment.isValid() ? moment : QDateTime::currentDateTime();
}

void Clock::setFixed(const QDateTime& when) {
    fixedMoment() = when;
}

QDateTime Clock::fixed() {
    return fixedMoment();
}

} // namespace kx
