#pragma once

#include "tag_check.h"

#include <QSet>
#include <QString>
#include <vector>

/// Checking a page so that no page can hurt the caller. HTML Tidy recurses once per open
/// element and takes time that grows with the square of their number: a page of 100,000 unclosed
/// spans would overflow the stack, and a few tens of thousands take minutes. Such pages are
/// refused before Tidy sees them, and on POSIX systems Tidy runs in the checker program with a time
/// limit, so that a crash or a hang ends the check, not the program.
namespace safe_check {

/// Pages whose elements nest deeper than this are refused (Tidy checks one this deep in about
/// half a second, in about a megabyte of stack).
inline constexpr int kDeepestNesting = 10000;

/// The deepest nesting of elements in @p text, as HTML's rules for end tags build it: unclosed
/// elements stay open until an end tag of an element around them closes them.
int nestingDepth(QStringView text);

/// How long a check may take: far more than Tidy needs for a page of that size.
int timeLimitMs(qsizetype characters);

struct Result {
    std::vector<TagProblem> problems;
    /// Why the page was not checked (too deeply nested, too slow, or the checker failed);
    /// empty when it was.
    QString failure;
};

/// checkTags() on @p text, refused when the page nests deeper than kDeepestNesting, in a child
/// process of the checker program that is killed after @p limitMs milliseconds (on POSIX systems).
Result check(const QString& text, const QSet<QString>& ignoredKeys, int limitMs, int accessibility = 0);

/// With @p keep, each thread that checks keeps its child process for the pages after the first
/// (sent to it over a socket), instead of a new child for each page: for a program that checks
/// many pages and little else, such as a checker for whole sites. The child is made again after a
/// page that crashed it, took too long or was cancelled. Without @p keep, the children kept so far
/// end, and the program waits for them: call it so when no check runs, before the program ends.
void keepCheckersBetweenPages(bool keep = true);

/// Ends every check running in a child process at once (its result is a failure): for a window
/// that closes while a check runs.
void cancelAll();

} // namespace safe_check
