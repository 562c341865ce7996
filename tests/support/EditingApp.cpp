#include "EditingApp.h"

#include <QTimer>

namespace kx::test {

EditingApp::EditingApp() {
    app.startUp(db.params());
    if (!app.prompter.shown.isEmpty() || !data().recordTable.isOpen())
        qFatal("start-up failed: %s", qPrintable(app.prompter.texts().join(QLatin1Char('|'))));
    entryForm = app.mainWindow->findChild<EntryForm*>();
    modificationForm = app.mainWindow->findChild<ModificationForm*>();
    if (!entryForm || !modificationForm)
        qFatal("the editing forms were not created");
}

qint64 EditingApp::addRecord(const QString& title, const QStringList& columns,
                             const QStringList& values) {
    QStringList cols{QStringLiteral("CIM")};
    QString escaped = title;
    escaped.replace(QLatin1Char('\''), QStringLiteral("''"));
    QStringList vals{QLatin1Char('\'') + escaped + QLatin1Char('\'')};
    cols << columns;
    vals << values;
    db.exec(QStringLiteral("INSERT INTO tbl_Data (%1) VALUES (%2)")
                .arg(cols.join(QLatin1Char(',')), vals.join(QLatin1Char(','))));
    const qint64 key = db.scalar(QStringLiteral("SELECT LAST_INSERT_ID()")).toLongLong();
    refresh();
    return key;
}

void EditingApp::refresh() {
    data().recordTable.refresh();
    data().recordQuery.refresh();
}

void EditingApp::selectInGrid(const QString& title) {
    Query& q = data().recordQuery;
    for (q.first(); !q.eof(); q.next())
        if (q.asString(QStringLiteral("CIM")) == title)
            return;
    qFatal("no row titled %s in the record query", qPrintable(title));
}

void EditingApp::openForModification(const QString& title) {
    selectInGrid(title);
    if (!data().recordTable.locate(QStringLiteral("CIM"), title, false))
        qFatal("no record titled %s", qPrintable(title));
    modificationForm->prepareShowing();
}

int EditingApp::recordCount() {
    return db.scalar(QStringLiteral("SELECT COUNT(*) FROM tbl_Data")).toInt();
}

bool insideModal(QDialog* form, const std::function<void()>& act,
                 const std::function<void()>& command) {
    bool opened = false;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setInterval(0);
    QObject::connect(&timer, &QTimer::timeout, form, [&] {
        if (!form->isVisible())
            return;
        opened = true;
        act();
        if (form->isVisible())
            form->done(QDialog::Rejected);
    });
    timer.start();
    command();
    timer.stop(); // the form never opened: nothing may act later
    return opened;
}

} // namespace kx::test
