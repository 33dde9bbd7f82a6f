#include "text_search.h"

namespace {
// Makes `$`, `^` and `.` know CR LF and lone CR as line ends, as the text has them.
const QString kLineEnds = QStringLiteral("(*ANYCRLF)");

// The expression engine finds nothing in text that is not valid UTF-16, and a page may hold
// lone surrogates (the marks of bytes that were no UTF-8): it searches a copy with each in its
// place as U+FFFD instead, so that every position stays where it is.
QStringView searchable(QStringView text, QString& copy) {
    if (text.isValidUtf16())
        return text;
    copy = text.toString();
    for (qsizetype i = 0; i < copy.size(); ++i) {
        if (copy[i].isHighSurrogate() && i + 1 < copy.size() && copy[i + 1].isLowSurrogate())
            ++i;
        else if (copy[i].isSurrogate())
            copy[i] = QChar::ReplacementCharacter;
    }
    return copy;
}

bool isWordCharacter(QChar c) {
    return c.isLetterOrNumber() || c == u'_' || c.isMark();
}
} // namespace

TextSearch::TextSearch(const QString& pattern, SearchOptions options) : pattern_(pattern), options_(options) {
    if (pattern.isEmpty())
        return;
    if (!options.regularExpression) {
        // Any case: the expression engine's compiled search is about twice as fast here as
        // comparing folded characters one by one.
        if (!options.matchCase)
            regex_ = QRegularExpression(QRegularExpression::escape(pattern),
                                        QRegularExpression::CaseInsensitiveOption |
                                            QRegularExpression::UseUnicodePropertiesOption);
        return;
    }
    QString body = pattern;
    if (options.wholeWord)
        body = QStringLiteral("\\b(?:%1)\\b").arg(pattern);
    auto flags = QRegularExpression::MultilineOption | QRegularExpression::UseUnicodePropertiesOption;
    if (!options.matchCase)
        flags |= QRegularExpression::CaseInsensitiveOption;
    regex_.setPattern(kLineEnds + body);
    regex_.setPatternOptions(flags);
    if (!regex_.isValid()) {
        const qsizetype offset = std::max<qsizetype>(0, regex_.patternErrorOffset() - kLineEnds.size());
        error_ = QStringLiteral("%1 (at %2)").arg(regex_.errorString()).arg(std::min(offset, pattern.size()) + 1);
    }
}

bool TextSearch::isWholeWordAt(QStringView text, qsizetype start, qsizetype length) const {
    // A word edge wherever the match itself starts or ends with a word character, as `\b` has it.
    const qsizetype end = start + length;
    if (isWordCharacter(text[start]) && start > 0 && isWordCharacter(text[start - 1]))
        return false;
    if (isWordCharacter(text[end - 1]) && end < text.size() && isWordCharacter(text[end]))
        return false;
    return true;
}

void TextSearch::forEachMatch(QStringView text,
                              const std::function<void(SearchMatch, const QRegularExpressionMatch*)>& found) const {
    if (pattern_.isEmpty() || !error_.isEmpty())
        return;
    // One global match: each separate match would check the whole text's encoding again.
    if (options_.regularExpression || (!options_.matchCase && !options_.wholeWord)) {
        QString copy;
        QRegularExpressionMatchIterator it = regex_.globalMatch(searchable(text, copy));
        while (it.hasNext()) {
            const QRegularExpressionMatch m = it.next();
            // An empty match (`^`, `x*`) selects nothing and replaces nothing: it is no match here.
            if (m.capturedLength() > 0)
                found({m.capturedStart(), m.capturedLength()}, &m);
        }
        return;
    }
    const auto sensitivity = options_.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const qsizetype length = pattern_.size();
    for (qsizetype at = text.indexOf(pattern_, 0, sensitivity); at >= 0; at = text.indexOf(pattern_, at, sensitivity)) {
        if (!options_.wholeWord || isWholeWordAt(text, at, length)) {
            found({at, length}, nullptr);
            at += length;
        } else {
            at += 1;
        }
    }
}

std::vector<SearchMatch> TextSearch::findAll(QStringView text) const {
    std::vector<SearchMatch> matches;
    forEachMatch(text, [&](SearchMatch m, const QRegularExpressionMatch*) { matches.push_back(m); });
    return matches;
}

std::vector<std::pair<SearchMatch, QString>> TextSearch::replaceAll(QStringView text, const QString& replacement) const {
    std::vector<std::pair<SearchMatch, QString>> out;
    forEachMatch(text, [&](SearchMatch m, const QRegularExpressionMatch* captures) {
        out.emplace_back(m, options_.regularExpression ? expand(*captures, replacement) : replacement);
    });
    return out;
}

QString TextSearch::replacementFor(QStringView text, SearchMatch match, const QString& replacement) const {
    if (!options_.regularExpression)
        return replacement;
    // Matched again where it was found, with the whole text around it for lookbehinds.
    QString copy;
    return expand(regex_.match(searchable(text, copy), match.start, QRegularExpression::NormalMatch,
                               QRegularExpression::AnchorAtOffsetMatchOption),
                  replacement);
}

QString TextSearch::expand(const QRegularExpressionMatch& m, const QString& replacement) {
    QString out;
    out.reserve(replacement.size());
    auto group = [&](qsizetype& i) {
        // One or two digits naming a group that exists.
        int number = replacement[i].digitValue();
        if (i + 1 < replacement.size() && replacement[i + 1].isDigit()) {
            const int two = number * 10 + replacement[i + 1].digitValue();
            if (two <= m.lastCapturedIndex()) {
                number = two;
                ++i;
            }
        }
        out += m.captured(number);
    };
    for (qsizetype i = 0; i < replacement.size(); ++i) {
        const QChar c = replacement[i];
        const bool more = i + 1 < replacement.size();
        if ((c == u'\\' || c == u'$') && more && replacement[i + 1].isDigit()) {
            ++i;
            group(i);
        } else if (c == u'$' && more && replacement[i + 1] == u'&') {
            ++i;
            out += m.captured(0);
        } else if (c == u'$' && more && replacement[i + 1] == u'$') {
            ++i;
            out += u'$';
        } else if (c == u'\\' && more) {
            const QChar next = replacement[++i];
            out += next == u'n' ? QStringLiteral("\r\n") : next == u't' ? QString(u'\t') : QString(next);
        } else {
            out += c;
        }
    }
    return out;
}
