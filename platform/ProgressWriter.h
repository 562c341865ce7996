#pragma once

#include <QIODevice>

namespace kx {

class Progress;

// A write-only device that passes everything to target and tells progress how many bytes
// have gone through. Once the progress answers "stop", writes fail and cancelled() is true,
// so the code that streams into it ends as after a write error and can tell the two apart.
class ProgressWriter : public QIODevice {
public:
    ProgressWriter(QIODevice& target, Progress* progress);
    bool cancelled() const {
        return m_cancelled;
    }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    QIODevice& m_target;
    Progress* m_progress;
    qint64 m_written = 0;
    bool m_cancelled = false;
};

} // namespace kx
