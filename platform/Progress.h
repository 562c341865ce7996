#pragma once

#include "data/query/LongWork.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QString>

class QProgressDialog;

namespace kx {

// Files above this size are stored and saved under a progress window.
constexpr qint64 kProgressFileBytes = 10 * 1024 * 1024;

// How far a long piece of work is, and whether the user has asked to stop it. The work calls
// step() as it goes; step() keeps the windows repainting, and once it returns false the work
// stops where it is and undoes what it must. While a progress lives, the data layer's
// queued work waits for the long work's end (see LongWork).
class Progress {
public:
    virtual ~Progress();
    // done: the work finished so far, in the units of the total given when it started.
    virtual bool step(qint64 done) = 0;

private:
    LongWork m_longWork;
};

// A progress that never shows a window and never stops the work.
class SilentProgress : public Progress {
public:
    bool step(qint64 done) override;
};

// QProgressDialog with a "Mégse" button, shown once the work has run for half a second and
// modal while shown, so the user can do nothing else than watch or cancel.
class QtProgress : public Progress {
public:
    QtProgress(const QString& text, qint64 total);
    ~QtProgress() override;
    bool step(qint64 done) override;

    static constexpr int kShowAfterMs = 500;

private:
    QString m_text;
    qint64 m_total;
    QElapsedTimer m_running;
    QElapsedTimer m_sinceEvents;
    QPointer<QProgressDialog> m_dialog;
    bool m_cancelled = false;
};

} // namespace kx
