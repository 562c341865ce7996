#include "Prompter.h"

#include "Progress.h"

namespace kx {

Prompter::~Prompter() = default;

std::unique_ptr<Progress> Prompter::progress(const QString&, qint64) {
    return std::make_unique<SilentProgress>();
}

QString applicationTitle() {
    return QStringLiteral("Kartotex");
}

} // namespace kx
