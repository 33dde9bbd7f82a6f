#pragma once

#include <QRegularExpression>
#include <QString>
#include <QStringView>
#include <functional>
#include <utility>
#include <vector>

/// How the find bar reads what the user typed.
struct SearchOptions {
    bool matchCase = false;
    bool wholeWord = false;
    bool regularExpression = false;
    bool operator==(const SearchOptions&) const = default;
};

struct SearchMatch {
    qsizetype start = 0;
    qsizetype length = 0;
};

/// One search of a text: a literal string or a regular expression, found as non-overlapping,
/// non-empty matches. The text has CR LF line ends; `^`, `$` and `.` treat either CR LF or a
/// lone CR or LF as a line end.
class TextSearch {
public:
    TextSearch(const QString& pattern, SearchOptions options);

    bool isEmpty() const { return pattern_.isEmpty(); }
    const QString& pattern() const { return pattern_; }
    SearchOptions options() const { return options_; }
    /// Why the pattern cannot be searched for (an invalid regular expression), or empty.
    QString error() const { return error_; }

    std::vector<SearchMatch> findAll(QStringView text) const;
    /// What replaces @p match of @p text: @p replacement as typed, or for a regular expression
    /// with `\1` / `$1` (up to 99), `$&` / `\0` for the whole match, `\n`, `\t`, `\\` and `$$`
    /// expanded. A new line is a CR LF line end.
    QString replacementFor(QStringView text, SearchMatch match, const QString& replacement) const;
    /// Every match with what replaces it, in one pass over the text.
    std::vector<std::pair<SearchMatch, QString>> replaceAll(QStringView text, const QString& replacement) const;

private:
    bool isWholeWordAt(QStringView text, qsizetype start, qsizetype length) const;
    /// Calls @p found for each match, with its groups when it came from the expression engine.
    void forEachMatch(QStringView text,
                      const std::function<void(SearchMatch, const QRegularExpressionMatch*)>& found) const;
    static QString expand(const QRegularExpressionMatch& match, const QString& replacement);

    QString pattern_;
    SearchOptions options_;
    QRegularExpression regex_;
    QString error_;
};
