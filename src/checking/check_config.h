#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

/// The settings a site keeps for its checks in a file `.tagloom-check` at its root, read by the
/// editor and by tagloom-check alike. One setting per line, `#` starts a comment:
///
///     accessibility = 2        # 0 none, 1-3 Tidy's priority levels (and the editor's own checks)
///     links = true             # tagloom-check: follow local links (the editor always checks them)
///     orphans = true           # tagloom-check: pages nothing links to
///     ignore = RULE RULE       # Tidy message keys or rule names
///     check = RULE RULE        # Tidy's reminders to test by hand, checked below level 3 too
///     include = *.html *.htm   # tagloom-check: which files of a folder
///     exclude = drafts/*
struct CheckConfig {
    int accessibility = -1; ///< -1: not set here
    bool links = false;
    bool orphans = false;
    bool spelling = false;
    QString spellingLanguage; ///< empty: not set here
    QSet<QString> ignored;
    QSet<QString> handChecks;
    QStringList include;
    QStringList exclude;
    QString path;           ///< the file it was read from; empty when none was found
    /// What is wrong with it, each as "FILE:LINE: what" (or "FILE: why" when it was not read at
    /// all: not a regular file, too big, unreadable). Bad lines are left out of the settings.
    QStringList errors;

    static constexpr const char* kFileName = ".tagloom-check";
    /// Far beyond any real settings file: anything bigger is refused unread.
    static constexpr qint64 kLargestFile = 1024 * 1024;
    /// Reads `.tagloom-check` in @p folder, if there is one.
    static CheckConfig readIn(const QString& folder);
    /// The nearest `.tagloom-check` in the folder of @p page or a folder above it.
    static CheckConfig findFor(const QString& page);
    /// Why @p glob cannot be used as an include or exclude pattern; empty when it can.
    static QString globError(const QString& glob);
};
