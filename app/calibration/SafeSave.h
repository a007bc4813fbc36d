// Files a user keeps, written atomically: into a temporary file beside the
// target, which replaces it only once every write, the flush to the disk
// and the close succeeded; the folder is flushed after the rename, so the
// new file survives a power cut. The writes are plain POSIX calls, each
// checked: QSaveFile (Qt 6.4) reports success on a full disk after its
// buffered write failed, and leaves an empty file.
//
// A save holds a lock on its temporary file until the rename, so that a
// temporary file left by a save that was killed can be told from one being
// written: the next save in that folder removes the user's own unlocked
// ones.
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

// What a save came to.
struct TSaveResult {
    // The new content is in place under the target's name.
    bool saved = false;
    // Why it was not saved ("No space left on device"); or, saved, why it
    // may not survive a power cut (the folder's flush failed); empty when
    // all went well.
    QString reason;
};

// Writes `data` to `path`. When not saved, an existing file is left
// exactly as it was, and no new or temporary file is left behind. A file
// replaced keeps its permissions; a new one gets the user's default. The
// temporary file's name is short, so any name the folder takes will do; a
// name longer than the folder's file system takes is refused before
// anything is written.
TSaveResult SaveAtomically(const QString &path, const QByteArray &data, const TFileCalls &calls = TFileCalls::System());
