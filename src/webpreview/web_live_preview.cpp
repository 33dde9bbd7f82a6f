// The live preview, with Qt WebEngine. The page is served from memory under a scheme of our own,
// at its file's path, so that relative addresses resolve in its folder; the same scheme serves the
// files of that folder and below, and nothing private among them. As in a browser with a page
// opened from disk, every file is an origin of its own and scripts can read none of them, unless
// the user lets them (a second scheme, whose files share one origin). The page cannot open
// windows, navigate away, or read file: addresses; remote content can be blocked; a script that
// never yields is stopped.
#include "web_live_preview.h"

#include <QApplication>
#include <QBuffer>
#include <QCoreApplication>
#include <QOpenGLContext>
#include <QSurfaceFormat>
#include <QtGui/private/qopenglcontext_p.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMimeDatabase>
#include <QPointer>
#include <QRandomGenerator>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <QWebEngineView>

#include "preview/served_files.h"

#include <QElapsedTimer>
#include <QTimer>
#include <memory>

#ifdef Q_OS_UNIX
#include <csignal>
#include <unistd.h>
#endif

namespace {
const QByteArray kScheme = QByteArrayLiteral("tagloom-page");
/// The same files with one origin for the page and its folder: scripts may read them.
const QByteArray kSharedScheme = QByteArrayLiteral("tagloom-site");
/// A page whose scripts have not let the engine answer for this long is stopped.
constexpr int kLongestScriptMs = 5000;
const char kUnsavedPath[] = "/untitled.html";
constexpr qsizetype kLargestHandedOver = 1'500'000;

/// The engine draws through an OpenGL context shared with the window's. Qt makes that context at
/// start when asked before the application exists, which would cost every start of the editor
/// the loading of the OpenGL driver (85 ms and 57 MiB under Xvfb's); the plugin makes it here
/// instead, the first time a pane is made.
void shareOpenGLContexts() {
    if (qt_gl_global_share_context())
        return;
    auto* context = new QOpenGLContext(qApp);
    context->setFormat(QSurfaceFormat::defaultFormat());
    context->create();
    qt_gl_set_global_share_context(context);
}

void registerScheme() {
    static const bool registered = [] {
        shareOpenGLContexts();
        // Secure, so that a page's https content is not mixed content.
        QWebEngineUrlScheme scheme(kScheme);
        scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
        scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::NoAccessAllowed |
                        QWebEngineUrlScheme::CorsEnabled);
        QWebEngineUrlScheme::registerScheme(scheme);
        QWebEngineUrlScheme shared(kSharedScheme);
        shared.setSyntax(QWebEngineUrlScheme::Syntax::Path);
        shared.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::CorsEnabled);
        QWebEngineUrlScheme::registerScheme(shared);
#ifdef Q_OS_UNIX
        // Chromium's sandbox refuses to start for root; a user who runs the editor as root
        // previews without it.
        if (::geteuid() == 0)
            qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
#endif
        return true;
    }();
    (void)registered;
}

/// Serves the page being previewed from memory, and the files of its folder and below from disk.
class PageServer : public QWebEngineUrlSchemeHandler {
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;

    void setPage(const LivePreview::Page& page) {
        page_ = page;
        path_ = page.path.isEmpty() ? QString::fromLatin1(kUnsavedPath) : QDir::cleanPath(QFileInfo(page.path).absoluteFilePath());
        folder_ = page.path.isEmpty() ? QString() : QFileInfo(path_).absoluteDir().canonicalPath();
    }
    QString pagePath() const { return path_; }

    void requestStarted(QWebEngineUrlRequestJob* job) override {
        const QString path = QDir::cleanPath(job->requestUrl().path());
        if (path == path_) {
            auto* buffer = new QBuffer(job);
            buffer->setData(page_.bytes);
            buffer->open(QIODevice::ReadOnly);
            job->reply("text/html;charset=" + page_.charset, buffer);
            return;
        }
        // Only below the page's own folder, symbolic links resolved, nothing hidden or shared.
        const served_files::Decision served = served_files::decide(folder_, path);
        if (served.realPath.isEmpty()) {
            job->fail(served.why == u"not found" ? QWebEngineUrlRequestJob::UrlNotFound : QWebEngineUrlRequestJob::RequestDenied);
            return;
        }
        auto* file = new QFile(served.realPath, job);
        if (!file->open(QIODevice::ReadOnly)) {
            job->fail(QWebEngineUrlRequestJob::RequestDenied);
            return;
        }
        job->reply(QMimeDatabase().mimeTypeForFile(served.realPath).name().toUtf8(), file);
    }

private:
    LivePreview::Page page_;
    QString path_;
    QString folder_;
};

/// Never file: addresses; remote ones only when allowed; the page's folder to scripts only
/// when allowed.
class RequestGuard : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    bool blocksRemote = false;
    bool scriptsReadFiles = false;

    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        const QString scheme = info.requestUrl().scheme();
        const bool ours = scheme == QLatin1String(kScheme) || scheme == QLatin1String(kSharedScheme);
        if (scheme == u"file")
            info.block(true);
        else if (ours && !scriptsReadFiles && readsForAScript(info.resourceType()))
            info.block(true);
        else if (blocksRemote && !ours && scheme != u"data" && scheme != u"blob")
            info.block(true);
    }

private:
    // What a script asks for itself (fetch, XMLHttpRequest, beacons, workers' code), as against
    // what the page's markup loads to show it.
    static bool readsForAScript(QWebEngineUrlRequestInfo::ResourceType type) {
        using Info = QWebEngineUrlRequestInfo;
        switch (type) {
        case Info::ResourceTypeXhr:
        case Info::ResourceTypePing:
        case Info::ResourceTypeWorker:
        case Info::ResourceTypeSharedWorker:
        case Info::ResourceTypeServiceWorker:
        case Info::ResourceTypePrefetch:
        case Info::ResourceTypeObject:
        case Info::ResourceTypePluginResource:
        case Info::ResourceTypeCspReport:
            return true;
        default:
            return false;
        }
    }
};

/// Calls back when a widget is added to the one it watches.
class KeyboardKeeper : public QObject {
public:
    explicit KeyboardKeeper(std::function<void()> childAdded) : childAdded_(std::move(childAdded)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ChildAdded && static_cast<QChildEvent*>(event)->child()->isWidgetType())
            childAdded_();
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> childAdded_;
};

/// A page that stays where the editor put it and opens no windows.
class GuardedPage : public QWebEnginePage {
public:
    GuardedPage(QWebEngineProfile* profile, QObject* parent) : QWebEnginePage(profile, parent) {}

    QUrl expected;
    /// setContent() was called: its data: address is the editor's too, once.
    bool contentPending = false;
    QByteArray token;
    std::function<void(int)> clicked;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override {
        // Frames inside the page load what the guard and the server allow; the page itself only
        // the address the editor gave it.
        if (isMainFrame && contentPending && url.scheme() == u"data") {
            contentPending = false;
            return true;
        }
        return !isMainFrame || url == expected;
    }
    QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString& message, int, const QString&) override {
        if (clicked && message.startsWith(QLatin1String(token))) {
            bool ok = false;
            const int at = message.mid(token.size()).toInt(&ok);
            if (ok)
                clicked(at);
        }
    }
};

class WebLivePreview : public LivePreview {
public:
    explicit WebLivePreview(QWidget* parent) {
        registerScheme();
        view_ = new QWebEngineView(parent);
        view_->setObjectName(QStringLiteral("livePreview"));
        // The pane takes the keyboard only when clicked: showing or following a page leaves it
        // in the text.
        view_->setFocusPolicy(Qt::ClickFocus);
        // The engine makes its drawing widget as a window of its own and then moves it into the
        // pane, which takes the activation from the window (without a window manager, for good):
        // the keyboard goes back to where it was.
        QObject::connect(qApp, &QApplication::focusChanged, view_, [this](QWidget*, QWidget* now) {
            if (now && now != view_ && !view_->isAncestorOf(now))
                keyboard_ = now;
        });
        keyboardKeeper_ = std::make_unique<KeyboardKeeper>([this] {
            // Once the move is over: the widget is told of its new parent before it leaves its
            // own window.
            QTimer::singleShot(0, view_, [this] {
                if (keyboard_ && !QApplication::activeWindow()) {
                    keyboard_->activateWindow();
                    keyboard_->setFocus(Qt::OtherFocusReason);
                }
            });
        });
        view_->installEventFilter(keyboardKeeper_.get());
        // Off the record: nothing of the page is kept on disk.
        profile_ = new QWebEngineProfile;
        profile_->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
        profile_->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
        server_ = new PageServer(profile_);
        profile_->installUrlSchemeHandler(kScheme, server_);
        profile_->installUrlSchemeHandler(kSharedScheme, server_);
        guard_ = new RequestGuard(profile_);
        profile_->setUrlRequestInterceptor(guard_);
        page_ = new GuardedPage(profile_, view_);
        page_->token = "tagloom-" + QByteArray::number(QRandomGenerator::system()->generate64(), 36) + ':';
        page_->clicked = [this](int at) {
            if (elementClicked)
                elementClicked(at);
        };
        QWebEngineSettings* s = page_->settings();
        s->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
        s->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
        s->setAttribute(QWebEngineSettings::PluginsEnabled, false);
        s->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
        s->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);
        QObject::connect(page_, &QWebEnginePage::featurePermissionRequested, page_,
                         [this](const QUrl& origin, QWebEnginePage::Feature feature) {
                             page_->setFeaturePermission(origin, feature, QWebEnginePage::PermissionDeniedByUser);
                         });
        QFile script(QStringLiteral(":/tagloom-preview/preview_script.js"));
        script.open(QIODevice::ReadOnly);
        QWebEngineScript marks;
        marks.setName(QStringLiteral("tagloom-marks"));
        marks.setSourceCode(QString::fromUtf8(script.readAll()).replace(QLatin1String("%TOKEN%"), QString::fromLatin1(page_->token)));
        marks.setInjectionPoint(QWebEngineScript::DocumentCreation);
        marks.setWorldId(QWebEngineScript::ApplicationWorld);
        marks.setRunsOnSubFrames(false);
        page_->scripts().insert(marks);
        view_->setPage(page_);
        QObject::connect(page_, &QWebEnginePage::loadFinished, page_, [this](bool) { loaded(); });
        // A script that never yields would burn a core for as long as the pane shows: the engine
        // is asked for an answer now and then, and a page that gives none in time is stopped.
        watchdog_ = new QTimer(page_);
        watchdog_->setInterval(1000);
        QObject::connect(watchdog_, &QTimer::timeout, page_, [this] { watchScripts(); });
        watchdog_->start();
        QObject::connect(page_, &QWebEnginePage::renderProcessTerminated, page_,
                         [this](QWebEnginePage::RenderProcessTerminationStatus, int) {
                             if (stoppedScript_)
                                 showStopped();
                         });
    }

    ~WebLivePreview() override {
        // The page before its view, and both before their profile, as the engine needs.
        if (view_) {
            delete page_;
            delete view_;
        }
        delete profile_;
    }

    QWidget* widget() override { return view_; }

    void showPage(const Page& page) override {
        const bool samePage = !shownPath_.isNull() && page.path == shownPath_;
        scroll_ = samePage ? page_->scrollPosition() : QPointF();
        shownPath_ = page.path;
        server_->setPage(page);
        QUrl url;
        url.setScheme(QString::fromLatin1(guard_->scriptsReadFiles ? kSharedScheme : kScheme));
        stoppedScript_ = false;
        answered_.start();
        url.setPath(server_->pagePath());
        // A new address each time: the engine never answers from what it showed before.
        url.setQuery(QStringLiteral("v=%1").arg(++serial_));
        page_->expected = url;
        // Handed over whole, a page goes in faster than read through the scheme's server (1.3 s
        // against 1.7 s from key to preview for 870 KB); the engine takes up to 2 MB in base64.
        page_->contentPending = page.bytes.size() <= kLargestHandedOver;
        if (page_->contentPending)
            page_->setContent(page.bytes, "text/html;charset=" + page.charset, url);
        else
            page_->load(url);
    }

    void replaceContent(int element, int editEnd, int delta, const QString& content, const Page& page) override {
        // The content goes over as a JSON string: nothing in it can end the script.
        const QString text = QString::fromUtf8(QJsonDocument(QJsonArray{content}).toJson(QJsonDocument::Compact));
        QPointer<QWebEngineView> alive(view_);
        page_->runJavaScript(QStringLiteral("tagloomPatch(%1, %2, %3, %4[0])").arg(element).arg(editEnd).arg(delta).arg(text),
                             QWebEngineScript::ApplicationWorld, [this, alive, page](const QVariant& done) {
                                 if (!alive)
                                     return;
                                 if (!done.toBool())
                                     showPage(page);
                                 else if (pageShown)
                                     pageShown();
                             });
    }

    void outlineElement(int sourcePosition) override {
        outlined_ = sourcePosition;
        page_->runJavaScript(QStringLiteral("tagloomOutline(%1)").arg(sourcePosition), QWebEngineScript::ApplicationWorld);
    }

    void setRunsJavaScript(bool on) override {
        page_->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, on);
    }
    void setBlocksRemoteContent(bool on) override { guard_->blocksRemote = on; }
    void setScriptsReadSiteFiles(bool on) override { guard_->scriptsReadFiles = on; }

    void evaluate(const QString& script, const std::function<void(const QVariant&)>& result) override {
        page_->runJavaScript(script, QWebEngineScript::ApplicationWorld, result);
    }

private:
    void watchScripts() {
        if (!answered_.isValid() || stoppedScript_ || !view_ || !view_->isVisible())
            return;
        if (asking_) {
            if (answered_.elapsed() > kLongestScriptMs)
                stopScript();
            return;
        }
        asking_ = true;
        QPointer<QWebEngineView> alive(view_);
        page_->runJavaScript(QStringLiteral("0"), QWebEngineScript::ApplicationWorld, [this, alive](const QVariant&) {
            if (!alive)
                return;
            asking_ = false;
            answered_.start();
        });
    }

    void stopScript() {
        stoppedScript_ = true;
        asking_ = false;
#ifdef Q_OS_UNIX
        if (const qint64 pid = page_->renderProcessPid(); pid > 0)
            ::kill(pid_t(pid), SIGKILL); // the engine makes a new one for the next page
#else
        page_->triggerAction(QWebEnginePage::Stop);
        showStopped();
#endif
    }

    void showStopped() {
        page_->contentPending = true;
        page_->setHtml(QStringLiteral("<!DOCTYPE html><html><body style=\"font: 10pt sans-serif; margin: 2em\">"
                                      "<p id=tagloom-stopped>The page's script ran for %1 seconds without a pause, so "
                                      "the preview stopped it. The preview starts again with your next change.</p>"
                                      "</body></html>")
                           .arg(kLongestScriptMs / 1000));
    }

    void loaded() {
        QPointer<QWebEngineView> alive(view_);
        page_->runJavaScript(QStringLiteral("window.scrollTo(%1, %2); tagloomOutline(%3)")
                                 .arg(scroll_.x())
                                 .arg(scroll_.y())
                                 .arg(outlined_),
                             QWebEngineScript::ApplicationWorld, [this, alive](const QVariant&) {
                                 if (alive && pageShown)
                                     pageShown();
                             });
    }

    QPointer<QWebEngineView> view_;
    QWebEngineProfile* profile_ = nullptr;
    PageServer* server_ = nullptr;
    RequestGuard* guard_ = nullptr;
    GuardedPage* page_ = nullptr;
    QString shownPath_;
    QPointF scroll_;
    int outlined_ = -1;
    quint64 serial_ = 0;
    QTimer* watchdog_ = nullptr;
    std::unique_ptr<KeyboardKeeper> keyboardKeeper_;
    QPointer<QWidget> keyboard_; ///< where the keyboard was last, outside the pane
    QElapsedTimer answered_; ///< since the engine last answered, or the page was given
    bool asking_ = false;
    bool stoppedScript_ = false;
};
} // namespace

LivePreview* WebLivePreviewPlugin::create(QWidget* parent) {
    return new WebLivePreview(parent);
}
