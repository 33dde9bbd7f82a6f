#include "open_document.h"

#include "recovery_keeper.h"

#include "checking/check_panel.h"
#include "document/charset_declaration.h"
#include "editor/edit_area.h"
#include "editor/edit_options.h"
#include "editor/find_bar.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QVBoxLayout>

namespace {
const QString kTitlePrefix = QStringLiteral("Tagloom - ");
} // namespace

OpenDocument::OpenDocument(DocumentShell& shell, const EditOptions& options, const QString& recoveryFolder,
                           QWidget* parent)
    : QWidget(parent), shell_(shell), store_(std::make_unique<RecoveryStore>(recoveryFolder)) {
    setObjectName(QStringLiteral("editorPane"));
    editArea_ = new EditArea(this);
    editArea_->setObjectName(QStringLiteral("editArea"));
    editArea_->setAccessibleName(QStringLiteral("HTML document"));
    editArea_->apply(options);
    editArea_->setZoom(options.zoom);
    // The edit area fills the page; the find bar appears below it when asked for.
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(editArea_);
    findBar_ = new FindBar(editArea_, this);
    column->addWidget(findBar_);
    setFocusProxy(editArea_);
    keeper_ = new RecoveryKeeper(
        *store_, [this] { return snapshot(); }, [this] { return isModified(); }, this);
    connect(editArea_->document(), &QTextDocument::contentsChanged, this, [this] {
        if (isModified() && !editArea_->isLoading())
            keeper_->changed();
    });
    // A tab added to the window has no mark of a change it has not had.
    setWindowTitle(kTitlePrefix + QStringLiteral("Untitled[*]"));
    connect(editArea_, &EditArea::loadingFinished, this, [this] {
        if (!file_.path.isEmpty())
            updateTitle();
    });
    typingCheck_.setSingleShot(true);
    typingCheck_.setInterval(500);
    connect(&typingCheck_, &QTimer::timeout, this, &OpenDocument::typingPaused);
    connect(editArea_, &EditArea::edited, this, [this] {
        if (checkWhileTyping_)
            typingCheck_.start();
    });
}

OpenDocument::~OpenDocument() {
    // The edit area outlives this body and still reports changes while it goes; nobody here
    // listens any more. The keeper finishes its write before the store it writes for goes.
    editArea_->document()->disconnect(this);
    editArea_->disconnect(this);
    delete keeper_;
    keeper_ = nullptr;
    removePreviewCopy();
}

bool OpenDocument::isModified() const {
    return editArea_->document()->isModified();
}

QString OpenDocument::displayName() const {
    return file_.path.isEmpty() ? QStringLiteral("Untitled") : QFileInfo(file_.path).fileName();
}

void OpenDocument::updateTitle() {
    if (file_.path.isEmpty()) {
        setWindowTitle(kTitlePrefix + QStringLiteral("Untitled*[*]"));
    } else {
        const QString loading = editArea_->isLoading() ? QStringLiteral(" (loading...)") : QString();
        setWindowTitle(kTitlePrefix + QDir::toNativeSeparators(file_.path) + loading + QStringLiteral("[*]"));
    }
    emit titleChanged();
}

void OpenDocument::nameFile(const QString& path) {
    file_.path = path;
    editArea_->setDocumentFolder(path.isEmpty() ? QString() : QFileInfo(path).absolutePath());
    // Saved under a name that says what it is (a page saved as style.css).
    if (const std::optional<Language> named = language::fromName(path); named && !languageChosen_)
        setLanguage(*named);
    updateTitle();
}

void OpenDocument::fileMoved(const QString& path) {
    // The move changed the file's status time, and nothing else: that is no other program's change.
    const FileIdentity now = FileIdentity::of(path);
    if (file_.disk.exists && now.inode == file_.disk.inode && now.device == file_.disk.device &&
        now.size == file_.disk.size && now.modifiedNs == file_.disk.modifiedNs)
        file_.disk = now;
    nameFile(path);
    emit fileUsed(path);
}

void OpenDocument::setLanguage(Language language) {
    if (language == language_)
        return;
    language_ = language;
    editArea_->setLanguage(language);
    emit languageChanged();
}

void OpenDocument::detectLanguage(const QString& path, QStringView text) {
    languageChosen_ = false;
    setLanguage(language::detect(path, text));
}

void OpenDocument::chooseLanguage(Language language) {
    languageChosen_ = true;
    setLanguage(language);
}

void OpenDocument::setFormat(const DocumentFormat& format, bool mixedLineEnds) {
    file_.format = format;
    file_.mixedLineEnds = mixedLineEnds;
    emit formatChanged();
}

void OpenDocument::replaced() {
    if (checkPanel_)
        checkPanel_->clear();
    emit textReplaced();
}

void OpenDocument::tell(const QString& message, Dialogs::Icon icon, const QString& title) {
    shell_.dialogs().showMessage(window(), message, icon, title);
}

void OpenDocument::showFileError(const FileError& error) {
    tell(error.description, Dialogs::Icon::Exclamation, QStringLiteral("Error ") + QString::number(error.number));
}

std::optional<ReadResult> OpenDocument::readFile(const QString& path, const QByteArray& encoding, bool atStart) {
    ReadResult result = document_file::read(path, encoding);
    if (!result.error)
        return result;
    if (!atStart) {
        showFileError(result.error);
        return std::nullopt;
    }
    // At start-up the page stays empty and its title still names the path; a file too big for
    // this machine, a device or a pipe named by mistake is worth a word.
    const QFileInfo info(path);
    if (info.exists() || result.error.number == file_error::kPathFileAccess) {
        file_.unreadableAtStart = info.absoluteFilePath();
        if (result.error.number == file_error::kOutOfMemory || (!info.isFile() && !info.isDir()) || !info.exists())
            showFileError(result.error);
    }
    return std::nullopt;
}

void OpenDocument::takeFile(const QString& path, ReadResult result) {
    keepDiscardedText(true);
    // The new text first: a language change recolours what the page holds then.
    editArea_->loadText(result.text, result.lineEnds);
    detectLanguage(path, result.text);
    replaced();
    keeper_->forget();
    pointToInterruptedSave(path);
    setFormat(result.format, !result.lineEnds.empty());
    file_.unreadableAtStart.clear();
    file_.disk = FileIdentity::of(path);
    nameFile(path);
    emit fileUsed(path);
}

bool OpenDocument::openFile(const QString& path) {
    std::optional<ReadResult> result = readFile(path);
    if (result)
        takeFile(path, std::move(*result));
    return result.has_value();
}

void OpenDocument::openAtStart(const QString& path) {
    // A big plain page shows its first screen before the whole file is read.
    const QString first = QFileInfo(path).size() > EditArea::kLoadInPiecesAbove
                              ? document_file::readFirstScreen(path, EditArea::kFirstScreen)
                              : QString();
    if (!first.isNull()) {
        detectLanguage(path, first);
        editArea_->showFirstScreen(first);
        nameFile(path);
        window()->repaint();
    }
    std::optional<ReadResult> result = readFile(path, {}, true);
    detectLanguage(path, result ? QStringView(result->text) : QStringView());
    setFormat(result ? result->format : DocumentFormat{}, result && !result->lineEnds.empty());
    editArea_->loadText(result ? result->text : QString(), result ? result->lineEnds : LineEndExceptions{});
    file_.disk = result ? FileIdentity::of(path) : FileIdentity{};
    if (result) // after the first screen is up: it writes a file
        QTimer::singleShot(0, this, [this, path] { emit fileUsed(path); });
    pointToInterruptedSave(path);
}

void OpenDocument::announce(const QString& path) {
    nameFile(path);
}

void OpenDocument::startNewPage() {
    keepDiscardedText(true);
    keeper_->forget();
    replaced();
    file_.disk = {};
    file_.path.clear();
    editArea_->setDocumentFolder(QString());
    setFormat({}, false);
    detectLanguage(QString(), QString());
}

void OpenDocument::recover(const QString& id, const RecoverySnapshot& copy, bool asOneStep) {
    keeper_->forget();
    store_->adopt(id);
    if (asOneStep)
        editArea_->setText(copy.text, copy.lineEnds);
    else
        editArea_->loadText(copy.text, copy.lineEnds);
    if (!asOneStep)
        detectLanguage(copy.path, copy.text);
    // An unsaved page again, with its file and its format: Save writes it where it belongs.
    editArea_->document()->setModified(true);
    replaced();
    setFormat(copy.format, !copy.lineEnds.empty());
    if (asOneStep)
        return;
    file_.path = copy.path;
    file_.disk = FileIdentity::of(file_.path);
    file_.declinedDisk.reset();
    // The copy names its file; a file that is gone, or is not the user's, is not written without
    // asking where: Save goes through Save As.
    if (!file_.path.isEmpty() && !(file_.disk.exists && file_.disk.ownedByUser)) {
        tell(QStringLiteral("%1\nis missing, or belongs to another user. Save asks where to save the recovered page.")
                 .arg(QDir::toNativeSeparators(file_.path)));
        file_.path.clear();
        file_.disk = {};
    }
    file_.unreadableAtStart.clear();
    editArea_->setDocumentFolder(file_.path.isEmpty() ? QString() : QFileInfo(file_.path).absolutePath());
    updateTitle();
}

void OpenDocument::pointToInterruptedSave(const QString& path) {
    const QString backup = document_file::interruptedSaveBackup(path);
    if (backup.isEmpty())
        return;
    // Said once: the copy is deleted, or kept under a name of its own beside the file, where no
    // later Open points to it again.
    const int answer = shell_.dialogs().choose(
        window(),
        QStringLiteral("An earlier save of this file was interrupted. The file as it was before that save is "
                       "kept here:\n%1\n\nKeep the copy beside the file to compare the two, or delete it.")
            .arg(QDir::toNativeSeparators(backup)),
        Dialogs::Icon::Exclamation, QStringLiteral("Tagloom"),
        {QStringLiteral("Keep the Copy"), QStringLiteral("Delete the Copy")});
    if (answer == 1) {
        if (!QFile::remove(backup))
            tell(QStringLiteral("The copy could not be deleted:\n") + QDir::toNativeSeparators(backup));
        return;
    }
    QString kept = path + QStringLiteral(".before-interrupted-save");
    for (int n = 2; QFileInfo::exists(kept) || QFileInfo(kept).isSymLink(); ++n)
        kept = path + QStringLiteral(".before-interrupted-save-%1").arg(n);
    if (QFile::rename(backup, kept))
        tell(QStringLiteral("The copy is kept as\n") + QDir::toNativeSeparators(kept), Dialogs::Icon::None);
}

bool OpenDocument::save() {
    if (file_.path.isEmpty())
        return saveAs();
    if (!checkDisk(true))
        return false;
    return writeFile(file_.path, editArea_->text());
}

bool OpenDocument::saveAs() {
    // The text is taken as it stands when the command starts.
    const QString text = editArea_->text();
    const QString path = shell_.chooseFileToSave();
    // Cancelling changes nothing; the path and title follow only a successful write.
    if (path.isEmpty() || !writeFile(path, text))
        return false;
    file_.disk = FileIdentity::of(path);
    nameFile(path);
    return true;
}

bool OpenDocument::saveWithFormat(const DocumentFormat& chosen) {
    const QString text = editArea_->text();
    qsizetype missing = 0;
    if (!document_file::canEncode(text, chosen.encoding, &missing)) {
        const qsizetype length = text.at(missing).isHighSurrogate() && missing + 1 < text.size() ? 2 : 1;
        tell(QStringLiteral("%1 cannot hold some characters of this page, such as \"%2\". Nothing was saved.")
                 .arg(QString::fromLatin1(chosen.encoding), text.mid(missing, length)),
             Dialogs::Icon::Exclamation, QStringLiteral("Save with Encoding"));
        editArea_->setCaretPosition(int(missing));
        editArea_->setSelectionLength(int(length));
        return false;
    }
    QString path = file_.path;
    if (path.isEmpty()) {
        path = shell_.chooseFileToSave();
        if (path.isEmpty())
            return false;
    } else if (!checkDisk(true)) {
        return false;
    }
    if (!writeFile(path, text, &chosen))
        return false;
    if (file_.path != path)
        nameFile(path);
    return true;
}

bool OpenDocument::writeFile(const QString& path, const QString& text, const DocumentFormat* chosen) {
    // Every write opens, writes and closes within this call, so no file is ever left open
    // between commands and "file already open" cannot arise.
    if (!file_.unreadableAtStart.isEmpty() && QFileInfo(path).absoluteFilePath() == file_.unreadableAtStart) {
        tell(QStringLiteral("Path/File access error: this file could not be read when Tagloom "
                            "started, so saving would replace what it holds. It is left as it "
                            "was; use Save As to save under another name.\n") +
                 QDir::toNativeSeparators(path),
             Dialogs::Icon::Exclamation, QStringLiteral("Error 75"));
        return false;
    }
    // A format the user chose gives every line its line end; otherwise each keeps its own.
    DocumentFormat format = chosen ? *chosen : file_.format;
    QString encodable = text;
    if (!chosen && !makeEncodable(encodable, &format))
        return false;
    const QByteArray bytes =
        document_file::encode(encodable, &format, chosen ? LineEndExceptions{} : editArea_->lineEndExceptions());
    const FileError error = document_file::write(path, bytes);
    if (error) {
        showFileError(error);
        return false;
    }
    if (chosen)
        editArea_->clearLineEndExceptions();
    setFormat(format, file_.mixedLineEnds && !chosen);
    file_.disk = FileIdentity::of(path);
    file_.declinedDisk.reset();
    emit written(path, file_.disk);
    emit fileUsed(path);
    // What is on disk now is what the user sees, as far as the undo history goes.
    if (editArea_->text() == encodable) {
        editArea_->document()->setModified(false);
        keeper_->forget();
    }
    return true;
}

bool OpenDocument::makeEncodable(QString& text, DocumentFormat* format) {
    qsizetype missing = 0;
    // Only a broken surrogate pair defeats UTF-8 too; the writer keeps even that, in UTF-16.
    if (document_file::canEncode(text, format->encoding, &missing) || !document_file::canEncode(text, "UTF-8"))
        return true;
    const qsizetype length = text.at(missing).isHighSurrogate() && missing + 1 < text.size() ? 2 : 1;
    const QString sample = text.mid(missing, length);
    const int answer = shell_.dialogs().choose(
        window(),
        QStringLiteral("This page is kept in %1, which cannot hold some of its characters, such as \"%2\".\n\n"
                       "Save it as UTF-8 instead? A charset the page declares is changed to UTF-8 too.")
            .arg(QString::fromLatin1(format->encoding), sample),
        Dialogs::Icon::Exclamation, QStringLiteral("Tagloom"), {QStringLiteral("Save as UTF-8"), QStringLiteral("Cancel")});
    if (answer != 0) {
        // Nothing is written; the character that stopped the save is shown.
        editArea_->setCaretPosition(int(missing));
        editArea_->setSelectionLength(int(length));
        return false;
    }
    std::vector<std::pair<int, int>> declarations;
    for (auto [start, count] : charset_declaration::find(text))
        declarations.emplace_back(int(start), int(count));
    if (!declarations.empty()) {
        editArea_->replaceRanges(declarations, QStringLiteral("utf-8"));
        text = editArea_->text();
    }
    format->encoding = "UTF-8";
    format->byteOrderMark = false;
    return true;
}

bool OpenDocument::checkDisk(bool beforeSave) {
    if (file_.path.isEmpty() || !file_.disk.exists)
        return true;
    const FileIdentity now = FileIdentity::of(file_.path);
    if (now == file_.disk || (!beforeSave && file_.declinedDisk == now))
        return true;
    const QString name = QDir::toNativeSeparators(file_.path);
    if (!now.exists) {
        // Save writes it again; say so once.
        if (!beforeSave && file_.declinedDisk != now)
            tell(QStringLiteral("%1\nwas deleted or moved by another program. Save creates it again.").arg(name));
        file_.declinedDisk = now;
        return true;
    }
    const int answer = shell_.dialogs().choose(
        window(), QStringLiteral("%1\nwas changed by another program since Tagloom opened or saved it.").arg(name),
        Dialogs::Icon::Exclamation, QStringLiteral("Tagloom"),
        {QStringLiteral("Reload"), QStringLiteral("Keep Mine"), QStringLiteral("Cancel")});
    if (answer == 0) {
        reload();
        return false;
    }
    if (answer == 1) {
        // The next Save overwrites what the other program wrote.
        file_.disk = now;
        return true;
    }
    file_.declinedDisk = now;
    return false;
}

void OpenDocument::reload(const QByteArray& encoding) {
    const std::optional<ReadResult> result = readFile(file_.path, encoding);
    if (!result)
        return;
    // One undoable step: Undo brings back the text as it was before.
    editArea_->setText(result->text, result->lineEnds);
    editArea_->document()->setModified(false);
    keeper_->forget();
    replaced();
    setFormat(result->format, !result->lineEnds.empty());
    file_.disk = FileIdentity::of(file_.path);
    file_.declinedDisk.reset();
}

void OpenDocument::becomeUtf8() {
    if (file_.format.encoding.startsWith("UTF-"))
        return;
    DocumentFormat utf8 = file_.format;
    utf8.encoding = "UTF-8";
    utf8.byteOrderMark = false;
    setFormat(utf8, file_.mixedLineEnds);
}

void OpenDocument::fileWrittenElsewhere(const FileIdentity& disk) {
    file_.disk = disk;
}

RecoverySnapshot OpenDocument::snapshot() const {
    return {editArea_->rawText(), file_.path, file_.format, editArea_->lineEndExceptions()};
}

void OpenDocument::keepDiscardedText(bool goingOn) {
    keeper_->waitForWrites();
    if (isModified()) {
        RecoverySnapshot s = snapshot();
        s.text = EditArea::crlfFromRaw(s.text);
        store_->keepAfterClose(s);
        // The document goes on with another page, whose copy is a new one.
        if (goingOn)
            store_->startNewDocument();
    } else {
        keeper_->forget();
    }
}

void OpenDocument::keepPreviewCopy(const QString& copy) {
    if (copy != file_.previewCopy)
        removePreviewCopy();
    file_.previewCopy = copy;
}

void OpenDocument::removePreviewCopy() {
    if (!file_.previewCopy.isEmpty())
        QFile::remove(file_.previewCopy);
    file_.previewCopy.clear();
}

CheckPanel* OpenDocument::checkPanel(bool make) {
    if (!checkPanel_ && make) {
        checkPanel_ = new CheckPanel;
        // The panel lives in the window's dock, but it is this page's: it goes with the page.
        connect(this, &QObject::destroyed, checkPanel_, &QObject::deleteLater);
        connect(editArea_->document(), &QTextDocument::contentsChanged, checkPanel_, &CheckPanel::markOutOfDate);
    }
    return checkPanel_;
}

void OpenDocument::checkWhenTypingPauses(bool on) {
    checkWhileTyping_ = on;
    if (!on)
        typingCheck_.stop();
}

void OpenDocument::noteCheckStarted() {
    checkedRevision_ = editArea_->document()->revision();
}

bool OpenDocument::checkedTextIsCurrent() const {
    return editArea_->document()->revision() == checkedRevision_;
}
