#include "site_index.h"

#include "base/folder_walk.h"
#include "colouring/language.h"
#include "document/document_file.h"

#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>

namespace {
/// Bigger pages are generated, not written by hand: their names are no help.
constexpr qint64 kLargestIndexedPage = 16 * 1024 * 1024;
} // namespace

SiteIndex::SiteIndex(QObject* parent) : QObject(parent) {
    connect(&reading_, &QFutureWatcherBase::finished, this, [this] {
        if (reading_.isCanceled() || (cancelled_ && *cancelled_))
            return;
        pages_ = reading_.result();
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
        pages_.insert(path, watcher->result());
        merge();
    });
    watcher->setFuture(QtConcurrent::run([text] { return completion::namesUsed(text); }));
}

QHash<QString, SiteIndex::PageNames> SiteIndex::read(const QString& root, const std::function<bool()>& cancelled) {
    folder_walk::Options options;
    options.wanted = [](const QString& relative) { return language::fromName(relative) == Language::Html; };
    options.cancelled = cancelled;
    QHash<QString, PageNames> pages;
    for (const folder_walk::File& file : folder_walk::files(root, options).files) {
        if (cancelled && cancelled())
            break;
        if (QFileInfo(file.path).size() > kLargestIndexedPage)
            continue;
        const ReadResult page = document_file::read(file.path);
        if (!page.error)
            pages.insert(file.path, completion::namesUsed(page.text));
    }
    return pages;
}

void SiteIndex::merge() {
    // Most used first: the names a site is built on lead the list.
    const auto byUse = [](QHash<QString, int> counts) {
        QStringList names = counts.keys();
        std::sort(names.begin(), names.end(), [&](const QString& a, const QString& b) {
            const int ca = counts.value(a), cb = counts.value(b);
            return ca != cb ? ca > cb : a < b;
        });
        return names;
    };
    QHash<QString, int> classes, ids;
    for (const PageNames& page : std::as_const(pages_)) {
        for (const QString& name : page.classes)
            ++classes[name];
        for (const QString& name : page.ids)
            ++ids[name];
    }
    merged_ = {byUse(ids), byUse(classes)};
    emit updated();
}
