#include "StoredLength.h"

#include "data/text/Latin2.h"

namespace kx {

qsizetype storedLength(const QString& text) {
    return latin2::canEncode(text) ? latin2::encode(text).size() : latin2::composed(text).size();
}

} // namespace kx
