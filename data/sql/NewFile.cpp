#include "data/sql/NewFile.h"

#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kx {

NewFile::Outcome NewFile::create(const QString& path, const QByteArray& content) {
    const QByteArray name = QFile::encodeName(path);
    // O_EXCL with O_CREAT fails on any existing name, a link included, whatever it points
    // at; O_NOFOLLOW says the same once more.
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          S_IRUSR | S_IWUSR | S_IRGRP | S_IWGRP | S_IROTH | S_IWOTH);
    if (fd < 0) {
        if (errno != EEXIST)
            return Outcome::Failed;
        return isDanglingLink(path) ? Outcome::DanglingLink : Outcome::AlreadyThere;
    }
    qsizetype done = 0;
    while (done < content.size()) {
        const ssize_t n = ::write(fd, content.constData() + done, size_t(content.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    const bool closed = ::close(fd) == 0;
    if (done < content.size() || !closed) {
        // A half-written file would only be taken for a damaged one later.
        ::unlink(name.constData());
        return Outcome::Failed;
    }
    return Outcome::Created;
}

bool NewFile::isDanglingLink(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat st;
    return ::lstat(name.constData(), &st) == 0 && S_ISLNK(st.st_mode) &&
           ::stat(name.constData(), &st) != 0;
}

} // namespace kx
