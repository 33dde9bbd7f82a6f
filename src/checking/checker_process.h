#pragma once

#include "safe_check.h"

#include <QString>
#include <optional>

/// The checker program (tagloom-checker) as a process of its own: started, fed pages, timed and
/// stopped. One implementation for POSIX systems (posix_checker_process.cpp: posix_spawn and a
/// socket) and one for Windows (windows_checker_process.cpp: QProcess's pipes and a job object
/// that ends it with the editor).
namespace checker_process {

/// The program: named by TAGLOOM_CHECKER, else beside this program (as built), else where it is
/// installed (libexec, from the program's folder); empty when there is none.
QString program();

/// Checks @p text in a checker process: nullopt when none could be started.
std::optional<safe_check::Result> check(const QString& text, const QSet<QString>& ignoredKeys, int limitMs,
                                        int accessibility);
/// See safe_check::keepCheckersBetweenPages.
void keepBetweenPages(bool keep);
/// Kills the checks that run now.
void cancelAll();

} // namespace checker_process
