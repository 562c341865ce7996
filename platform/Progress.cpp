#include "Progress.h"

#include "Prompter.h"

#include <QApplication>
#include <QProgressDialog>

namespace kx {

namespace {
// The dialog counts in thousandths: its value is an int, a file's size may not be.
constexpr int kScale = 1000;
// Events are looked at this often; between those times a step costs a clock read.
constexpr int kEventsEveryMs = 30;
} // namespace

Progress::~Progress() = default;

bool SilentProgress::step(qint64) {
    return true;
}

QtProgress::QtProgress(const QString& text, qint64 total) : m_text(text), m_total(total) {
    m_running.start();
}

QtProgress::~QtProgress() {
    delete m_dialog;
}

bool QtProgress::step(qint64 done) {
    if (m_cancelled)
        return false;
    if (m_sinceEvents.isValid() && m_sinceEvents.elapsed() < kEventsEveryMs)
        return true;
    m_sinceEvents.start();
    if (!m_dialog && m_running.elapsed() >= kShowAfterMs) {
        QWidget* owner = QApplication::activeModalWidget();
        if (!owner)
            owner = QApplication::activeWindow();
        m_dialog = new QProgressDialog(m_text, QStringLiteral("Mégse"), 0, kScale, owner);
        m_dialog->setObjectName(QStringLiteral("ProgressDialog"));
        m_dialog->setWindowTitle(applicationTitle());
        m_dialog->setWindowModality(Qt::ApplicationModal);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        m_dialog->setMinimumDuration(0);
        m_dialog->show();
    }
    if (m_dialog) {
        const qint64 total = qMax<qint64>(m_total, 1);
        m_dialog->setValue(int(qBound<qint64>(0, done, total) * kScale / total));
        // While the modal dialog is up, the user's input can only reach it.
        QCoreApplication::processEvents();
        m_cancelled = m_dialog->wasCanceled();
    } else {
        // Before the dialog shows, no click may start another command meanwhile.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    return !m_cancelled;
}

} // namespace kx
