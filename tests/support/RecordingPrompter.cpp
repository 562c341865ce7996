#include "RecordingPrompter.h"

#include "platform/Progress.h"

#include <QTest>

namespace kx::test {

void RecordingPrompter::record(const QString& kind, const QString& caption, const QString& text) {
    shown.append({kind, caption, text});
    if (onShown)
        onShown(shown.last());
}

void RecordingPrompter::warning(const QString& text) {
    record(QStringLiteral("warning"), QStringLiteral("Figyelem:"), text);
}

bool RecordingPrompter::question(const QString& text) {
    record(QStringLiteral("question"), QStringLiteral("Figyelem:"), text);
    return m_questions.isEmpty() ? false : m_questions.takeFirst();
}

void RecordingPrompter::result(const QString& text) {
    record(QStringLiteral("result"), QStringLiteral("Eljárás:"), text);
}

void RecordingPrompter::notice(const QString& text) {
    record(QStringLiteral("notice"), applicationTitle(), text);
}

void RecordingPrompter::errorReport(const QString& text) {
    record(QStringLiteral("error"), applicationTitle(), text);
}

QString RecordingPrompter::input(const QString& caption, const QString& prompt,
                                 const QString& defaultText) {
    record(QStringLiteral("input"), caption, prompt);
    Q_UNUSED(defaultText);
    return m_inputs.isEmpty() ? QString() : m_inputs.takeFirst();
}

QString RecordingPrompter::openFile(const QString& title, const QString& startPath) {
    Q_UNUSED(startPath);
    record(QStringLiteral("openFile"), title, QString());
    return m_files.isEmpty() ? QString() : m_files.takeFirst();
}

QString RecordingPrompter::openPicture(const QString& startPath) {
    Q_UNUSED(startPath);
    record(QStringLiteral("openPicture"), QString(), QString());
    return m_files.isEmpty() ? QString() : m_files.takeFirst();
}

QString RecordingPrompter::saveFile(const QString& folder, const QString& proposedName) {
    record(QStringLiteral("saveFile"), folder, proposedName);
    return m_files.isEmpty() ? QString() : m_files.takeFirst();
}

namespace {
class RecordedProgress : public Progress {
public:
    RecordedProgress(QList<RecordingPrompter::ProgressRun>& runs, double cancelShare,
                     std::function<void(qint64)> onStep)
        : m_runs(runs), m_index(runs.size() - 1), m_cancelShare(cancelShare),
          m_onStep(std::move(onStep)) {}
    bool step(qint64 done) override {
        RecordingPrompter::ProgressRun& run = m_runs[m_index];
        run.steps << done;
        if (m_onStep)
            m_onStep(done);
        if (run.cancelledAt >= 0)
            return false;
        if (m_cancelShare >= 0 && double(done) >= m_cancelShare * double(run.total)) {
            run.cancelledAt = done;
            return false;
        }
        return true;
    }

private:
    QList<RecordingPrompter::ProgressRun>& m_runs;
    qsizetype m_index;
    double m_cancelShare;
    std::function<void(qint64)> m_onStep;
};
} // namespace

std::unique_ptr<Progress> RecordingPrompter::progress(const QString& text, qint64 total) {
    progresses.append({text, total, {}, -1});
    const double share = m_cancelShare;
    m_cancelShare = -1;
    return std::make_unique<RecordedProgress>(progresses, share, onProgressStep);
}

void RecordingPrompter::cancelProgressAt(double share) {
    m_cancelShare = share;
}

void RecordingPrompter::answerQuestions(const QList<bool>& answers) {
    m_questions.append(answers);
}

void RecordingPrompter::answerInputs(const QStringList& answers) {
    m_inputs.append(answers);
}

void RecordingPrompter::answerFiles(const QStringList& paths) {
    m_files.append(paths);
}

QStringList RecordingPrompter::texts() const {
    QStringList out;
    for (const auto& s : shown)
        out << s.text;
    return out;
}

void RecordingPrompter::clear() {
    shown.clear();
    m_questions.clear();
    m_inputs.clear();
    m_files.clear();
}

Shown warningBox(const QString& text) {
    return {QStringLiteral("warning"), QStringLiteral("Figyelem:"), text};
}
Shown questionBox(const QString& text) {
    return {QStringLiteral("question"), QStringLiteral("Figyelem:"), text};
}
Shown resultBox(const QString& text) {
    return {QStringLiteral("result"), QStringLiteral("Eljárás:"), text};
}
Shown plainNotice(const QString& text) {
    return {QStringLiteral("notice"), applicationTitle(), text};
}
Shown errorReportBox(const QString& text) {
    return {QStringLiteral("error"), applicationTitle(), text};
}
Shown hookBox(const QString& serverMessage) {
    return warningBox(QStringLiteral("Adatbázis csatlakozási hiba -> ") + serverMessage);
}
bool isHookBox(const Shown& s) {
    const Shown box = hookBox(QString());
    return s.kind == box.kind && s.caption == box.caption && s.text.startsWith(box.text);
}

} // namespace kx::test

char* QTest::toString(const kx::test::Shown& s) {
    return qstrdup(
        QStringLiteral("%1 [%2] %3").arg(s.kind, s.caption, s.text).toUtf8().constData());
}
