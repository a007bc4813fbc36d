#include "SafeSave.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString Reason(int error)
{
    return qt_error_string(error);
}

// Gives the temporary file the target's permissions, or the user's
// default for a new file.
bool TakePermissions(int fd, const QByteArray &target)
{
    struct stat existing {};
    if (stat(target.constData(), &existing) == 0)
        return fchmod(fd, existing.st_mode & 07777) == 0;
    const mode_t mask = umask(0);
    umask(mask);
    return fchmod(fd, 0666 & ~mask) == 0;
}

bool WriteAll(int fd, const QByteArray &data, const TFileCalls &calls)
{
    for (qsizetype done = 0; done < data.size();) {
        const ssize_t n = calls.write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO; // nothing written and no reason given
            return false;
        }
        done += n;
    }
    return true;
}

// Flushes the folder's entry for the renamed file; a file system that
// cannot flush folders (EINVAL) keeps it as well as it can.
int SyncFolder(const QByteArray &folder, const TFileCalls &calls)
{
    const int fd = open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const int synced = calls.fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
    const int closed = calls.close(fd) == 0 ? 0 : errno;
    return synced ? synced : closed;
}

} // namespace

TFileCalls TFileCalls::System()
{
    return {::write, ::fsync, ::close, ::rename};
}

QString SaveAtomically(const QString &path, const QByteArray &data, const TFileCalls &calls)
{
    const QFileInfo target(path);
    const QByteArray final = QFile::encodeName(target.absoluteFilePath());
    const QByteArray folder = QFile::encodeName(target.absolutePath());
    QByteArray temporary = folder + "/.rz4070-XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return Reason(errno);
    auto fail = [&](int error, bool open) {
        if (open)
            calls.close(fd);
        unlink(temporary.constData());
        return Reason(error);
    };
    if (!TakePermissions(fd, final) || !WriteAll(fd, data, calls) || calls.fsync(fd) != 0)
        return fail(errno, true);
    if (calls.close(fd) != 0)
        return fail(errno, false);
    if (calls.rename(temporary.constData(), final.constData()) != 0)
        return fail(errno, false);
    if (const int error = SyncFolder(folder, calls))
        return Reason(error);
    return QString();
}
