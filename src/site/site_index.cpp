#include "site_index.h"

#include "base/folder_walk.h"
#include "base/regular_file.h"
#include "colouring/language.h"
#include "document/document_file.h"

#include <QtConcurrent/QtConcurrentMap>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cstring>
#include <string_view>

namespace {
/// Bigger pages are generated, not written by hand: their names are no help.
constexpr qint64 kLargestIndexedPage = 16 * 1024 * 1024;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}
bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
/// Names of tags and attributes, in any case.
bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return (x | 0x20) == (y | 0x20); });
}
/// The elements whose content holds no tags, up to their own end tag.
bool holdsRawText(std::string_view name) {
    static constexpr std::string_view kRaw[] = {"script", "style", "textarea", "title", "xmp", "iframe", "noembed", "noframes"};
    return std::any_of(std::begin(kRaw), std::end(kRaw), [name](std::string_view raw) { return sameName(name, raw); });
}
/// Names worth offering: no character references, no markup.
void addName(std::string_view name, std::vector<std::string_view>& into) {
    if (!name.empty() && name.find_first_of("&<>\"'") == std::string_view::npos)
        into.push_back(name);
}
/// The names found, each once, as bytes of their own (the page's are let go); a name that is
/// no valid UTF-8 (a page in another encoding) is left out.
std::vector<QByteArray> eachOnce(std::vector<std::string_view>& names) {
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    std::vector<QByteArray> out;
    out.reserve(names.size());
    for (const std::string_view name : names) {
        QByteArray bytes(name.data(), qsizetype(name.size()));
        if (std::all_of(name.begin(), name.end(), [](char c) { return !(c & 0x80); }) ||
            QString::fromUtf8(bytes).toUtf8() == bytes)
            out.push_back(std::move(bytes));
    }
    return out;
}
} // namespace

SiteIndex::SiteIndex(QObject* parent) : QObject(parent) {
    connect(&reading_, &QFutureWatcherBase::finished, this, [this] {
        if (reading_.isCanceled() || (cancelled_ && *cancelled_))
            return;
        const QHash<QString, PageNames> read = reading_.result();
        for (auto page = read.constBegin(); page != read.constEnd(); ++page)
            take(page.key(), page.value());
        merge();
    });
}

SiteIndex::~SiteIndex() {
    if (cancelled_)
        *cancelled_ = true;
    reading_.waitForFinished();
}

void SiteIndex::follow(const QString& root) {
    if (root == root_ || root.isEmpty())
        return;
    root_ = root;
    if (cancelled_)
        *cancelled_ = true;
    cancelled_ = std::make_shared<std::atomic_bool>(false);
    pages_.clear();
    dictionary_.clear();
    spelled_.clear();
    merged_ = {};
    reading_.setFuture(QtConcurrent::run([root, cancelled = cancelled_] { return read(root, [cancelled] { return bool(*cancelled); }); }));
}

void SiteIndex::pageSaved(const QString& path, const QString& text) {
    if (root_.isEmpty() || !path.startsWith(root_ + u'/') || language::fromName(path) != Language::Html)
        return;
    auto* watcher = new QFutureWatcher<PageNames>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, path, root = root_] {
        watcher->deleteLater();
        // A site read since has this page as saved already.
        if (root != root_ || isReading())
            return;
        take(path, watcher->result());
        merge();
    });
    watcher->setFuture(QtConcurrent::run([text] { return namesIn(text.toUtf8()); }));
}

SiteIndex::PageNames SiteIndex::namesIn(const QByteArray& page) {
    if (page.startsWith("\xFF\xFE") || page.startsWith("\xFE\xFF") || page.left(512).contains('\0')) {
        // UTF-16: the bytes of the marks the scan looks for are not what they are in ASCII.
        DocumentFormat format;
        const completion::PageNames read = completion::namesUsed(document_file::decode(page, &format));
        PageNames names;
        for (const QString& name : read.classes)
            names.classes.push_back(name.toUtf8());
        for (const QString& name : read.ids)
            names.ids.push_back(name.toUtf8());
        return names;
    }
    // Every encoding a page is read in otherwise writes < > = quotes and spaces as ASCII does,
    // and never as part of another character: the scan reads the bytes, each tag once.
    std::vector<std::string_view> classes, ids;
    const char* p = page.constData();
    const char* const end = p + page.size();
    const auto find = [&](const char* from, char c) { return static_cast<const char*>(std::memchr(from, c, size_t(end - from))); };
    while (p < end) {
        p = find(p, '<');
        if (!p || ++p >= end)
            break;
        if (*p == '!' && end - p >= 3 && p[1] == '-' && p[2] == '-') {
            const size_t close = std::string_view(p + 3, size_t(end - p - 3)).find("-->");
            if (close == std::string_view::npos)
                break;
            p += 3 + close + 3;
            continue;
        }
        if (!isLetter(*p))
            continue; // an end tag, a doctype or text: its attributes name nothing
        const char* nameStart = p;
        while (p < end && !isSpace(*p) && *p != '>' && *p != '/')
            ++p;
        const std::string_view element(nameStart, size_t(p - nameStart));
        while (p < end && *p != '>') {
            while (p < end && (isSpace(*p) || *p == '/'))
                ++p;
            const char* attributeStart = p;
            while (p < end && !isSpace(*p) && *p != '=' && *p != '>' && (*p != '/' || p == attributeStart))
                ++p;
            const std::string_view attribute(attributeStart, size_t(p - attributeStart));
            while (p < end && isSpace(*p))
                ++p;
            if (p >= end || *p != '=')
                continue;
            ++p;
            while (p < end && isSpace(*p))
                ++p;
            const char* valueStart = p;
            if (p < end && (*p == '"' || *p == '\'')) {
                const char* close = find(p + 1, *p);
                valueStart = p + 1;
                p = close ? close : end;
            } else {
                while (p < end && !isSpace(*p) && *p != '>')
                    ++p;
            }
            const std::string_view value(valueStart, size_t(p - valueStart));
            if (p < end && (*p == '"' || *p == '\''))
                ++p;
            if (sameName(attribute, "class")) {
                for (size_t at = 0; at < value.size();) {
                    while (at < value.size() && isSpace(value[at]))
                        ++at;
                    size_t stop = at;
                    while (stop < value.size() && !isSpace(value[stop]))
                        ++stop;
                    addName(value.substr(at, stop - at), classes);
                    at = stop;
                }
            } else if (sameName(attribute, "id")) {
                size_t from = 0, to = value.size();
                while (from < to && isSpace(value[from]))
                    ++from;
                while (to > from && isSpace(value[to - 1]))
                    --to;
                addName(value.substr(from, to - from), ids);
            }
        }
        if (holdsRawText(element)) {
            // Up to its own end tag: a script's "<p class=…>" is no tag.
            const char* close = p;
            while ((close = find(close, '<')) &&
                   !(end - close >= qsizetype(element.size()) + 2 && close[1] == '/' &&
                     sameName(std::string_view(close + 2, element.size()), element)))
                ++close;
            p = close ? close : end;
        }
    }
    return {eachOnce(classes), eachOnce(ids)};
}

QHash<QString, SiteIndex::PageNames> SiteIndex::read(const QString& root, const std::function<bool()>& cancelled) {
    folder_walk::Options options;
    options.wanted = [](const QString& relative) { return language::fromName(relative) == Language::Html; };
    options.cancelled = cancelled;
    const std::vector<folder_walk::File> files = folder_walk::files(root, options).files;
    // Each page on whichever core is free; the pages' names are gathered here.
    const QList<std::pair<QString, PageNames>> read = QtConcurrent::blockingMapped<QList<std::pair<QString, PageNames>>>(
        files, [&cancelled](const folder_walk::File& file) {
            if (cancelled && cancelled())
                return std::pair(file.path, PageNames());
            // Into a buffer each worker keeps: a site's big pages cost no allocation each. (Not
            // mapped: a page another program cuts short while it is read would end the program.)
            thread_local QByteArray buffer;
            QFile page;
            const regular_file::Opened opened = regular_file::open(page, file.path, kLargestIndexedPage);
            if (!opened)
                return std::pair(file.path, PageNames());
            buffer.resize(opened.size);
            const qint64 got = page.read(buffer.data(), opened.size);
            return std::pair(file.path, got > 0 ? namesIn(QByteArray::fromRawData(buffer.constData(), got)) : PageNames());
        });
    QHash<QString, PageNames> pages;
    pages.reserve(read.size());
    for (const auto& [path, names] : read)
        pages.insert(path, names);
    return pages;
}

void SiteIndex::take(const QString& path, const PageNames& names) {
    const auto numbers = [this](const std::vector<QByteArray>& spelled) {
        std::vector<int> out;
        out.reserve(spelled.size());
        for (const QByteArray& name : spelled) {
            auto known = dictionary_.constFind(name);
            if (known == dictionary_.constEnd()) {
                known = dictionary_.insert(name, int(spelled_.size()));
                spelled_.push_back(name);
            }
            out.push_back(*known);
        }
        return out;
    };
    pages_.insert(path, {numbers(names.classes), numbers(names.ids)});
}

void SiteIndex::merge() {
    // Most used first: the names a site is built on lead the list.
    std::vector<int> classes(spelled_.size()), ids(spelled_.size());
    for (const Entry& page : std::as_const(pages_)) {
        for (int name : page.classes)
            ++classes[size_t(name)];
        for (int name : page.ids)
            ++ids[size_t(name)];
    }
    const auto byUse = [this](const std::vector<int>& counts) {
        std::vector<int> used;
        for (size_t name = 0; name < counts.size(); ++name)
            if (counts[name] > 0)
                used.push_back(int(name));
        std::sort(used.begin(), used.end(), [&](int a, int b) {
            return counts[size_t(a)] != counts[size_t(b)] ? counts[size_t(a)] > counts[size_t(b)] : spelled_[size_t(a)] < spelled_[size_t(b)];
        });
        QStringList names;
        names.reserve(qsizetype(used.size()));
        for (int name : used)
            names << QString::fromUtf8(spelled_[size_t(name)]);
        return names;
    };
    merged_ = {byUse(ids), byUse(classes)};
    emit updated();
}
