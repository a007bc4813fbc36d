// Files a user keeps, written atomically: into a temporary file beside the
// target, which replaces it only once every write, the flush to the disk
// and the close succeeded; the folder is flushed after the rename, so the
// new file survives a power cut. The writes are plain POSIX calls, each
// checked: QSaveFile (Qt 6.4) reports success on a full disk after its
// buffered write failed, and leaves an empty file.
#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <sys/types.h>

// The calls a save makes that can fail part-way; the system's by default.
// Tests hand in calls that fail or come up short.
struct TFileCalls {
    std::function<ssize_t(int, const void *, size_t)> write;
    std::function<int(int)> fsync;
    std::function<int(int)> close;
    std::function<int(const char *, const char *)> rename;
    static TFileCalls System();
};

// Writes `data` to `path`. Returns an empty string on success, else why it
// failed ("No space left on device"); an existing file is then left
// exactly as it was, and no new or temporary file is left behind (unless
// only the folder's flush failed: the new file is then in place). A file
// replaced keeps its permissions; a new one gets the user's default. The
// temporary file's name is short, so any name the folder takes will do.
QString SaveAtomically(const QString &path, const QByteArray &data, const TFileCalls &calls = TFileCalls::System());
