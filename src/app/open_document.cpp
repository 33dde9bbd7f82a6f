#include "open_document.h"

#include "recovery_keeper.h"

#include "checking/check_panel.h"
#include "editor/edit_area.h"
#include "editor/find_bar.h"

#include <QFile>
#include <QFileInfo>
#include <QVBoxLayout>

OpenDocument::OpenDocument(const QString& recoveryFolder, QWidget* parent)
    : QWidget(parent), store_(std::make_unique<RecoveryStore>(recoveryFolder)) {
    setObjectName(QStringLiteral("editorPane"));
    editArea_ = new EditArea(this);
    editArea_->setObjectName(QStringLiteral("editArea"));
    editArea_->setAccessibleName(QStringLiteral("HTML document"));
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
}

OpenDocument::~OpenDocument() {
    // The edit area outlives this body and still reports changes while it goes; nobody here
    // listens any more. The keeper finishes its write before the store it writes for goes.
    editArea_->document()->disconnect(this);
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
