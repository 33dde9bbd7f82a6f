#pragma once

#include "preview/source_marks.h"

#include <QFutureWatcher>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>

class LivePreview;
class QMainWindow;
class OpenDocument;
class QPluginLoader;
class QSplitter;

/// The live preview beside the text: loads the pane's plugin the first time it is shown (in a
/// splitter that takes the window's central part), keeps it showing the document it is given
/// about 300 ms after typing pauses (marked, encoded and handed
/// over from a worker, so no key waits for it), outlines the element the caret is in, and puts
/// the caret on an element Ctrl+clicked in the pane.
class LivePreviewHost : public QObject {
    Q_OBJECT
public:
    explicit LivePreviewHost(QMainWindow& window);
    ~LivePreviewHost() override;

    /// Shows the pane (loading the plugin the first time); false, with the reason in @p why, when
    /// the plugin cannot be loaded.
    bool show(QString* why);
    void hide();
    bool isShown() const;
    /// The pane on the left of the text instead of the right.
    void setOnLeft(bool left);
    void setRunsJavaScript(bool on);
    void setBlocksRemoteContent(bool on);
    void setScriptsReadSiteFiles(bool on);

    /// The pane shows @p document from now on (the window's active one).
    void setDocument(OpenDocument* document);
    /// Loads the page again.
    void follow();
    void edited(OpenDocument* document);
    void caretMoved(OpenDocument* document);
    /// @p document was given a file name (Save As): the pane shows it from its new folder.
    void fileNamed(OpenDocument* document);

    /// The pane, once shown; for tests and benchmarks.
    LivePreview* pane() const { return pane_.get(); }
    /// The start tag of the element outlined now, or -1.
    int outlined() const { return outlined_; }

    /// Where the plugin is looked for, in order.
    static QStringList pluginCandidates();

private:
    struct Rendered {
        QByteArray bytes;
        QByteArray charset;
        QString text; ///< the source shown, CR LF
        source_marks::MarkedPage marked; ///< without its text
        std::optional<source_marks::Patch> patch;
    };
    void render();
    void rendered();
    void outlineCaret();

    QMainWindow& window_;
    QPointer<OpenDocument> document_; ///< the document the pane follows
    std::unique_ptr<QPluginLoader> loader_;
    std::unique_ptr<LivePreview> pane_;
    QPointer<QSplitter> splitter_;
    QTimer typingPause_;
    QTimer caretPause_;
    QFutureWatcher<Rendered> worker_;
    bool renderAgain_ = false;
    bool reloadNext_ = true; ///< the next update loads the page again, patch or not
    QPointer<OpenDocument> renderedDocument_; ///< whose text the pane shows
    QPointer<OpenDocument> rendering_;        ///< whose text the worker marks
    QString renderingPath_;
    /// What the pane shows: the source, its marks, whose and from where; a patch builds on it.
    QString shownText_;
    source_marks::MarkedPage shownMarks_;
    QString shownPath_;
    int outlined_ = -1;
};
