#include "command_line.h"

#include <QCoreApplication>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace command_line {

QString tailOfRawCommandLine(const QString& commandLine) {
    qsizetype i = 0;
    const qsizetype n = commandLine.size();
    // The program name is quoted up to the next quote, or runs up to the first blank.
    if (n > 0 && commandLine.at(0) == u'"') {
        i = commandLine.indexOf(u'"', 1);
        i = i < 0 ? n : i + 1;
    } else {
        while (i < n && commandLine.at(i) != u' ' && commandLine.at(i) != u'\t')
            ++i;
    }
    while (i < n && (commandLine.at(i) == u' ' || commandLine.at(i) == u'\t'))
        ++i;
    return commandLine.mid(i);
}

QString joinArguments(const QStringList& arguments) {
    return arguments.join(u' ');
}

StartupFile startupFile(const QString& argumentText, bool windowsCommandLine) {
    if (argumentText.isEmpty() || !windowsCommandLine)
        return {argumentText, argumentText};
    const QString readPath =
        argumentText.startsWith(u'"') ? argumentText.mid(1, argumentText.size() - 2) : argumentText;
    return {readPath, QString(argumentText).remove(u'"')};
}

QStringList separateFiles(const QStringList& arguments) {
    if (arguments.size() < 2 || QFileInfo::exists(joinArguments(arguments)))
        return {};
    return arguments;
}

QString currentArgumentText() {
#ifdef Q_OS_WIN
    return tailOfRawCommandLine(QString::fromWCharArray(GetCommandLineW()));
#else
    return joinArguments(QCoreApplication::arguments().mid(1));
#endif
}

} // namespace command_line
