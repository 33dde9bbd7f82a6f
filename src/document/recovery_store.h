#pragma once

#include "document_file.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <memory>
#include <optional>

class HeldLock;

/// What a recovery copy holds: the text and everything needed to save it as its file was.
struct RecoverySnapshot {
    QString text; ///< CR LF line ends
    QString path; ///< the document's file, or empty for an untitled page
    DocumentFormat format;
    LineEndExceptions lineEnds;
};

/// A recovery copy found on disk.
struct RecoveryCopy {
    QString id;
    QString path;
    QDateTime saved;
    qint64 size = 0;           ///< characters of text
    QString firstLine;         ///< for the list the user picks from
    bool closedByUser = false; ///< written when a close or Exit discarded the text
    bool offered = false;      ///< already shown once at a start
};

/// Copies of unsaved text in the user's data folder, so that a crash, a kill or a mistaken
/// "Yes" to a close question loses nothing.
///
/// Each copy is a file `<id>.tgr` (a one-line JSON header, then the text in UTF-8, or in UTF-16
/// when it holds a broken surrogate pair) and a lock `<id>.lock` that its live owner holds. A
/// copy whose lock can be taken belongs to no running instance: it is offered for recovery. Two
/// instances therefore never read, take or delete each other's live copies. The folder must be
/// the user's own (0700, no link), and only the user's own regular files in it are read.
class RecoveryStore {
public:
    /// Copies older than this are removed, unless a live instance holds them.
    static constexpr int kKeepDays = 7;

    /// @p folder defaults to the application data folder + "/recovery".
    explicit RecoveryStore(QString folder = QString());
    ~RecoveryStore();
    RecoveryStore(const RecoveryStore&) = delete;
    RecoveryStore& operator=(const RecoveryStore&) = delete;

    const QString& folder() const { return folder_; }
    /// The id of this instance's own copy (a new one is made for every document).
    const QString& ownId() const { return ownId_; }
    /// Starts a new copy id for a new document; the old copy is removed.
    void startNewDocument();
    /// Takes over an orphaned copy as this instance's own (after the user recovered it).
    bool adopt(const QString& id);
    /// Holds the lock on this instance's copy, so that write() may run; false if it cannot.
    bool prepareOwn() { return lock_ || lockOwn(); }

    /// Writes this instance's copy atomically, with mode 0600. Safe to call from a worker thread
    /// as long as no other call runs at the same time for the same id.
    static bool write(const QString& folder, const QString& id, const RecoverySnapshot& snapshot,
                      bool closedByUser);
    /// Writes the copy now, on this thread, marked as text a close discarded, and lets it go:
    /// the next start offers it.
    bool keepAfterClose(const RecoverySnapshot& snapshot);
    /// Removes this instance's copy (after a save, or a confirmed new document or Open).
    void removeOwn();

    /// Copies no running instance holds, newest first. Removes those older than kKeepDays.
    QList<RecoveryCopy> orphans();
    /// Reads a copy; nullopt when it is unreadable or held by a live instance.
    std::optional<RecoverySnapshot> read(const QString& id);
    /// Removes an orphaned copy; a live instance's copy is left alone.
    void discard(const QString& id);
    /// Marks a copy as shown once at a start.
    void markOffered(const QString& id);

private:
    QString copyPath(const QString& id) const;
    QString lockPath(const QString& id) const;
    bool lockOwn();
    /// The folder is a real folder of the user's own, 0700 (made so); made first with @p create.
    bool folderIsOurs(bool create = false) const;

    QString folder_;
    QString ownId_;
    std::unique_ptr<HeldLock> lock_;
};
