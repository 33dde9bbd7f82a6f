#include "line_indent.h"

#include <algorithm>

namespace line_indent {
namespace {
constexpr int kSpacesPerLevel = 4;

int lineStart(QStringView text, int at) {
    const qsizetype lf = text.first(at).lastIndexOf(u'\n');
    return lf < 0 ? 0 : int(lf + 1);
}

int lineEnd(QStringView text, int at) {
    const qsizetype cr = text.indexOf(u'\r', at);
    return cr < 0 ? int(text.size()) : int(cr);
}
} // namespace

bool spansLines(QStringView text, int start, int end) {
    return end > start && text.mid(start, end - start).contains(u'\n');
}

Indented indentLines(QStringView text, int start, int end, bool outdent) {
    Indented out;
    const int first = lineStart(text, start);
    // A selection that ends where a line starts does not take that line.
    const int lastIn = end > start && lineStart(text, end) == end ? std::max(start, end - 1) : end;
    const int last = lineStart(text, lastIn);
    int shift = 0; // how much the edits before the last line moved it
    for (int line = first;;) {
        if (!outdent) {
            out.edits.push_back({line, 0, QStringLiteral("\t")});
            shift += 1;
        } else if (line < text.size() && text[line] == u'\t') {
            out.edits.push_back({line, 1, {}});
            shift -= 1;
        } else {
            int spaces = 0;
            while (spaces < kSpacesPerLevel && line + spaces < text.size() && text[line + spaces] == u' ')
                ++spaces;
            if (spaces > 0) {
                out.edits.push_back({line, spaces, {}});
                shift -= spaces;
            }
        }
        if (line >= last)
            break;
        line = lineEnd(text, line) + 2; // past CR LF
    }
    out.selectionStart = first;
    out.selectionEnd = lineEnd(text, last) + shift;
    return out;
}

} // namespace line_indent
