#include "QtTranslation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace kx {

bool installQtTranslation() {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return false;
    const QString name = QStringLiteral("kxQtTranslation");
    if (app->findChild<QTranslator*>(name, Qt::FindDirectChildrenOnly))
        return true;
    auto* translator = new QTranslator(app);
    translator->setObjectName(name);
    if (!translator->load(QStringLiteral("qtbase_hu"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QCoreApplication::installTranslator(translator)) {
        delete translator;
        return false;
    }
    return true;
}

} // namespace kx
