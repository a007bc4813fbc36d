// Files a user keeps, written atomically: into a temporary file beside the
// target, which replaces it only once every write, the flush to the disk
// and the close succeeded. The writes are plain POSIX calls, each checked:
// QSaveFile (Qt 6.4) reports success on a full disk after its buffered
// write failed, and leaves an empty file.
#pragma once

#include <QByteArray>
#include <QString>

// Writes `data` to `path`. Returns an empty string on success, else why it
// failed ("No space left on device"); an existing file is then left
// exactly as it was, and no new or temporary file is left behind. A file
// replaced keeps its permissions; a new one gets the user's default.
QString SaveAtomically(const QString &path, const QByteArray &data);
