#include "file_search.h"

#include "byte_search.h"

#include "base/regular_file.h"
#include "document/document_file.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <algorithm>

namespace file_search {
namespace {
constexpr qsizetype kBinaryProbe = 8192;
constexpr qsizetype kLongestShownLine = 240;

bool hasUtf16ByteOrderMark(const QByteArray& bytes) {
    return bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF");
}

// The line around a match, without its indent, cut to a readable length with the match in it.
QString shownLine(QStringView line, qsizetype column) {
    qsizetype indent = 0;
    while (indent < column && indent < line.size() && (line[indent] == u' ' || line[indent] == u'\t'))
        ++indent;
    line = line.mid(indent);
    column -= indent;
    if (line.size() <= kLongestShownLine)
        return line.toString();
    const qsizetype from = std::clamp<qsizetype>(column - kLongestShownLine / 3, 0, line.size() - kLongestShownLine);
    return (from > 0 ? QStringLiteral("…") : QString()) + line.mid(from, kLongestShownLine).toString() +
           (from + kLongestShownLine < line.size() ? QStringLiteral("…") : QString());
}

// The lines whose own line end is kept, once the edits (CR LF text positions, in order) are
// made: lines whose end an edit removes lose theirs, lines after an edit move with it.
LineEndExceptions movedLineEnds(const LineEndExceptions& old, QStringView text,
                                const std::vector<std::pair<SearchMatch, QString>>& edits) {
    struct Change {
        int line;    ///< the line the edit starts on
        int removed; ///< line ends inside the replaced text
        int added;   ///< line ends in the replacement
    };
    std::vector<Change> changes;
    int line = 0;
    qsizetype at = 0;
    for (const auto& [match, replacement] : edits) {
        line += int(text.mid(at, match.start - at).count(u'\n'));
        const int removed = int(text.mid(match.start, match.length).count(u'\n'));
        changes.push_back({line, removed, int(replacement.count(u'\n'))});
        line += removed;
        at = match.start + match.length;
    }
    LineEndExceptions moved;
    int shift = 0;
    size_t next = 0;
    for (const LineEndAt& exception : old) {
        while (next < changes.size() && changes[next].line + changes[next].removed <= exception.line) {
            shift += changes[next].added - changes[next].removed;
            ++next;
        }
        const bool removed = next < changes.size() && changes[next].line <= exception.line;
        if (!removed)
            moved.push_back({exception.line + shift, exception.style});
    }
    return moved;
}
} // namespace

folder_walk::Walk listFiles(const QString& folder, const QStringList& patterns, bool outside,
                           const std::function<bool()>& cancelled) {
    std::vector<QRegularExpression> names;
    for (const QString& pattern : patterns)
        names.emplace_back(QRegularExpression::wildcardToRegularExpression(pattern),
                           QRegularExpression::CaseInsensitiveOption);
    folder_walk::Options options;
    options.outside = outside;
    options.cancelled = cancelled;
    options.wanted = [&names](const QString& relative) {
        const QString name = relative.section(u'/', -1);
        return std::any_of(names.begin(), names.end(), [&](const QRegularExpression& re) { return re.match(name).hasMatch(); });
    };
    return folder_walk::files(folder, options);
}

QStringList splitPatterns(const QString& typed) {
    static const QRegularExpression separators(QStringLiteral("[;,\\s]+"));
    QStringList patterns = typed.split(separators, Qt::SkipEmptyParts);
    if (patterns.isEmpty())
        patterns << QStringLiteral("*");
    return patterns;
}

FileHits searchFile(const QString& path, const TextSearch& search) {
    FileHits found{path, {}, FileHits::Skipped::No, {}, 0};
    // Only regular files: a link to a device or a pipe in the folder is never read.
    QFile file;
    const regular_file::Opened opened = regular_file::open(file, path, document_file::kLargestDocument);
    if (!opened) {
        found.skipped = opened.refusal == regular_file::Refusal::TooBig       ? FileHits::Skipped::TooBig
                        : opened.refusal == regular_file::Refusal::NotRegular ? FileHits::Skipped::NotRegular
                                                                              : FileHits::Skipped::Unreadable;
        found.why = opened.reason;
        return found;
    }
    const QByteArray bytes = file.read(opened.size); // what it held when opened, even if it grows
    found.bytes = bytes.size();
    if (!hasUtf16ByteOrderMark(bytes) && QByteArrayView(bytes).first(std::min(bytes.size(), kBinaryProbe)).contains('\0')) {
        found.skipped = FileHits::Skipped::Binary;
        return found;
    }
    found.hits = hitsIn(bytes, search);
    return found;
}

std::vector<Hit> hitsIn(const QByteArray& bytes, const TextSearch& search) {
    const std::optional<ByteSearch> byteSearch = ByteSearch::of(search);
    const std::optional<document_file::AsciiReading> reading =
        byteSearch ? document_file::asciiReading(bytes) : std::nullopt;
    const QByteArrayView body =
        reading ? QByteArrayView(bytes).sliced(reading->bodyStart) : QByteArrayView();
    if (!reading || byteSearch->hasLookalikes(body, reading->encoding)) {
        DocumentFormat format;
        return hitsInText(document_file::decode(bytes, &format), search);
    }
    // Most files hold no match, and most lines of those that do hold none: only the lines where
    // the pattern's bytes are get decoded, and the search proper runs on them.
    std::vector<Hit> hits;
    const char* data = body.data();
    const auto isLineEnd = [](char c) { return c == '\n' || c == '\r'; };
    int line = 1;
    qsizetype counted = 0; // line ends are counted up to here
    for (qsizetype at = byteSearch->find(body, 0); at >= 0;) {
        qsizetype lineStart = at;
        while (lineStart > counted && !isLineEnd(data[lineStart - 1]))
            --lineStart;
        qsizetype lineEnd = at;
        while (lineEnd < body.size() && !isLineEnd(data[lineEnd]))
            ++lineEnd;
        line += int(countLineEnds(body, counted, lineStart));
        counted = lineStart;
        const QString text = document_file::decodeLine(body.sliced(lineStart, lineEnd - lineStart), reading->encoding);
        for (const SearchMatch& match : search.findAll(text))
            hits.push_back({line, int(match.start + 1), int(match.length), shownLine(text, match.start)});
        at = byteSearch->find(body, lineEnd);
    }
    return hits;
}

std::vector<Hit> hitsInText(QStringView text, const TextSearch& search) {
    std::vector<Hit> hits;
    int line = 1;
    qsizetype counted = 0;   // line ends are counted up to here
    qsizetype lineStart = 0; // where the counted line starts
    for (const SearchMatch& match : search.findAll(text)) {
        for (qsizetype i = text.indexOf(u'\n', counted); i >= 0 && i < match.start; i = text.indexOf(u'\n', i + 1)) {
            ++line;
            lineStart = i + 1;
        }
        counted = match.start;
        qsizetype lineEnd = text.indexOf(u'\r', match.start);
        if (lineEnd < 0)
            lineEnd = text.size();
        const qsizetype column = match.start - lineStart;
        hits.push_back({line, int(column + 1), int(match.length), shownLine(text.mid(lineStart, lineEnd - lineStart), column)});
    }
    return hits;
}

Replaced replaceInFile(const QString& path, const TextSearch& search, const QString& replacement) {
    ReadResult file = document_file::read(path);
    if (file.error)
        return {path, 0, file.error, file.error.description};
    return writeEdited(path, file, search.replaceAll(file.text, replacement));
}

Replaced writeEdited(const QString& path, const ReadResult& file, const std::vector<std::pair<SearchMatch, QString>>& edits) {
    if (edits.empty())
        return {path, 0, {}, {}};
    QString text;
    text.reserve(file.text.size());
    qsizetype at = 0;
    for (const auto& [match, with] : edits) {
        text += QStringView(file.text).mid(at, match.start - at);
        text += with;
        at = match.start + match.length;
    }
    text += QStringView(file.text).mid(at);
    if (!document_file::canEncode(text, file.format.encoding)) {
        const QString problem = QStringLiteral("%1 cannot hold the replacement; the file is left as it was.")
                                    .arg(QString::fromLatin1(file.format.encoding));
        return {path, 0, {file_error::kBadFileMode, problem}, problem};
    }
    DocumentFormat format = file.format;
    const QByteArray bytes = document_file::encode(text, &format, movedLineEnds(file.lineEnds, file.text, edits));
    if (const FileError error = document_file::write(path, bytes))
        return {path, 0, error, error.description};
    return {path, int(edits.size()), {}, {}};
}

} // namespace file_search
