#include "recovery_keeper.h"

#include "base/memory_advice.h"
#include "editor/edit_area.h"

#include <QMutexLocker>

namespace {
constexpr int kIdleMs = 2000;
constexpr int kLongestMs = 30000;
} // namespace

RecoveryKeeper::RecoveryKeeper(RecoveryStore& store, std::function<RecoverySnapshot()> snapshot,
                               std::function<bool()> unsaved, QObject* parent)
    : QObject(parent), store_(store), snapshot_(std::move(snapshot)), unsaved_(std::move(unsaved)) {
    idle_.setSingleShot(true);
    idle_.setInterval(kIdleMs);
    longest_.setSingleShot(true);
    longest_.setInterval(kLongestMs);
    connect(&idle_, &QTimer::timeout, this, &RecoveryKeeper::writeSoon);
    connect(&longest_, &QTimer::timeout, this, &RecoveryKeeper::writeSoon);
    worker_.moveToThread(&thread_);
    thread_.start(QThread::LowPriority);
}

RecoveryKeeper::~RecoveryKeeper() {
    thread_.quit();
    thread_.wait();
}

void RecoveryKeeper::changed() {
    due_ = true;
    idle_.start();
    if (!longest_.isActive())
        longest_.start();
}

void RecoveryKeeper::writeSoon() {
    if (due_)
        startWrite();
}

void RecoveryKeeper::startWrite() {
    idle_.stop();
    longest_.stop();
    due_ = false;
    // Loading a page reports changes too; a page as it was opened or saved needs no copy.
    if (!unsaved_())
        return;
    if (!store_.prepareOwn()) {
        emit folderRefused(store_.folder());
        return;
    }
    RecoverySnapshot snapshot = snapshot_();
    const quint64 generation = generation_;
    const QString folder = store_.folder();
    const QString id = store_.ownId();
    QMetaObject::invokeMethod(
        &worker_,
        [this, snapshot = std::move(snapshot), generation, folder, id]() mutable {
            QMutexLocker locker(&writing_);
            // A save or a new document since the text was taken: this copy is no longer wanted.
            if (generation != generation_)
                return;
            snapshot.text = EditArea::crlfFromRaw(snapshot.text);
            const bool big = snapshot.text.size() > kBigPageCharacters;
            emit written(RecoveryStore::write(folder, id, snapshot, false));
            // The heap keeps big freed buffers: give the copies of a big page back.
            if (big) {
                snapshot.text = QString();
                returnFreedMemory();
            }
        },
        Qt::QueuedConnection);
}

void RecoveryKeeper::forget() {
    idle_.stop();
    longest_.stop();
    due_ = false;
    QMutexLocker locker(&writing_);
    ++generation_;
    store_.removeOwn();
}

void RecoveryKeeper::waitForWrites() {
    // A queued call that runs after every one queued before it.
    QMetaObject::invokeMethod(
        &worker_, [] {}, Qt::BlockingQueuedConnection);
}
