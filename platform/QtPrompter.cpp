#include "QtPrompter.h"

#include "PictureFileDialog.h"
#include "Progress.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QStringList>

namespace kx {

namespace {

const QString kWarningCaption = QStringLiteral("Figyelem:");
const QString kResultCaption = QStringLiteral("Eljárás:");

// One message window; only the default error report carries an icon.
QMessageBox::StandardButton showBox(const QString& caption, const QString& text,
                                    QMessageBox::StandardButtons buttons,
                                    QMessageBox::StandardButton defaultButton,
                                    QMessageBox::Icon icon = QMessageBox::NoIcon) {
    QMessageBox box(icon, caption, text, buttons, QApplication::activeWindow());
    box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace

void QtPrompter::warning(const QString& text) {
    showBox(kWarningCaption, text, QMessageBox::Ok, QMessageBox::Ok);
}

bool QtPrompter::question(const QString& text) {
    return showBox(kWarningCaption, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) ==
           QMessageBox::Yes;
}

void QtPrompter::result(const QString& text) {
    showBox(kResultCaption, text, QMessageBox::Ok, QMessageBox::Ok);
}

void QtPrompter::notice(const QString& text) {
    showBox(applicationTitle(), text, QMessageBox::Ok, QMessageBox::Ok);
}

void QtPrompter::errorReport(const QString& text) {
    showBox(applicationTitle(), text, QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Critical);
}

QString QtPrompter::input(const QString& caption, const QString& prompt,
                          const QString& defaultText) {
    bool ok = false;
    const QString text = QInputDialog::getText(QApplication::activeWindow(), caption, prompt,
                                               QLineEdit::Normal, defaultText, &ok);
    if (!ok)
        return QString();
    return text.isNull() ? QStringLiteral("") : text;
}

QString QtPrompter::openFile(const QString& title, const QString& startPath) {
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), title, startPath);
}

QString QtPrompter::openPicture(const QString& startPath) {
    PictureFileDialog dialog(QApplication::activeWindow(), startPath);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return dialog.selectedFiles().value(0);
}

QString QtPrompter::saveFile(const QString& folder, const QString& proposedName) {
    const QString start = folder.isEmpty() ? proposedName : QDir(folder).filePath(proposedName);
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), QString(), start, QString(),
                                        nullptr, QFileDialog::DontConfirmOverwrite);
}

std::unique_ptr<Progress> QtPrompter::progress(const QString& text, qint64 total) {
    return std::make_unique<QtProgress>(text, total);
}

} // namespace kx
