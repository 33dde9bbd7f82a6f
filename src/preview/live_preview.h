#pragma once

#include <QByteArray>
#include <QString>
#include <QtPlugin>
#include <functional>

class QVariant;
class QWidget;

/// The live preview pane. A plugin makes it, so that the web engine behind it is loaded only
/// when the pane is first shown: the editor starts, and runs, without it otherwise. Nothing here
/// needs the plugin's symbols, nor the plugin the program's.
class LivePreview {
public:
    virtual ~LivePreview() = default;

    /// The pane, owned by the caller once it is placed.
    virtual QWidget* widget() = 0;

    /// A page to show in place of the last, at its last scroll position when it is the same page.
    struct Page {
        QByteArray bytes;   ///< encoded as the file is
        QByteArray charset; ///< the encoding's name
        /// The page's file: its folder is the base of relative addresses, and the only place,
        /// with the folders below it, the page may read files from. Empty for a page never saved.
        QString path;
    };
    virtual void showPage(const Page& page) = 0;

    /// An edit inside one element of the page shown: its content becomes @p content (marked),
    /// and marks from @p editEnd on move by @p delta. Without reloading, the scroll position,
    /// the rest of the page and its scripts' state stay. When the element is no longer there,
    /// @p page is shown instead.
    virtual void replaceContent(int element, int editEnd, int delta, const QString& content, const Page& page) = 0;

    /// Outlines the element whose start tag begins at @p sourcePosition (as the marks in the page
    /// give it) and scrolls it into view; -1 takes the outline away.
    virtual void outlineElement(int sourcePosition) = 0;

    virtual void setRunsJavaScript(bool on) = 0;
    virtual void setBlocksRemoteContent(bool on) = 0;
    /// Off (the default): a page's scripts can read no file's content, as in a browser with a
    /// page opened from disk: each file is an origin of its own, and requests from scripts to
    /// the page's folder are refused. On: scripts may fetch the files the pane serves.
    virtual void setScriptsReadSiteFiles(bool on) = 0;

    /// Runs @p script beside the page (in a world of its own, where the outline lives) and gives
    /// its result: for tests and benchmarks.
    virtual void evaluate(const QString& script, const std::function<void(const QVariant&)>& result) = 0;

    /// Ctrl+click on an element: the source position of its start tag.
    std::function<void(int sourcePosition)> elementClicked;
    /// A page given to showPage() is shown (loaded, and at its scroll position).
    std::function<void()> pageShown;
};

/// What the plugin offers: a pane for a parent widget.
class LivePreviewFactory {
public:
    virtual ~LivePreviewFactory() = default;
    virtual LivePreview* create(QWidget* parent) = 0;
};

#define LivePreviewFactory_iid "org.tagloom.LivePreviewFactory/2"
Q_DECLARE_INTERFACE(LivePreviewFactory, LivePreviewFactory_iid)

/// The attribute that carries a start tag's source position into the page the pane is given.
inline constexpr char kSourceMark[] = "data-tagloom-at";
