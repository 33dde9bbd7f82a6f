#pragma once

#include "document/recovery_store.h"

#include <QMutex>
#include <QObject>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <functional>

/// Keeps a recovery copy of unsaved text: about two seconds after the last change (and at least
/// every half minute while changes go on), and when the window loses focus. The text is taken on
/// the window's thread as the document holds it; turning it into file text and writing it
/// happen on a worker thread.
class RecoveryKeeper : public QObject {
    Q_OBJECT
public:
    /// @p snapshot gives the document as it stands (its text in rawText() form); @p unsaved
    /// tells whether it differs from its file, as only such text is copied.
    RecoveryKeeper(RecoveryStore& store, std::function<RecoverySnapshot()> snapshot,
                   std::function<bool()> unsaved, QObject* parent = nullptr);
    ~RecoveryKeeper() override;

    /// The text changed: a copy is due soon.
    void changed();
    /// Writes a copy now (still off the window's thread), if one is due.
    void writeSoon();
    /// The text is safe (saved, or replaced by the user's choice): no copy is due, and the old
    /// one is removed.
    void forget();
    /// Blocks until no write is running; for tests and for the close.
    void waitForWrites();

signals:
    /// A copy was written (on the worker thread); for tests and benchmarks.
    void written(bool ok);
    /// A copy was due but the recovery folder is not one to keep it in (a link, another user's).
    void folderRefused(const QString& folder);

private:
    void startWrite();

    RecoveryStore& store_;
    std::function<RecoverySnapshot()> snapshot_;
    std::function<bool()> unsaved_;
    QTimer idle_;
    QTimer longest_;
    QThread thread_;
    QObject worker_; ///< lives on thread_; queued calls run there
    QMutex writing_;
    std::atomic<quint64> generation_{0};
    bool due_ = false;
};
