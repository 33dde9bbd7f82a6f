#pragma once

#include "dialogs/dialogs.h"
#include "document/document_file.h"
#include "document/file_identity.h"
#include "document/recovery_store.h"
#include "colouring/language.h"

#include <QTimer>
#include <QWidget>
#include <memory>
#include <optional>

class CheckPanel;
class EditArea;
class FindBar;
class RecoveryKeeper;
struct EditOptions;

/// What a document asks of the window it is in: its dialogs, and where to save a page that has
/// no file yet (the window knows the folders the user last chose).
class DocumentShell {
public:
    virtual Dialogs& dialogs() = 0;
    /// The file the user chose to save to; empty when cancelled.
    virtual QString chooseFileToSave() = 0;

protected:
    ~DocumentShell() = default;
};

/// One page the window edits: its text (the edit area with its find bar below it), its file's
/// life (open, save, reload, changes made by other programs), the recovery copy that keeps its
/// unsaved text, and its Check Tags results. The window holds these as tabs, asks the current
/// one to do the File menu's work, and shows what it reports.
class OpenDocument : public QWidget {
    Q_OBJECT
public:
    /// @p recoveryFolder: where its recovery copy goes (the user's data folder when empty).
    OpenDocument(DocumentShell& shell, const EditOptions& options, const QString& recoveryFolder = QString(),
                 QWidget* parent = nullptr);
    ~OpenDocument() override;

    EditArea* editArea() const { return editArea_; }
    FindBar* findBar() const { return findBar_; }
    RecoveryStore& store() { return *store_; }
    RecoveryKeeper& keeper() { return *keeper_; }

    /// The page's file; empty for a page without one.
    const QString& path() const { return file_.path; }
    /// The format the page is saved in.
    const DocumentFormat& format() const { return file_.format; }
    /// Some lines end otherwise than most, as opened or saved.
    bool mixedLineEnds() const { return file_.mixedLineEnds; }
    bool isModified() const;
    /// What the page is: from its file's name, else its content, or as the user chose.
    Language language() const { return language_; }
    /// The user chose what the page is (View > Language): it stays so until another file is opened.
    void chooseLanguage(Language language);
    /// The file's name, or "Untitled".
    QString displayName() const;
    /// The window's title while this page is in front: "Tagloom - " and its file, "(loading...)"
    /// while a big page goes in, "Untitled*" without a file.
    void updateTitle();

    /// Reads @p path (in @p encoding, or the one detected); says why when it cannot. At start-up
    /// most failures are silent (the page stays empty and its title names the file), and a file
    /// that exists but cannot be read is never saved over.
    std::optional<ReadResult> readFile(const QString& path, const QByteArray& encoding = {}, bool atStart = false);
    /// The page becomes the file that was read; the text it replaces is kept for a week.
    void takeFile(const QString& path, ReadResult result);
    /// readFile() and takeFile(); false when the file could not be read.
    bool openFile(const QString& path);
    /// The file named at start-up: its title from the first frame on, and for a big page the
    /// first screen before the whole file is read.
    void openAtStart(const QString& path);
    /// Names the file the page will hold, before it is read.
    void announce(const QString& path);
    /// A new page without a file, which keeps the document's title; unsaved text is kept for a week.
    void startNewPage();
    /// The recovered copy @p id becomes the page, and its copy from now on: as one step Undo
    /// takes back when @p asOneStep (the copy of a file already open here), otherwise with the
    /// copy's file and format.
    void recover(const QString& id, const RecoverySnapshot& copy, bool asOneStep);

    /// Save: to its file, or where the user chooses when it has none.
    bool save();
    bool saveAs();
    /// Saves in @p chosen, every line with its line end: to its file, or where the user chooses.
    bool saveWithFormat(const DocumentFormat& chosen);
    /// Compares the file with what was opened or saved; asks when another program changed it.
    /// Returns false when a save must not go on.
    bool checkDisk(bool beforeSave);
    /// Reads the file again as one undoable replacement: in the encoding detected, or @p encoding.
    void reload(const QByteArray& encoding = {});
    /// The page now says it is UTF-8 (the HTML5 page put around it): a file in another encoding
    /// is saved as UTF-8 from now on, or browsers would read its bytes wrongly.
    void becomeUtf8();
    /// The page's file was renamed or moved (from the site panel): the page holds it there now.
    void fileMoved(const QString& path);
    /// Another page wrote this document's file: that is no other program's change.
    void fileWrittenElsewhere(const FileIdentity& disk);

    /// The page as its recovery copy keeps it.
    RecoverySnapshot snapshot() const;
    /// The user let the text go (a close, New or Open answered Yes): unsaved text is kept as a
    /// recovery copy for a week. @p goingOn: the document goes on with another page.
    void keepDiscardedText(bool goingOn);
    /// The copy written for the browser, if any; a new one replaces (and removes) the old.
    const QString& previewCopy() const { return file_.previewCopy; }
    void keepPreviewCopy(const QString& copy);
    /// Removes the copy written for the browser.
    void removePreviewCopy();

    /// The panel of this page's Check Tags results; made the first time it is asked for.
    CheckPanel* checkPanel(bool make = false);
    /// Check as You Type: typingPaused() comes once typing pauses for half a second.
    void checkWhenTypingPauses(bool on);
    /// A check starts now, on the text as it stands.
    void noteCheckStarted();
    /// The text is still the one the last check started on.
    bool checkedTextIsCurrent() const;

signals:
    /// The title, the file's name or its modified state changed.
    void titleChanged();
    /// The format the page is saved in changed (the status bar shows it).
    void formatChanged();
    /// What the page is changed: the window's commands and colours follow.
    void languageChanged();
    /// A file was opened into the page or the page saved to it (the recent files list it).
    void fileUsed(const QString& path);
    /// The page was saved to @p path: other pages of that file take the file as theirs.
    void written(const QString& path, const FileIdentity& disk);
    /// Another page (or the file read again) replaced the text.
    void textReplaced();
    void typingPaused();

private:
    /// What is known of the page's file.
    struct FileState {
        QString path; ///< empty for a page without a file
        DocumentFormat format;
        bool mixedLineEnds = false;
        FileIdentity disk;                        ///< the file as last opened or saved
        std::optional<FileIdentity> declinedDisk; ///< a change the user already answered or was told of
        /// Named at start-up, existing, but unreadable: saving the (empty) page over it would destroy it.
        QString unreadableAtStart;
        QString previewCopy;
    };

    void setFormat(const DocumentFormat& format, bool mixedLineEnds);
    /// The language @p path and @p text say, unless the user chose one for this file.
    void detectLanguage(const QString& path, QStringView text);
    void setLanguage(Language language);
    void nameFile(const QString& path);
    void replaced();
    /// Writes the text in the document's format, or in @p chosen with one line end for all lines.
    bool writeFile(const QString& path, const QString& text, const DocumentFormat* chosen = nullptr);
    bool makeEncodable(QString& text, DocumentFormat* format);
    void showFileError(const FileError& error);
    void pointToInterruptedSave(const QString& path);
    void tell(const QString& message, Dialogs::Icon icon = Dialogs::Icon::Exclamation,
              const QString& title = QStringLiteral("Tagloom"));

    DocumentShell& shell_;
    EditArea* editArea_ = nullptr;
    FindBar* findBar_ = nullptr;
    FileState file_;
    std::unique_ptr<RecoveryStore> store_;
    RecoveryKeeper* keeper_ = nullptr;
    CheckPanel* checkPanel_ = nullptr;
    QTimer typingCheck_;
    bool checkWhileTyping_ = false;
    Language language_ = Language::Html;
    bool languageChosen_ = false; ///< by the user, for the file open now
    int checkedRevision_ = -1; ///< the text's revision when its last check started
};
