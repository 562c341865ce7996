#pragma once

#include "platform/Prompter.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace kx::test {

// One window as the user would have seen it.
struct Shown {
    QString
        kind; // warning, question, result, notice, error, input, openFile, openPicture, saveFile
    QString caption;
    QString text;
    bool operator==(const Shown& o) const {
        return kind == o.kind && caption == o.caption && text == o.text;
    }
};

// Records every window in order and answers from a script. Questions without a scripted
// answer are answered No; inputs and file dialogs without one are cancelled.
class RecordingPrompter : public Prompter {
public:
    void warning(const QString& text) override;
    bool question(const QString& text) override;
    void result(const QString& text) override;
    void notice(const QString& text) override;
    void errorReport(const QString& text) override;
    QString input(const QString& caption, const QString& prompt,
                  const QString& defaultText) override;
    QString openFile(const QString& title, const QString& startPath) override;
    QString openPicture(const QString& startPath) override;
    QString saveFile(const QString& folder, const QString& proposedName) override;
    std::unique_ptr<Progress> progress(const QString& text, qint64 total) override;

    void answerQuestions(const QList<bool>& answers); // appended to the queue
    void answerInputs(const QStringList& answers);
    void answerFiles(const QStringList& paths);
    // Runs at the moment a window is shown (after it is recorded), e.g. to release a lock.
    std::function<void(const Shown&)> onShown;

    // Progress windows are kept apart from the message windows: whether one shows depends on
    // time. Each run records every step the work took and where it was cancelled.
    struct ProgressRun {
        QString text;
        qint64 total = 0;
        QList<qint64> steps;
        qint64 cancelledAt = -1; // the step that answered "stop"; -1: never
    };
    QList<ProgressRun> progresses;
    // The next progress answers "stop" at its first step at or past this share of its total.
    void cancelProgressAt(double share);
    // Runs at every step of every progress, as the real window's event loop would run what
    // is queued meanwhile (a test lets queued work arrive here).
    std::function<void(qint64 done)> onProgressStep;

    QList<Shown> shown;
    QStringList texts() const; // the texts alone, in order
    void clear();

private:
    void record(const QString& kind, const QString& caption, const QString& text);
    QList<bool> m_questions;
    QStringList m_inputs;
    QStringList m_files;
    double m_cancelShare = -1;
};

// Builders for expected sequences.
Shown warningBox(const QString& text);
Shown questionBox(const QString& text);
Shown resultBox(const QString& text);
Shown plainNotice(const QString& text);
Shown errorReportBox(const QString& text);   // text empty: any text
Shown hookBox(const QString& serverMessage); // "Adatbázis csatlakozási hiba -> " + message
// Whether s is the connection's error box, whatever the server's message in it.
bool isHookBox(const Shown& s);

} // namespace kx::test

QT_BEGIN_NAMESPACE
namespace QTest {
char* toString(const kx::test::Shown& s);
}
QT_END_NAMESPACE
