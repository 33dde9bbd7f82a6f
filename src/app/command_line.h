#pragma once

#include <QString>
#include <QStringList>

/// The argument text of a start: everything after the program's own name.
namespace command_line {

/// What follows the program's name in a raw command line as Windows hands it over.
QString tailOfRawCommandLine(const QString& commandLine);
/// The program's arguments (without the program itself) joined with single blanks.
QString joinArguments(const QStringList& arguments);
#ifdef Q_OS_WIN
inline constexpr bool kWindowsCommandLine = true;
#else
inline constexpr bool kWindowsCommandLine = false;
#endif

/// The file a start names: the path to read, and the path Save writes to.
struct StartupFile {
    QString readPath;
    QString currentFile;
};
/// On Windows the argument text is the raw command line, whose quotes belong to it: a leading
/// quote drops the first and the last character for reading, and the current file loses every
/// quote. Elsewhere the shell has taken the quotes away already, so every character is kept.
StartupFile startupFile(const QString& argumentText, bool windowsCommandLine);
/// The files of a start that names several, one per argument: when there are two or more
/// arguments and together (joined by blanks) they name no file. Otherwise empty, and the
/// argument text names the one file.
QStringList separateFiles(const QStringList& arguments);
/// This process's argument text: the raw tail on Windows, the joined arguments elsewhere.
QString currentArgumentText();

} // namespace command_line
