#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

/// The files of a site's folder, for the tools that search or check every page of it. A folder
/// may hold anything: links to devices, pipes, files outside it and loops, unreadable subfolders,
/// names that are not valid UTF-8. Only regular files are listed, each once (two links to one
/// file give one entry); what is passed over is listed with the reason, so that nothing is left
/// out in silence. Links to folders are not followed.
namespace folder_walk {

struct File {
    QString path;
    bool outside = false; ///< a link that leads out of the folder; its real path is realPath
    QString realPath;
};

struct PassedOver {
    QString path; ///< as shown to the user: a byte that is no UTF-8 is written \xNN
    QString reason;
};

struct Walk {
    std::vector<File> files; ///< sorted by path
    std::vector<PassedOver> passedOver;
    bool cancelled = false;
};

struct Options {
    bool hidden = false;         ///< hidden files and folders too
    bool outside = false;        ///< files that links lead to outside the folder too
    /// Whether a file is wanted, by its path relative to the folder ('/'-separated).
    std::function<bool(const QString& relative)> wanted;
    /// Asked now and then; true ends the walk.
    std::function<bool()> cancelled;
};

Walk files(const QString& folder, const Options& options);

/// A file name as the user can read it: valid UTF-8 as it is, any other byte as \xNN, and control
/// characters as \xNN too, so that a name can neither break a line nor drive a terminal.
QString shownName(const QByteArray& name);
/// The bytes of a path's name as the system holds them: a name decoded with a replacement
/// character (a byte that is no UTF-8) is looked up in its folder. Empty when there is none.
QByteArray rawName(const QString& path);
/// Whether @p path holds a name whose bytes are not valid UTF-8, so that Qt cannot name the file.
bool hasUndecodableName(const QString& path);

} // namespace folder_walk
