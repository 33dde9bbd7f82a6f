#include "link_rewrite.h"

#include "colouring/html_tokenizer.h"
#include "colouring/references.h"
#include "document/document_file.h"
#include "site/file_search.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>
#include <algorithm>
#include <iterator>
#include <string_view>

namespace link_rewrite {
namespace {

/// A URL's path as the file system names it: character references of a page's attribute
/// (only &amp; is ever written in a path) and percent escapes decoded.
QString decodedPath(QStringView path) {
    QString raw = path.toString();
    raw.replace(QStringLiteral("&amp;"), QStringLiteral("&"), Qt::CaseInsensitive);
    return QUrl::fromPercentEncoding(raw.toUtf8());
}

/// The file a URL path names, from the document's folder or, when it starts with '/', the site's.
QString targetOf(QStringView path, const QString& documentFolder, const QString& siteRoot) {
    const QString decoded = decodedPath(path);
    return QDir::cleanPath(decoded.startsWith(u'/') ? siteRoot + decoded : documentFolder + u'/' + decoded);
}

/// A path written as a URL: the characters a URL or its surroundings cannot hold as they are
/// are escaped; letters of any script stay readable, as authors write them.
QString urlPath(const QString& path, references::Kind kind) {
    QString out;
    for (const QChar c : path) {
        static constexpr std::u16string_view kEscaped = u" \"'#%?()<>\\";
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || kEscaped.find(c.unicode()) != std::u16string_view::npos)
            out += QStringLiteral("%%1").arg(c.unicode(), 2, 16, QChar(u'0')).toUpper();
        else if (c == u'&' && kind == references::Kind::Attribute)
            out += QStringLiteral("&amp;");
        else
            out += c;
    }
    return out;
}

/// The local references of a text with the path each names: the work both rewrites share.
template <typename Visit>
void forEachLocal(QStringView text, Language language, Visit visit) {
    for (const references::Reference& reference : references::find(text, language)) {
        const QStringView url = text.mid(reference.start, reference.length);
        if (references::isLocal(url))
            visit(reference, url, references::split(url));
    }
}

bool isIdReferenceAttribute(QStringView name) {
    static constexpr std::u16string_view kNames[] = {
        u"id",           u"for",          u"headers",        u"list",          u"form",
        u"aria-labelledby", u"aria-describedby", u"aria-controls", u"aria-owns", u"aria-activedescendant",
        u"aria-details", u"aria-errormessage", u"aria-flowto"};
    return std::any_of(std::begin(kNames), std::end(kNames),
                       [name](std::u16string_view known) { return name.compare(known, Qt::CaseInsensitive) == 0; });
}

} // namespace

QString movedPath(const QString& path, const Move& move) {
    if (path == move.from)
        return move.to;
    if (path.startsWith(move.from) && path.size() > move.from.size() && path[move.from.size()] == u'/')
        return move.to + path.mid(move.from.size());
    return path;
}

Edits forMove(QStringView text, Language language, const QString& documentPath, const QString& siteRoot,
              const Move& move) {
    const QString oldFolder = QFileInfo(documentPath).absolutePath();
    const QString newFolder = QFileInfo(movedPath(documentPath, move)).absolutePath();
    Edits edits;
    forEachLocal(text, language, [&](const references::Reference& reference, QStringView, references::SplitUrl url) {
        if (url.path.isEmpty())
            return; // the page itself
        const bool rootRelative = url.path.startsWith(u'/');
        const QString target = targetOf(url.path, oldFolder, siteRoot);
        const QString newTarget = movedPath(target, move);
        if (newTarget == target && (rootRelative || newFolder == oldFolder))
            return;
        QString path;
        if (rootRelative && !QDir(siteRoot).relativeFilePath(newTarget).startsWith(QStringLiteral(".."))) {
            path = u'/' + QDir(siteRoot).relativeFilePath(newTarget);
        } else {
            path = QDir(newFolder).relativeFilePath(newTarget);
            if (path == u".")
                path = QStringLiteral("./");
            else if (url.path.startsWith(u"./") && !path.startsWith(QStringLiteral("..")))
                path.prepend(QStringLiteral("./"));
        }
        if (url.path.endsWith(u'/') && !path.endsWith(u'/'))
            path += u'/';
        path = urlPath(path, reference.kind);
        if (path != url.path)
            edits.push_back({{reference.start, url.path.size()}, path});
    });
    return edits;
}

Edits forId(QStringView text, Language language, const QString& documentPath, const QString& siteRoot,
            const IdRename& rename) {
    const QString folder = QFileInfo(documentPath).absolutePath();
    const QString newFragment = QString::fromUtf8(QUrl::toPercentEncoding(rename.newId, "!$&'()*+,;=:@/?"));
    Edits edits;
    forEachLocal(text, language, [&](const references::Reference& reference, QStringView whole, references::SplitUrl url) {
        const qsizetype hash = url.rest.indexOf(u'#');
        if (hash < 0)
            return;
        const QStringView fragment = url.rest.sliced(hash + 1);
        if (decodedPath(fragment) != rename.oldId)
            return;
        QString target = url.path.isEmpty() ? documentPath : targetOf(url.path, folder, siteRoot);
        if (url.path.endsWith(u'/') || (target != rename.page && QFileInfo(target).isDir()))
            target += QStringLiteral("/index.html");
        if (QDir::cleanPath(target) != rename.page)
            return;
        edits.push_back({{reference.start + (whole.size() - fragment.size()), fragment.size()}, newFragment});
    });
    return edits;
}

Edits idAttributes(QStringView text, const QString& oldId, const QString& newId) {
    // The values of the id attributes and id references, token by token.
    struct Reader : HtmlTokenizer::Listener {
        QStringView text;
        QString oldId, newId;
        Edits edits;
        bool wanted = false;
        void span(HtmlSpan kind, qsizetype start, qsizetype length) override {
            if (kind == HtmlSpan::AttributeName)
                wanted = isIdReferenceAttribute(text.mid(start, length));
            else if (kind != HtmlSpan::AttributeValue)
                wanted = false;
            if (kind != HtmlSpan::AttributeValue || !wanted)
                return;
            const qsizetype end = start + length;
            for (qsizetype at = start; at < end;) {
                while (at < end && (text[at].isSpace() || text[at] == u'"' || text[at] == u'\''))
                    ++at;
                qsizetype tokenEnd = at;
                while (tokenEnd < end && !text[tokenEnd].isSpace() && text[tokenEnd] != u'"' && text[tokenEnd] != u'\'')
                    ++tokenEnd;
                if (tokenEnd > at && text.mid(at, tokenEnd - at) == oldId)
                    edits.push_back({{at, tokenEnd - at}, newId});
                at = tokenEnd;
            }
        }
    } reader;
    reader.text = text;
    reader.oldId = oldId;
    reader.newId = newId;
    HtmlTokenizer::read(text, reader);
    return std::move(reader.edits);
}

std::optional<SearchMatch> idAt(QStringView text, qsizetype position) {
    struct Reader : HtmlTokenizer::Listener {
        QStringView text;
        qsizetype position = 0;
        qsizetype nameStart = -1; ///< of the id attribute being read
        std::optional<SearchMatch> found;
        void span(HtmlSpan kind, qsizetype start, qsizetype length) override {
            if (kind == HtmlSpan::AttributeName)
                nameStart = text.mid(start, length).compare(u"id", Qt::CaseInsensitive) == 0 ? start : -1;
            else if (kind != HtmlSpan::AttributeValue)
                nameStart = -1;
            if (kind != HtmlSpan::AttributeValue || nameStart < 0 || found || position < nameStart || position > start + length)
                return;
            qsizetype from = start, to = start + length;
            if (text[from] == u'"' || text[from] == u'\'') {
                if (to - 1 > from && text[to - 1] == text[from])
                    --to;
                ++from;
            }
            found = SearchMatch{from, to - from};
        }
    } reader;
    reader.text = text;
    reader.position = position;
    HtmlTokenizer::read(text, reader);
    return reader.found;
}

void fitEncoding(QStringView text, Edits& edits, const QByteArray& encoding) {
    if (edits.empty() || document_file::canEncode(applied(text, edits), encoding))
        return;
    for (auto& [match, with] : edits) {
        if (std::all_of(with.begin(), with.end(), [](QChar c) { return c.unicode() < 0x80; }))
            continue;
        QString escaped;
        for (const char byte : with.toUtf8())
            escaped += (byte & 0x80) ? QStringLiteral("%%1").arg(quint8(byte), 2, 16, QChar(u'0')).toUpper() : QString(QChar(byte));
        with = escaped;
    }
}

QString applied(QStringView text, const Edits& edits) {
    QString out;
    out.reserve(text.size());
    qsizetype at = 0;
    for (const auto& [match, with] : edits) {
        out += text.mid(at, match.start - at);
        out += with;
        at = match.start + match.length;
    }
    out += text.mid(at);
    return out;
}

std::vector<LineChange> changedLines(QStringView text, const Edits& edits) {
    std::vector<LineChange> lines;
    int line = 1;
    qsizetype counted = 0;
    for (size_t next = 0; next < edits.size();) {
        const qsizetype start = edits[next].first.start;
        line += int(text.mid(counted, start - counted).count(u'\n'));
        counted = start;
        const qsizetype lineStart = text.lastIndexOf(u'\n', start - 1) + 1;
        qsizetype lineEnd = text.indexOf(u'\n', start);
        if (lineEnd < 0)
            lineEnd = text.size();
        Edits onLine;
        for (; next < edits.size() && edits[next].first.start < lineEnd; ++next)
            onLine.push_back({{edits[next].first.start - lineStart, edits[next].first.length}, edits[next].second});
        QStringView before = text.mid(lineStart, lineEnd - lineStart);
        if (before.endsWith(u'\r'))
            before.chop(1);
        // From a little before the first change: a long line shows what changes, not its start.
        constexpr qsizetype kShownBefore = 24;
        qsizetype from = 0;
        while (from < before.size() && before[from].isSpace())
            ++from;
        const qsizetype firstChange = onLine.front().first.start;
        const QString cut = firstChange - from > kShownBefore ? QStringLiteral("…") : QString();
        if (!cut.isEmpty())
            from = firstChange - kShownBefore;
        for (auto& [match, with] : onLine)
            match.start -= from;
        const QStringView shown = before.sliced(from);
        lines.push_back({line, cut + shown.toString().trimmed(), cut + applied(shown, onLine).trimmed()});
    }
    return lines;
}

bool mayHoldReferences(const QString& path) {
    const std::optional<Language> language = language::fromName(path);
    return language == Language::Html || language == Language::Css;
}

Plan plan(const QString& siteRoot, const EditMaker& makeEdits, const QHash<QString, QString>& openTexts) {
    folder_walk::Options options;
    options.wanted = [](const QString& relative) { return mayHoldReferences(relative); };
    folder_walk::Walk walk = folder_walk::files(siteRoot, options);
    Plan plan;
    plan.passedOver = std::move(walk.passedOver);
    const auto add = [&](const QString& path, const QString& text, bool open) {
        Edits edits = makeEdits(text, *language::fromName(path), path);
        if (!edits.empty())
            plan.files.push_back({path, edits, changedLines(text, edits), open});
    };
    for (const folder_walk::File& file : walk.files) {
        if (const auto open = openTexts.constFind(file.path); open != openTexts.constEnd())
            continue; // below, with the text of its tab
        const ReadResult read = document_file::read(file.path);
        if (read.error)
            plan.unreadable << QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(file.path), read.error.description);
        else
            add(file.path, read.text, false);
    }
    for (auto open = openTexts.constBegin(); open != openTexts.constEnd(); ++open)
        if (mayHoldReferences(open.key()) && open.key().startsWith(siteRoot + u'/'))
            add(open.key(), open.value(), true);
    std::sort(plan.files.begin(), plan.files.end(), [](const FileChange& a, const FileChange& b) { return a.path < b.path; });
    return plan;
}

std::optional<QString> moveOnDisk(const Move& move) {
    if (QFileInfo::exists(move.to) || QFileInfo(move.to).isSymLink())
        return QStringLiteral("%1 already exists.").arg(QDir::toNativeSeparators(move.to));
    if (!QFileInfo(move.to).absoluteDir().exists())
        return QStringLiteral("There is no folder %1.").arg(QDir::toNativeSeparators(QFileInfo(move.to).absolutePath()));
    if (!QDir().rename(move.from, move.to))
        return QStringLiteral("%1 could not be moved to %2.")
            .arg(QDir::toNativeSeparators(move.from), QDir::toNativeSeparators(move.to));
    return std::nullopt;
}

Written rewriteFiles(const Plan& plan, const EditMaker& makeEdits, const Move* move) {
    Written written;
    for (const FileChange& change : plan.files) {
        if (change.open)
            continue;
        const QString at = move ? movedPath(change.path, *move) : change.path;
        const ReadResult read = document_file::read(at);
        Edits edits = read.error ? Edits() : makeEdits(read.text, *language::fromName(change.path), change.path);
        fitEncoding(read.text, edits, read.format.encoding);
        const file_search::Replaced done =
            read.error ? file_search::Replaced{at, 0, read.error, read.error.description} : file_search::writeEdited(at, read, edits);
        if (done.error)
            written.unchanged << QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(at), done.problem);
        else if (done.count > 0)
            written.changed << at;
    }
    return written;
}

} // namespace link_rewrite
