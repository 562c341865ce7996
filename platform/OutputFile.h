#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QSaveFile>
#include <QString>

namespace kx {

// A file written under a temporary name beside its target and put in the target's place by
// commit() only when whole: a cancelled or failed output leaves the chosen name as it was.
// Writes are gathered into large pieces and handed to the system without the file's own
// buffer, so a failing write is seen at once and with the system's cause: a piece that goes
// out only in part is followed by its rest, and that write then fails with the reason (a full
// disk, a size limit). After the first failure every write fails and errorString() keeps that
// cause. Without commit() the temporary file goes with the object.
class OutputFile : public QIODevice {
public:
    explicit OutputFile(const QString& path);
    ~OutputFile() override;

    bool open(); // false: the file cannot be created; errorString() says why
    bool failed() const {
        return m_failed;
    }
    // Writes what is gathered and puts the file in its place; false (with the cause in
    // errorString()) when a write failed before or fails now.
    bool commit();

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    bool writeOut(const char* data, qint64 size);
    bool flushPending();
    void fail(const QString& cause);

    QSaveFile m_file;
    QByteArray m_pending;
    bool m_failed = false;
};

} // namespace kx
