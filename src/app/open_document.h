#pragma once

#include "document/document_file.h"
#include "document/file_identity.h"
#include "document/recovery_store.h"

#include <QTimer>
#include <QWidget>
#include <memory>
#include <optional>

class CheckPanel;
class EditArea;
class FindBar;
class RecoveryKeeper;

/// One page the window edits: its text (the edit area with its find bar below it), what is known
/// of its file, the recovery copy that keeps its unsaved text, and its Check Tags results. The
/// main window holds these as tabs and works on the active one.
class OpenDocument : public QWidget {
    Q_OBJECT
public:
    /// What is known of the page's file.
    struct FileState {
        QString path; ///< empty for a page without a file
        DocumentFormat format;
        bool mixedLineEnds = false; ///< some lines end otherwise than most, as opened or saved
        FileIdentity disk;          ///< the file as last opened or saved
        std::optional<FileIdentity> declinedDisk; ///< a change the user already answered or was told of
        /// Named at start-up, existing, but unreadable: saving the (empty) page over it would destroy it.
        QString unreadableAtStart;
        QString previewCopy; ///< the copy written for the browser, if any
    };

    /// @p recoveryFolder: where its recovery copy goes (the user's data folder when empty).
    explicit OpenDocument(const QString& recoveryFolder = QString(), QWidget* parent = nullptr);
    ~OpenDocument() override;

    EditArea* editArea() const { return editArea_; }
    FindBar* findBar() const { return findBar_; }
    FileState& file() { return file_; }
    const FileState& file() const { return file_; }
    RecoveryStore& store() { return *store_; }
    RecoveryKeeper& keeper() { return *keeper_; }

    bool isModified() const;
    /// The file's name, or "Untitled".
    QString displayName() const;
    /// The page as its recovery copy keeps it.
    RecoverySnapshot snapshot() const;
    /// The user let the text go (a close, New or Open answered Yes): unsaved text is kept as a
    /// recovery copy for a week. @p goingOn: the document goes on with another page.
    void keepDiscardedText(bool goingOn);
    /// Removes the copy written for the browser.
    void removePreviewCopy();

    /// The panel of this page's Check Tags results; made the first time it is asked for.
    CheckPanel* checkPanel(bool make = false);
    /// With Check as You Type: runs out once typing pauses.
    QTimer& typingCheck() { return typingCheck_; }
    /// The text's revision when its last check started: marks are made only for that text.
    int checkedRevision = -1;

private:
    EditArea* editArea_ = nullptr;
    FindBar* findBar_ = nullptr;
    FileState file_;
    std::unique_ptr<RecoveryStore> store_;
    RecoveryKeeper* keeper_ = nullptr;
    CheckPanel* checkPanel_ = nullptr;
    QTimer typingCheck_;
};
