#pragma once

#include <QString>
#include <QStringList>

/// The argument text of a start: everything after the program's own name.
namespace command_line {

/// What follows the program's name in a raw command line as Windows hands it over.
QString tailOfRawCommandLine(const QString& commandLine);
/// The program's arguments (without the program itself) joined with single blanks.
QString joinArguments(const QStringList& arguments);
/// This process's argument text: the raw tail on Windows, the joined arguments elsewhere.
QString currentArgumentText();

} // namespace command_line
