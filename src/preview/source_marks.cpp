#include "source_marks.h"

#include "live_preview.h"

#include "colouring/tag_matching.h"

#include <algorithm>

namespace source_marks {

namespace {
bool sameName(QStringView page, const TagMap::Tag& a, const TagMap::Tag& b) {
    return page.mid(a.nameStart, a.nameLength).compare(page.mid(b.nameStart, b.nameLength), Qt::CaseInsensitive) == 0;
}
} // namespace

MarkedPage mark(QStringView page) {
    const TagMap map = TagMap::build(page);
    const std::vector<TagMap::Tag>& tags = map.tags();
    MarkedPage out;
    out.text.reserve(page.size() + qsizetype(tags.size()) * 28);
    // Where each element ends, as a browser ends it: an end tag closes its element and whatever is
    // still open inside it; an element whose end tag may be left out (p, li, td, …) ends at the
    // next start tag of its kind or at its parent's end.
    std::vector<int> open; // indexes into out.elements, with the tag of each
    std::vector<int> openTag;
    qsizetype copied = 0;
    for (int i = 0; i < int(tags.size()); ++i) {
        const TagMap::Tag& tag = tags[size_t(i)];
        if (tag.endTag) {
            if (tag.status != TagMap::Status::Matched || tag.partner < 0)
                continue;
            const auto found = std::find(openTag.begin(), openTag.end(), tag.partner);
            if (found == openTag.end())
                continue;
            while (openTag.size() > size_t(found - openTag.begin())) {
                out.elements[size_t(open.back())].end = tag.end;
                open.pop_back();
                openTag.pop_back();
            }
            continue;
        }
        // A start tag ends an open element of its own kind whose end may be left out.
        if (!openTag.empty()) {
            const TagMap::Tag& last = tags[size_t(openTag.back())];
            if (last.status == TagMap::Status::EndedImplicitly && sameName(page, last, tag)) {
                out.elements[size_t(open.back())].end = tag.start;
                open.pop_back();
                openTag.pop_back();
            }
        }
        const qsizetype at = tag.nameStart + tag.nameLength;
        out.text.append(page.mid(copied, at - copied));
        out.text.append(u' ');
        out.text.append(QLatin1String(kSourceMark));
        out.text.append(QLatin1String("=\""));
        out.text.append(QString::number(tag.start));
        out.text.append(u'"');
        copied = at;
        out.elements.push_back({tag.start, tag.end});
        if (tag.status != TagMap::Status::Void) {
            open.push_back(int(out.elements.size()) - 1);
            openTag.push_back(i);
        }
    }
    for (const int element : open)
        out.elements[size_t(element)].end = int(page.size());
    out.text.append(page.mid(copied));
    return out;
}

int elementAt(const std::vector<Element>& elements, int position) {
    // The last element starting at or before the position that still holds it: elements nest,
    // so the first found going back is the innermost.
    auto it = std::upper_bound(elements.begin(), elements.end(), position,
                               [](int p, const Element& e) { return p < e.start; });
    while (it != elements.begin()) {
        --it;
        if (position < it->end)
            return it->start;
    }
    return -1;
}

} // namespace source_marks
