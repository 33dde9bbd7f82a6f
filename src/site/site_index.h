#pragma once

#include "typing/completion.h"

#include <QFutureWatcher>
#include <QHash>
#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

/// The names the pages of a site use (the tokens of their class attributes and their ids), for
/// completing a style sheet's selectors. The site is read on a worker the first time it is
/// followed, and a page saved is read again; the window never waits for either.
class SiteIndex : public QObject {
    Q_OBJECT
public:
    using PageNames = completion::PageNames;

    explicit SiteIndex(QObject* parent = nullptr);
    ~SiteIndex() override;

    /// Follows the site at @p root: read afresh when it is another site than the one followed.
    void follow(const QString& root);
    const QString& root() const { return root_; }
    bool isReading() const { return reading_.isRunning(); }
    /// A page of the site was saved with @p text: its names are read again, off this thread.
    void pageSaved(const QString& path, const QString& text);
    /// Every page's names together, the names most pages use first.
    const PageNames& names() const { return merged_; }

    /// The names of each page under @p root (its pages by name, hidden folders left out). Asks
    /// @p cancelled now and then; a worker's work, and the benchmark's.
    static QHash<QString, PageNames> read(const QString& root, const std::function<bool()>& cancelled = {});

signals:
    /// The names changed: a site was read, or a page saved.
    void updated();

private:
    void merge();

    QString root_;
    QHash<QString, PageNames> pages_;
    PageNames merged_;
    QFutureWatcher<QHash<QString, PageNames>> reading_;
    /// The reading under way stops when set; each reading has its own.
    std::shared_ptr<std::atomic_bool> cancelled_;
};
