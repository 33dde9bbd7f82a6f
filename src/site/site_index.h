#pragma once

#include "typing/completion.h"

#include <QByteArray>
#include <QFutureWatcher>
#include <QHash>
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

/// The names the pages of a site use (the tokens of their class attributes and their ids), for
/// completing a style sheet's selectors. The site is read on workers the first time it is
/// followed, and a page saved is read again; the window never waits for either. A name is kept
/// once for the site, and a page keeps only numbers for its names, so a site of thousands of
/// pages costs a few bytes a name.
class SiteIndex : public QObject {
    Q_OBJECT
public:
    /// A page's names, each once, in UTF-8.
    struct PageNames {
        std::vector<QByteArray> classes;
        std::vector<QByteArray> ids;
    };

    explicit SiteIndex(QObject* parent = nullptr);
    ~SiteIndex() override;

    /// Follows the site at @p root: read afresh when it is another site than the one followed.
    void follow(const QString& root);
    const QString& root() const { return root_; }
    bool isReading() const { return reading_.isRunning(); }
    /// A page of the site was saved with @p text: its names are read again, off this thread.
    void pageSaved(const QString& path, const QString& text);
    /// Every page's names together, the names most pages use first.
    const completion::PageNames& names() const { return merged_; }

    /// The names of each page under @p root (its pages by name, hidden folders left out), read
    /// on all cores. Asks @p cancelled now and then; the workers' work, and the benchmark's.
    static QHash<QString, PageNames> read(const QString& root, const std::function<bool()>& cancelled = {});
    /// The names a page's bytes use, read as a browser reads its tags: not in comments, scripts,
    /// style sheets or other raw text. UTF-16 pages are decoded first.
    static PageNames namesIn(const QByteArray& page);

signals:
    /// The names changed: a site was read, or a page saved.
    void updated();

private:
    /// A page's names as numbers in the site's dictionary.
    struct Entry {
        std::vector<int> classes;
        std::vector<int> ids;
    };
    void take(const QString& path, const PageNames& names);
    void merge();

    QString root_;
    QHash<QByteArray, int> dictionary_;
    std::vector<QByteArray> spelled_; ///< each number's name
    QHash<QString, Entry> pages_;
    completion::PageNames merged_;
    QFutureWatcher<QHash<QString, PageNames>> reading_;
    /// The reading under way stops when set; each reading has its own.
    std::shared_ptr<std::atomic_bool> cancelled_;
};
