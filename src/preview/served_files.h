#pragma once

#include <QString>

/// What the live preview may hand a page from disk. A page is the user's, but the scripts in it
/// may come from anywhere: the pane gives it its own folder's files and nothing that is plainly
/// private (hidden files and folders, another user's files, a second name of a file that may lie
/// anywhere).
namespace served_files {

struct Decision {
    QString realPath; ///< the file to serve; empty when refused
    QString why;      ///< why it was refused
};

/// Whether the file at @p path may be served to a page whose files live under @p folder (a
/// canonical path): a regular file below it after links are resolved, with no hidden part in
/// the path asked for or the real one, owned by the user, and with one name only.
Decision decide(const QString& folder, const QString& path);

} // namespace served_files
