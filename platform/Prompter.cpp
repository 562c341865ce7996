#include "Prompter.h"

namespace kx {

Prompter::~Prompter() = default;

QString applicationTitle() {
    return QStringLiteral("Kartotex");
}

} // namespace kx
