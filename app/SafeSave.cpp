#include "SafeSave.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString Reason(int error)
{
    return qt_error_string(error);
}

} // namespace

QString SaveAtomically(const QString &path, const QByteArray &data)
{
    const QFileInfo target(path);
    const QByteArray final = QFile::encodeName(target.absoluteFilePath());
    QByteArray temporary = QFile::encodeName(target.absolutePath() + QStringLiteral("/.") + target.fileName())
                           + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0)
        return Reason(errno);
    auto fail = [&](int error) {
        close(fd);
        unlink(temporary.constData());
        return Reason(error);
    };
    struct stat existing {};
    if (stat(final.constData(), &existing) == 0) {
        if (fchmod(fd, existing.st_mode & 07777) != 0)
            return fail(errno);
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        if (fchmod(fd, 0666 & ~mask) != 0)
            return fail(errno);
    }
    for (qsizetype done = 0; done < data.size();) {
        const ssize_t n = write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(n < 0 ? errno : EIO);
        done += n;
    }
    if (fsync(fd) != 0)
        return fail(errno);
    if (close(fd) != 0) {
        const int error = errno;
        unlink(temporary.constData());
        return Reason(error);
    }
    if (rename(temporary.constData(), final.constData()) != 0) {
        const int error = errno;
        unlink(temporary.constData());
        return Reason(error);
    }
    return QString();
}
