#include "source_marks.h"

#include "live_preview.h"

#include "colouring/tag_matching.h"

#include <algorithm>

namespace source_marks {

namespace {
bool sameName(QStringView page, const TagMap::Tag& a, const TagMap::Tag& b) {
    return page.mid(a.nameStart(), a.nameLength()).compare(page.mid(b.nameStart(), b.nameLength()), Qt::CaseInsensitive) == 0;
}

Element::Kind kindOf(QStringView name) {
    if (name.compare(u"html", Qt::CaseInsensitive) == 0)
        return Element::Kind::Html;
    if (name.compare(u"script", Qt::CaseInsensitive) == 0)
        return Element::Kind::Script;
    return Element::Kind::Other;
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
        if (tag.endTag()) {
            if (tag.status() != TagMap::Status::Matched || tag.partner() < 0)
                continue;
            const auto found = std::find(openTag.begin(), openTag.end(), tag.partner());
            if (found == openTag.end())
                continue;
            while (openTag.size() > size_t(found - openTag.begin())) {
                out.elements[size_t(open.back())].end = tag.end;
                out.elements[size_t(open.back())].contentEnd = tag.start;
                open.pop_back();
                openTag.pop_back();
            }
            continue;
        }
        // A start tag ends an open element of its own kind whose end may be left out.
        if (!openTag.empty()) {
            const TagMap::Tag& last = tags[size_t(openTag.back())];
            if (last.status() == TagMap::Status::EndedImplicitly && sameName(page, last, tag)) {
                out.elements[size_t(open.back())].end = tag.start;
                out.elements[size_t(open.back())].contentEnd = tag.start;
                open.pop_back();
                openTag.pop_back();
            }
        }
        const qsizetype at = tag.nameStart() + tag.nameLength();
        out.text.append(page.mid(copied, at - copied));
        out.text.append(u' ');
        out.text.append(QLatin1String(kSourceMark));
        out.text.append(QLatin1String("=\""));
        out.text.append(QString::number(tag.start));
        out.text.append(u'"');
        out.marks.emplace_back(int(at), int(out.text.size() - at));
        copied = at;
        out.elements.push_back({tag.start, tag.end, tag.end, tag.end, kindOf(page.mid(tag.nameStart(), tag.nameLength()))});
        if (tag.status() != TagMap::Status::Void) {
            open.push_back(int(out.elements.size()) - 1);
            openTag.push_back(i);
        }
    }
    for (const int element : open)
        out.elements[size_t(element)].end = out.elements[size_t(element)].contentEnd = int(page.size());
    out.text.append(page.mid(copied));
    return out;
}

qsizetype MarkedPage::markedPosition(int position) const {
    // A mark goes in before the character at its position.
    const auto after = std::upper_bound(marks.begin(), marks.end(), position,
                                        [](int p, const std::pair<int, int>& m) { return p < m.first; });
    return position + (after == marks.begin() ? 0 : std::prev(after)->second);
}

std::optional<Patch> patch(QStringView before, const MarkedPage& old, QStringView after, const MarkedPage& now) {
    // The edit: what lies between the longest common start and end of the two texts.
    const qsizetype shorter = std::min(before.size(), after.size());
    qsizetype start = 0;
    while (start < shorter && before[start] == after[start])
        ++start;
    qsizetype tail = 0;
    while (tail < shorter - start && before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
        ++tail;
    const int editStart = int(start), oldEnd = int(before.size() - tail), newEnd = int(after.size() - tail);
    const int delta = newEnd - oldEnd;
    // The innermost element whose content holds the whole edit, and which starts and ends after
    // the edit where it did before (moved by the edit): an element the edit ended otherwise
    // leaves the choice to one around it.
    auto it = std::upper_bound(old.elements.begin(), old.elements.end(), editStart,
                               [](int p, const Element& e) { return p < e.start; });
    const Element* holder = nullptr;
    std::vector<Element>::const_iterator same;
    while (it != old.elements.begin() && !holder) {
        --it;
        if (!(it->contentStart <= editStart && oldEnd <= it->contentEnd && it->contentStart < it->contentEnd))
            continue;
        if (it->kind != Element::Kind::Other)
            return std::nullopt;
        same = std::lower_bound(now.elements.begin(), now.elements.end(), it->start,
                                [](const Element& e, int p) { return e.start < p; });
        if (same != now.elements.end() && same->start == it->start && same->contentStart == it->contentStart &&
            same->contentEnd == it->contentEnd + delta && same->end == it->end + delta)
            holder = &*it;
    }
    if (!holder)
        return std::nullopt;
    const qsizetype from = now.markedPosition(same->contentStart), to = now.markedPosition(same->contentEnd);
    Patch out{holder->start, oldEnd, delta, now.text.mid(from, to - from)};
    // A script put in by innerHTML would not run: the page is loaded again instead.
    if (out.content.contains(QLatin1String("<script"), Qt::CaseInsensitive))
        return std::nullopt;
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
