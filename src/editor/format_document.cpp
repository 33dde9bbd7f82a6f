#include "format_document.h"

#include "colouring/html_tokenizer.h"
#include "colouring/tag_matching.h"

#include <QHash>
#include <algorithm>
#include <iterator>
#include <string_view>

namespace format_document {
namespace {

struct Range {
    int start = 0;
    int end = 0; ///< past the last character
};

/// Where whitespace is the page's own: comments, tags, and the elements whose text is kept as
/// written. Asked line by line in text order, so that a page of 100,000 tags is asked quickly.
struct Untouchable {
    std::vector<Range> ranges;
    size_t next = 0;  ///< the ranges before this start before the bound last asked about
    int furthest = 0; ///< the furthest end among them
    void sort() {
        std::sort(ranges.begin(), ranges.end(), [](const Range& a, const Range& b) { return a.start < b.start; });
    }
    /// Whether the indent of a line [@p line, @p first) is in one: it overlaps one, or the line
    /// starts inside one. Lines are asked in text order.
    bool holdsIndent(int line, int first) {
        const int bound = first > line ? first : line;
        for (; next < ranges.size() && ranges[next].start < bound; ++next)
            furthest = std::max(furthest, ranges[next].end);
        return furthest > line;
    }
};

struct Spans : HtmlTokenizer::Listener {
    std::vector<Range>* into = nullptr;
    void span(HtmlSpan kind, qsizetype start, qsizetype length) override {
        if (kind == HtmlSpan::Comment || kind == HtmlSpan::Cdata || kind == HtmlSpan::Doctype) {
            if (!into->empty() && into->back().end == int(start))
                into->back().end = int(start + length); // one comment in pieces
            else
                into->push_back({int(start), int(start + length)});
        }
    }
    void tag(const HtmlTag& tag) override {
        if (tag.end - tag.start > 1)
            into->push_back({int(tag.start) + 1, int(tag.end)}); // inside the tag, its `<` left out
    }
};

bool keepsItsText(QStringView name) {
    static constexpr std::u16string_view kKept[] = {u"pre",   u"textarea", u"script",   u"style",    u"title", u"xmp",
                                                    u"listing", u"plaintext", u"iframe", u"noembed", u"noframes"};
    return std::any_of(std::begin(kKept), std::end(kKept),
                       [name](std::u16string_view kept) { return name.compare(kept, Qt::CaseInsensitive) == 0; });
}

int lineEndFrom(QStringView text, int at) {
    const qsizetype feed = text.indexOf(u'\n', at);
    if (feed < 0)
        return int(text.size());
    return int(feed > 0 && text[feed - 1] == u'\r' ? feed - 1 : feed);
}

/// What a page reads as, item by item, with where each item starts: its tags, attributes,
/// comments and references as written, its text with whitespace collapsed.
struct Reading : HtmlTokenizer::Listener {
    QStringView text;
    std::vector<std::pair<QString, int>> items;
    qsizetype covered = 0; ///< text before this is read
    QString keptIn;        ///< the element whose text is kept as written that the text is in
    void gap(qsizetype until) {
        if (until <= covered)
            return;
        const QString piece = text.mid(covered, until - covered).toString();
        const QString read = keptIn.isEmpty() ? piece.simplified() : piece;
        if (!read.isEmpty())
            items.emplace_back(read, int(covered));
        covered = until;
    }
    void span(HtmlSpan kind, qsizetype start, qsizetype length) override {
        gap(start);
        // Inside a tag only the pieces count: the spaces between attributes are no content.
        items.emplace_back(QString::number(int(kind)) + u':' + text.mid(start, length).toString(), int(start));
        covered = std::max(covered, start + length);
    }
    void tag(const HtmlTag& tag) override {
        covered = std::max(covered, tag.end);
        const QString name = text.mid(tag.nameStart, tag.nameLength).toString().toLower();
        if (!tag.endTag && keptIn.isEmpty() && keepsItsText(name) && !tag.selfClosing)
            keptIn = name;
        else if (tag.endTag && name == keptIn)
            keptIn.clear();
    }
};

std::vector<std::pair<QString, int>> readingOf(QStringView text) {
    Reading reading;
    reading.text = text;
    HtmlTokenizer::read(text, reading);
    reading.gap(text.size());
    return std::move(reading.items);
}

} // namespace

Formatted reindent(QStringView text, int start, int end) {
    Formatted formatted;
    // The elements, with the ends HTML gives them.
    const TagMap map = TagMap::build(text);
    std::vector<std::pair<int, int>> depthChanges; // position, +1 or -1
    Untouchable kept;
    Spans spans;
    spans.into = &kept.ranges;
    HtmlTokenizer::read(text, spans);
    const auto& tags = map.tags();
    for (const TagMap::Tag& tag : tags) {
        if (tag.endTag || tag.status == TagMap::Status::Void)
            continue;
        const int elementEnd = tag.status == TagMap::Status::Matched ? tags[size_t(tag.partner)].start : tag.endedAt;
        depthChanges.emplace_back(tag.end, +1);
        depthChanges.emplace_back(elementEnd, -1);
        // With the end tag's `<`: a space before it would be the element's text too.
        if (keepsItsText(text.mid(tag.nameStart, tag.nameLength)))
            kept.ranges.push_back({tag.end, elementEnd + 1});
    }
    std::stable_sort(depthChanges.begin(), depthChanges.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    kept.sort();
    // The lines whose indent is the page's to choose, and the page's own step among them.
    struct Line {
        int start;
        int first; ///< its first character that is no space or tab
    };
    std::vector<Line> lines;
    bool tabs = false;
    int smallest = 0;
    for (int line = 0; line <= text.size();) {
        const int lineEnd = lineEndFrom(text, line);
        int first = line;
        while (first < lineEnd && (text[first] == u' ' || text[first] == u'\t'))
            ++first;
        if (first < lineEnd && !kept.holdsIndent(line, first)) {
            lines.push_back({line, first});
            tabs = tabs || text.mid(line, first - line).contains(u'\t');
            if (first - line >= 2 && first - line <= 8 && (smallest == 0 || first - line < smallest))
                smallest = first - line;
        }
        if (lineEnd >= text.size())
            break;
        line = lineEnd + (text[lineEnd] == u'\r' ? 2 : 1);
    }
    formatted.unit = tabs ? QStringLiteral("\t") : QString(smallest ? smallest : 2, u' ');
    const int from = start <= 0 ? 0 : int(text.lastIndexOf(u'\n', start - 1)) + 1;
    const int to = end < 0 ? int(text.size()) : end;
    int depth = 0;
    size_t change = 0;
    for (const Line& line : lines) {
        for (; change < depthChanges.size() && depthChanges[change].first <= line.first; ++change)
            depth += depthChanges[change].second;
        if (line.start < from || line.start > to)
            continue;
        const QString indent = formatted.unit.repeated(std::max(0, depth));
        if (text.mid(line.start, line.first - line.start) != indent)
            formatted.edits.push_back({line.start, line.first - line.start, indent});
    }
    return formatted;
}

QString applied(QStringView text, const std::vector<Edit>& edits) {
    QString out;
    out.reserve(text.size());
    int at = 0;
    for (const Edit& edit : edits) {
        out += text.mid(at, edit.start - at);
        out += edit.text;
        at = edit.start + edit.length;
    }
    out += text.mid(at);
    return out;
}

std::optional<int> firstDifference(QStringView before, QStringView after) {
    const auto a = readingOf(before), b = readingOf(after);
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        if (a[i].first != b[i].first)
            return b[i].second;
    if (a.size() != b.size())
        return b.size() > a.size() ? b[a.size()].second : int(after.size());
    return std::nullopt;
}

} // namespace format_document
