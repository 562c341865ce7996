#include "Reference.h"

#include "platform/TypedText.h"

namespace kx {

ReferenceKind referenceKind(const QString& reference) {
    if (reference.size() > 7 && (reference.startsWith(QLatin1String("http://")) ||
                                 reference.startsWith(QLatin1String("https:/"))))
        return ReferenceKind::WebAddress;
    if (!trimBlanks(reference).isEmpty())
        return ReferenceKind::SearchTerm;
    return ReferenceKind::Blank;
}

QString referenceHint(ReferenceKind kind) {
    switch (kind) {
    case ReferenceKind::WebAddress:
        return QStringLiteral("Behívás|Behívás Internet programba !");
    case ReferenceKind::SearchTerm:
        return QStringLiteral("Keresés|Hivatkozott kifejezés keresése az állományban !");
    case ReferenceKind::Blank:
        break;
    }
    return QString();
}

} // namespace kx
