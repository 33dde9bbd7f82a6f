#include "live_preview_host.h"

#include "open_document.h"
#include "settings.h"

#include "editor/edit_area.h"
#include "preview/live_preview.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QMainWindow>
#include <QPluginLoader>
#include <QPointer>
#include <QSplitter>
#include <QtConcurrent/QtConcurrentRun>

LivePreviewHost::LivePreviewHost(QMainWindow& window) : QObject(&window), window_(window) {
    typingPause_.setSingleShot(true);
    typingPause_.setInterval(300);
    connect(&typingPause_, &QTimer::timeout, this, &LivePreviewHost::render);
    caretPause_.setSingleShot(true);
    caretPause_.setInterval(50);
    connect(&caretPause_, &QTimer::timeout, this, &LivePreviewHost::outlineCaret);
    connect(&worker_, &QFutureWatcher<Rendered>::finished, this, &LivePreviewHost::rendered);
}

LivePreviewHost::~LivePreviewHost() {
    worker_.waitForFinished();
    // The pane's engine goes before its plugin is unloaded; the plugin stays loaded, as Qt
    // keeps it until the program ends.
    pane_.reset();
}

QStringList LivePreviewHost::pluginCandidates() {
    QStringList candidates;
    if (const QString named = qEnvironmentVariable("TAGLOOM_PREVIEW_PLUGIN"); !named.isEmpty())
        candidates << named;
    const QString here = QCoreApplication::applicationDirPath();
    candidates << here + QStringLiteral("/tagloom-preview")
               << QDir::cleanPath(here + QStringLiteral("/" TAGLOOM_PLUGIN_DIR "/tagloom-preview"));
    return candidates;
}

bool LivePreviewHost::show(QString* why) {
    // The keyboard stays where it was: moving the text into the splitter would take it away,
    // and the engine setting up its view takes the window's activation (without a window
    // manager, for good).
    const QPointer<QWidget> focused = QApplication::focusWidget();
    const bool active = window_.isActiveWindow();
    if (!pane_) {
        QStringList errors;
        LivePreviewFactory* factory = nullptr;
        for (const QString& candidate : pluginCandidates()) {
            loader_ = std::make_unique<QPluginLoader>(candidate);
            factory = qobject_cast<LivePreviewFactory*>(loader_->instance());
            if (factory)
                break;
            errors << loader_->errorString();
            loader_.reset();
        }
        if (!factory) {
            errors.removeDuplicates();
            if (why)
                *why = errors.join(u'\n');
            return false;
        }
        pane_.reset(factory->create(nullptr));
        pane_->setRunsJavaScript(settings::livePreviewRunsJavaScript());
        pane_->setBlocksRemoteContent(settings::livePreviewBlocksRemoteContent());
        pane_->setScriptsReadSiteFiles(settings::livePreviewScriptsReadSiteFiles());
        pane_->elementClicked = [this](int at) {
            if (!renderedDocument_ || renderedDocument_ != document_)
                return;
            EditArea* area = document_->editArea();
            area->setCaretPosition(at);
            area->centerCursor();
            area->setFocus(Qt::MouseFocusReason);
        };
        // The window's own central part goes into a splitter beside the pane.
        splitter_ = new QSplitter(Qt::Horizontal);
        splitter_->setObjectName(QStringLiteral("livePreviewSplitter"));
        splitter_->setChildrenCollapsible(false);
        splitter_->addWidget(window_.takeCentralWidget());
        splitter_->addWidget(pane_->widget());
        window_.setCentralWidget(splitter_);
        setOnLeft(settings::livePreviewOnLeft());
        if (!splitter_->restoreState(settings::livePreviewSizes())) {
            const int half = std::max(1, splitter_->width() / 2);
            splitter_->setSizes({half, half});
        }
        connect(splitter_, &QSplitter::splitterMoved, this, [this] { settings::setLivePreviewSizes(splitter_->saveState()); });
    }
    pane_->widget()->show();
    if (active && !window_.isActiveWindow())
        window_.activateWindow();
    if (focused && QApplication::focusWidget() != focused)
        focused->setFocus(Qt::OtherFocusReason);
    follow();
    return true;
}

void LivePreviewHost::hide() {
    typingPause_.stop();
    if (pane_)
        pane_->widget()->hide();
}

bool LivePreviewHost::isShown() const {
    return pane_ && !pane_->widget()->isHidden();
}

void LivePreviewHost::setOnLeft(bool left) {
    if (!splitter_ || !pane_)
        return;
    splitter_->insertWidget(left ? 0 : 1, pane_->widget());
}

void LivePreviewHost::setRunsJavaScript(bool on) {
    if (pane_) {
        pane_->setRunsJavaScript(on);
        follow();
    }
}

void LivePreviewHost::setBlocksRemoteContent(bool on) {
    if (pane_) {
        pane_->setBlocksRemoteContent(on);
        follow();
    }
}

void LivePreviewHost::setScriptsReadSiteFiles(bool on) {
    if (pane_) {
        pane_->setScriptsReadSiteFiles(on);
        follow();
    }
}

void LivePreviewHost::setDocument(OpenDocument* document) {
    document_ = document;
    follow();
}

void LivePreviewHost::follow() {
    reloadNext_ = true;
    if (isShown())
        render();
}

void LivePreviewHost::edited(OpenDocument* document) {
    if (isShown() && document == document_)
        typingPause_.start();
}

void LivePreviewHost::fileNamed(OpenDocument* document) {
    if (isShown() && document == renderedDocument_ && document->path() != shownPath_)
        follow();
}

void LivePreviewHost::caretMoved(OpenDocument* document) {
    if (isShown() && document == document_ && document == renderedDocument_)
        caretPause_.start();
}

void LivePreviewHost::render() {
    typingPause_.stop();
    if (!isShown())
        return;
    if (worker_.isRunning()) {
        renderAgain_ = true;
        return;
    }
    if (!document_)
        return;
    OpenDocument& document = *document_;
    EditArea* area = document.editArea();
    if (area->isLoading()) {
        // The rest of a big page goes in first; its end is an edit like any other.
        typingPause_.start();
        return;
    }
    rendering_ = &document;
    renderingPath_ = document.path();
    // An edit of the page shown may go in as a patch; anything else loads the page again.
    const bool patchable = !reloadNext_ && renderedDocument_ == &document && shownPath_ == renderingPath_;
    reloadNext_ = false;
    // The copy the edit area makes cheaply; line ends, marks and encoding are the worker's.
    worker_.setFuture(QtConcurrent::run([raw = area->rawText(), format = document.format(),
                                         before = patchable ? shownText_ : QString(),
                                         old = patchable ? shownMarks_ : source_marks::MarkedPage(), patchable]() mutable {
        Rendered out;
        out.text = EditArea::crlfFromRaw(raw);
        out.marked = source_marks::mark(out.text);
        if (patchable)
            out.patch = source_marks::patch(before, old, out.text, out.marked);
        // In the page's own encoding, as a browser would read the file; characters it cannot
        // hold make it UTF-8, which the charset then says.
        out.bytes = document_file::encode(out.marked.text, &format);
        out.charset = format.encoding;
        out.marked.text.clear();
        return out;
    }));
}

void LivePreviewHost::rendered() {
    Rendered result = worker_.result();
    if (rendering_ && rendering_ == document_ && pane_) {
        renderedDocument_ = rendering_;
        shownText_ = std::move(result.text);
        shownMarks_ = std::move(result.marked);
        shownPath_ = renderingPath_;
        outlined_ = source_marks::elementAt(shownMarks_.elements, document_->editArea()->selectionStart());
        LivePreview::Page page{std::move(result.bytes), result.charset, renderingPath_};
        if (result.patch) {
            const source_marks::Patch& p = *result.patch;
            pane_->replaceContent(p.element, p.editEnd, p.delta, p.content, page);
            pane_->outlineElement(outlined_);
        } else {
            pane_->outlineElement(outlined_);
            pane_->showPage(page);
        }
    } else {
        renderAgain_ = true; // another document came to the front meanwhile
    }
    if (renderAgain_) {
        renderAgain_ = false;
        render();
    }
}

void LivePreviewHost::outlineCaret() {
    if (!pane_ || !document_ || renderedDocument_ != document_)
        return;
    const int at = source_marks::elementAt(shownMarks_.elements, document_->editArea()->selectionStart());
    if (at != outlined_) {
        outlined_ = at;
        pane_->outlineElement(at);
    }
}
