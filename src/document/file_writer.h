#pragma once

#include "file_error.h"

#include <QByteArray>
#include <QString>

/// Saving so that no byte of the old file is lost, whatever happens; one implementation for POSIX
/// systems (posix_file_writer.cpp) and one for Windows (windows_file_writer.cpp).
///
/// A file is normally replaced through a temporary file beside it (`.tgl-XXXXXX`) that takes the
/// old file's permissions and attributes (on POSIX its mode, owner, group, ACLs and extended
/// attributes; on Windows its ACL, attributes and creation time) and is then renamed over it in
/// one step. A file that must keep its identity (several hard links, attributes or streams the
/// temporary file cannot take, or a folder we may not write) is written in place instead:
/// the space is reserved first, a complete backup (`.tgl-backup-<file id>-<random>`, named only
/// once complete) is kept beside it until the write is done, and the write runs in a child
/// process, so that even the editor's death in the middle cannot leave half a file. Without room
/// for the backup nothing is written.
namespace file_writer {
FileError write(const QString& path, const QByteArray& bytes);
/// A backup that an interrupted in-place save left beside @p path, or empty.
QString interruptedSaveBackup(const QString& path);
/// Removes our own leftovers beside @p path: temporary files that no live save holds (a save
/// that was killed), preview copies older than a day, and backups older than a week.
void removeStaleTemporaries(const QString& path);
} // namespace file_writer
