#include "SafeSave.h"

#include <QFile>
#include <QFileInfo>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

constexpr char TemporaryPrefix[] = ".rz4070-";
constexpr size_t TemporaryRandom = 6; // mkostemp's XXXXXX

QString Reason(int error)
{
    return qt_error_string(error);
}

// An open file descriptor, closed when it goes.
class TFd {
public:
    explicit TFd(int fd = -1) : FFd(fd) {}
    TFd(const TFd &) = delete;
    TFd &operator=(const TFd &) = delete;
    ~TFd()
    {
        if (FFd >= 0)
            ::close(FFd);
    }
    int get() const { return FFd; }
    int release() { return std::exchange(FFd, -1); }
    void reset(int fd)
    {
        if (FFd >= 0)
            ::close(FFd);
        FFd = fd;
    }

private:
    int FFd;
};

bool SameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether `name` is what mkostemp made of a save's template.
bool IsTemporaryName(const char *name)
{
    const size_t prefix = sizeof TemporaryPrefix - 1;
    if (std::strncmp(name, TemporaryPrefix, prefix) != 0 || std::strlen(name) != prefix + TemporaryRandom)
        return false;
    for (const char *c = name + prefix; *c; ++c)
        if (!std::isalnum(static_cast<unsigned char>(*c)))
            return false;
    return true;
}

// Removes the temporary files that saves of this user left in `folder`
// when they were killed: regular files of a save's name, owned by the
// user, with one link, that no save holds locked. What cannot be looked
// at is left alone.
void RemoveLeftovers(const QByteArray &folder)
{
    DIR *dir = opendir(folder.constData());
    if (!dir)
        return;
    const int dirFd = dirfd(dir);
    while (const dirent *entry = readdir(dir)) {
        if (!IsTemporaryName(entry->d_name))
            continue;
        const TFd fd(openat(dirFd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat opened {}, named {};
        if (fd.get() < 0 || fstat(fd.get(), &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_uid != geteuid()
            || opened.st_nlink != 1 || flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        // Still the file locked, not one a save has made under the name since.
        if (fstatat(dirFd, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(opened, named))
            unlinkat(dirFd, entry->d_name, 0);
    }
    closedir(dir);
}

// A new temporary file in `folder`, locked through a second descriptor
// (`lock`) that the save keeps until after the rename: `name` is then
// surely the file written. -1 with errno when none could be made.
int MakeTemporary(const QByteArray &folder, QByteArray &name, TFd &lock)
{
    for (int attempt = 0; attempt < 8; ++attempt) {
        name = folder + '/' + TemporaryPrefix + QByteArray(TemporaryRandom, 'X');
        const int fd = mkostemp(name.data(), O_CLOEXEC);
        if (fd < 0)
            return -1;
        TFd locked(open(name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
        if (locked.get() < 0) {
            const int error = errno;
            ::close(fd);
            unlink(name.constData());
            errno = error;
            return -1;
        }
        struct stat made {}, named {};
        // Between the making and the lock, another save may have taken the
        // new file for a leftover: then it is made again.
        if (flock(locked.get(), LOCK_EX | LOCK_NB) == 0 && fstat(fd, &made) == 0 && stat(name.constData(), &named) == 0
            && SameFile(made, named)) {
            lock.reset(locked.release());
            return fd;
        }
        ::close(fd);
    }
    errno = EEXIST;
    return -1;
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

TSaveResult SaveAtomically(const QString &path, const QByteArray &data, const TFileCalls &calls)
{
    const QFileInfo target(path);
    const QByteArray final = QFile::encodeName(target.absoluteFilePath());
    const QByteArray folder = QFile::encodeName(target.absolutePath());
    const long longest = pathconf(folder.constData(), _PC_NAME_MAX);
    if (longest > 0 && QFile::encodeName(target.fileName()).size() > longest)
        return {false, Reason(ENAMETOOLONG)};
    RemoveLeftovers(folder);
    QByteArray temporary;
    TFd lock;
    const int fd = MakeTemporary(folder, temporary, lock);
    if (fd < 0)
        return {false, Reason(errno)};
    auto fail = [&](int error, bool open) {
        if (open)
            calls.close(fd);
        unlink(temporary.constData());
        return TSaveResult{false, Reason(error)};
    };
    if (!TakePermissions(fd, final) || !WriteAll(fd, data, calls) || calls.fsync(fd) != 0)
        return fail(errno, true);
    if (calls.close(fd) != 0)
        return fail(errno, false);
    if (calls.rename(temporary.constData(), final.constData()) != 0)
        return fail(errno, false);
    if (const int error = SyncFolder(folder, calls))
        return {true, Reason(error)};
    return {true, QString()};
}
