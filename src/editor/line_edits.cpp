#include "line_edits.h"

#include <algorithm>
#include <climits>

namespace line_edits {
namespace {

const QString kLineEnd = QStringLiteral("\r\n");

int lineStartAt(QStringView text, int position) {
    return position <= 0 ? 0 : int(text.lastIndexOf(u'\n', position - 1)) + 1;
}

int lineEndAt(QStringView text, int position) {
    const qsizetype feed = text.indexOf(u'\n', position);
    if (feed < 0)
        return int(text.size());
    return int(feed > 0 && text[feed - 1] == u'\r' ? feed - 1 : feed);
}

/// Where the lines a selection touches start and end (their last line end left out).
struct Span {
    int start = 0;
    int end = 0;
};
Span touched(QStringView text, int start, int end) {
    int last = end;
    if (end > start && lineStartAt(text, end) == end && end >= 2)
        last = end - 2; // a selection that ends at a line's start leaves that line out
    return {lineStartAt(text, start), lineEndAt(text, std::max(start, last))};
}

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}

Changed caretAt(std::vector<Edit> edits, int position) {
    return {std::move(edits), position, position};
}

} // namespace

std::optional<Changed> toggleComment(QStringView text, int start, int end, CommentStyle style, QString* refusal) {
    const bool inLine = end > start && !text.mid(start, end - start).contains(u'\n');
    Span span = inLine ? Span{start, end} : touched(text, start, end);
    if (style == CommentStyle::Line) {
        // `//` before each line that holds something, at the least indent of them all.
        struct Line {
            int from;
            int first; ///< its first character that is no space or tab
            int to;
        };
        std::vector<Line> lines;
        for (int at = span.start;;) {
            const int stop = lineEndAt(text, at);
            int first = at;
            while (first < stop && isBlank(text[first]))
                ++first;
            if (first < stop) // a blank line is left as it is
                lines.push_back({at, first, stop});
            if (stop >= span.end)
                break;
            at = stop + int(kLineEnd.size());
        }
        if (lines.empty())
            return std::nullopt;
        int indent = INT_MAX;
        bool allCommented = true;
        for (const Line& line : lines) {
            indent = std::min(indent, line.first - line.from);
            allCommented = allCommented && text.mid(line.first, line.to - line.first).startsWith(u"//");
        }
        std::vector<Edit> edits;
        int shift = 0, shiftBeforeStart = 0;
        for (const Line& line : lines) {
            Edit edit = allCommented ? Edit{line.first, text.mid(line.first, line.to - line.first).startsWith(u"// ") ? 3 : 2, {}}
                                     : Edit{line.from + indent, 0, QStringLiteral("// ")};
            const int delta = int(edit.text.size()) - edit.length;
            if (edit.start < start)
                shiftBeforeStart += delta;
            shift += delta;
            edits.push_back(std::move(edit));
        }
        return Changed{std::move(edits), std::max(span.start, start + shiftBeforeStart), std::max(span.start, end + shift)};
    }
    const QStringView open = style == CommentStyle::Markup ? QStringView(u"<!--") : QStringView(u"/*");
    const QStringView close = style == CommentStyle::Markup ? QStringView(u"-->") : QStringView(u"*/");
    if (!inLine) // whole lines: from the first one's text to the last one's end
        while (span.start < span.end && isBlank(text[span.start]))
            ++span.start;
    while (span.end > span.start && isBlank(text[span.end - 1]))
        --span.end;
    const QStringView body = text.mid(span.start, span.end - span.start);
    if (body.isEmpty())
        return std::nullopt;
    if (body.startsWith(open) && body.endsWith(close) && body.size() >= open.size() + close.size()) {
        // Taken away with the space each side that commenting puts there.
        const int openLength = int(open.size()) + (body.mid(open.size()).startsWith(u' ') ? 1 : 0);
        const int closeLength = int(close.size()) + (body.chopped(close.size()).endsWith(u' ') && body.size() > openLength + close.size() ? 1 : 0);
        const int inner = int(body.size()) - openLength - closeLength;
        return Changed{{{span.start + int(body.size()) - closeLength, closeLength, {}}, {span.start, openLength, {}}},
                       span.start, span.start + std::max(0, inner)};
    }
    if (body.contains(close)) {
        if (refusal)
            *refusal = QStringLiteral("This text holds the end of a comment (%1): it cannot be commented out as one.").arg(close);
        return std::nullopt;
    }
    const QString before = open.toString() + u' ', after = u' ' + close.toString();
    return Changed{{{span.end, 0, after}, {span.start, 0, before}},
                   span.start,
                   span.end + int(before.size() + after.size())};
}

Changed duplicate(QStringView text, int start, int end) {
    if (end > start) // the copy comes after the selection, which stays on the original
        return {{{end, 0, text.mid(start, end - start).toString()}}, start, end};
    const Span line = touched(text, start, end);
    const QString copy = kLineEnd + text.mid(line.start, line.end - line.start).toString();
    return caretAt({{line.end, 0, copy}}, start + int(copy.size()));
}

std::optional<Changed> moveLines(QStringView text, int start, int end, bool up) {
    const Span lines = touched(text, start, end);
    const QStringView block = text.mid(lines.start, lines.end - lines.start);
    if (up) {
        if (lines.start == 0)
            return std::nullopt;
        const int above = lineStartAt(text, lines.start - int(kLineEnd.size()));
        const QStringView previous = text.mid(above, lines.start - int(kLineEnd.size()) - above);
        const int shift = int(previous.size() + kLineEnd.size());
        return Changed{{{above, lines.end - above, block.toString() + kLineEnd + previous.toString()}}, start - shift, end - shift};
    }
    if (lines.end >= text.size())
        return std::nullopt;
    const int below = lines.end + int(kLineEnd.size());
    const QStringView next = text.mid(below, lineEndAt(text, below) - below);
    const int shift = int(next.size() + kLineEnd.size());
    return Changed{{{lines.start, below + int(next.size()) - lines.start, next.toString() + kLineEnd + block.toString()}}, start + shift, end + shift};
}

Changed deleteLines(QStringView text, int start, int end) {
    const Span lines = touched(text, start, end);
    if (lines.end < text.size()) // with the line end after them; the next line takes their place
        return caretAt({{lines.start, lines.end + int(kLineEnd.size()) - lines.start, {}}}, lines.start);
    // The last lines: with the line end before them.
    const int from = lines.start >= int(kLineEnd.size()) ? lines.start - int(kLineEnd.size()) : lines.start;
    return caretAt({{from, lines.end - from, {}}}, lineStartAt(text, from));
}

std::optional<Changed> joinLines(QStringView text, int start, int end) {
    Span lines = touched(text, start, end);
    if (lineEndAt(text, lines.start) == lines.end) { // one line: it joins the next
        if (lines.end >= text.size())
            return std::nullopt;
        lines.end = lineEndAt(text, lines.end + int(kLineEnd.size()));
    }
    std::vector<Edit> edits;
    int caret = start;
    for (int at = lineEndAt(text, lines.start); at < lines.end; at = lineEndAt(text, at + int(kLineEnd.size()))) {
        int next = at + int(kLineEnd.size());
        while (next < text.size() && isBlank(text[next]))
            ++next;
        int from = at;
        while (from > 0 && isBlank(text[from - 1]) && from > lineStartAt(text, at))
            --from;
        const bool emptyNext = next >= text.size() || text[next] == u'\r' || text[next] == u'\n';
        const QString glue = from == lineStartAt(text, at) || emptyNext ? QString() : QStringLiteral(" ");
        edits.push_back({from, next - from, glue});
        caret = from; // where the last join is, before the edits ahead of it move it
    }
    int removedBefore = 0;
    for (size_t i = 0; i + 1 < edits.size(); ++i)
        removedBefore += edits[i].length - int(edits[i].text.size());
    return caretAt(std::move(edits), caret - removedBefore);
}

} // namespace line_edits
