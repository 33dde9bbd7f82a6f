#include "safe_check.h"

#include "checker_process.h"
#include "colouring/tag_matching.h"

#include <algorithm>
#include <optional>

namespace safe_check {

int nestingDepth(QStringView text) {
    const TagMap map = TagMap::build(text);
    const std::vector<TagMap::Tag>& tags = map.tags();
    std::vector<int> open;
    std::vector<char> isOpen(tags.size(), 0);
    size_t deepest = 0;
    for (int i = 0; i < int(tags.size()); ++i) {
        const TagMap::Tag& tag = tags[size_t(i)];
        if (!tag.endTag()) {
            // Void elements hold nothing; one ended implicitly (p, li, td) ends at its next sibling.
            if (tag.status() == TagMap::Status::Matched || tag.status() == TagMap::Status::Unmatched) {
                open.push_back(i);
                isOpen[size_t(i)] = 1;
                deepest = std::max(deepest, open.size());
            }
        } else if (tag.status() == TagMap::Status::Matched && tag.partner() >= 0 && isOpen[size_t(tag.partner())]) {
            // Closes its element and whatever is still open inside it.
            while (!open.empty()) {
                const int last = open.back();
                open.pop_back();
                isOpen[size_t(last)] = 0;
                if (last == tag.partner())
                    break;
            }
        }
    }
    return int(deepest);
}

int timeLimitMs(qsizetype characters) {
    // Tidy checks about 10 MB a second here: 20 s, and a second more per million characters, is far
    // more than any page it can check needs (the 5.9 MB page takes half a second).
    return int(std::min<qint64>(20'000 + characters / 1000, 600'000));
}

namespace {
qsizetype possibleStartTags(QStringView text) {
    qsizetype count = 0;
    for (qsizetype i = text.indexOf(u'<'); i >= 0; i = text.indexOf(u'<', i + 1))
        count += i + 1 == text.size() || text[i + 1] != u'/';
    return count;
}

QString tooDeep(int depth) {
    return QStringLiteral("The page nests elements %1 deep; HTML Tidy can check pages up to %2 deep. "
                          "Unclosed elements add up: close them, or check a part of the page.")
        .arg(depth)
        .arg(kDeepestNesting);
}

QString notStarted() {
    return QStringLiteral("The page was not checked: HTML Tidy's checker program (tagloom-checker) could not be "
                          "started. It comes with Tagloom; reinstalling Tagloom brings it back.");
}
} // namespace

Result check(const QString& text, const QSet<QString>& ignoredKeys, int limitMs, int accessibility) {
    // Each element opens with a '<' that does not start an end tag: a page with few of them cannot
    // nest too deeply, and counting them is far quicker than matching its tags.
    if (possibleStartTags(text) > kDeepestNesting)
        if (const int depth = nestingDepth(text); depth > kDeepestNesting)
            return {{}, tooDeep(depth)};
    if (std::optional<Result> result = checker_process::check(text, ignoredKeys, limitMs, accessibility))
        return std::move(*result);
    return {{}, notStarted()};
}

void keepCheckersBetweenPages(bool keep) {
    checker_process::keepBetweenPages(keep);
}

void cancelAll() {
    checker_process::cancelAll();
}

} // namespace safe_check
