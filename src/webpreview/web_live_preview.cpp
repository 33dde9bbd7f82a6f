// The live preview, with Qt WebEngine. The page is served from memory under a scheme of our own,
// at its file's path, so that relative addresses resolve in its folder; the same scheme serves the
// files of that folder and below, and nothing else. The page cannot open windows, navigate away,
// or read file: addresses, and remote content can be blocked.
#include "web_live_preview.h"

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

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {
const QByteArray kScheme = QByteArrayLiteral("tagloom-page");
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
        QWebEngineUrlScheme scheme(kScheme);
        scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
        // Secure, so that a page's https content is not mixed content; fetch() reaches its folder.
        scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::CorsEnabled);
        QWebEngineUrlScheme::registerScheme(scheme);
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
        // Only below the page's own folder, symbolic links resolved.
        const QString real = QFileInfo(path).canonicalFilePath();
        if (folder_.isEmpty() || real.isEmpty() || !real.startsWith(folder_ + u'/')) {
            job->fail(real.isEmpty() ? QWebEngineUrlRequestJob::UrlNotFound : QWebEngineUrlRequestJob::RequestDenied);
            return;
        }
        auto* file = new QFile(real, job);
        if (!QFileInfo(real).isFile() || !file->open(QIODevice::ReadOnly)) {
            job->fail(QWebEngineUrlRequestJob::RequestDenied);
            return;
        }
        job->reply(QMimeDatabase().mimeTypeForFile(real).name().toUtf8(), file);
    }

private:
    LivePreview::Page page_;
    QString path_;
    QString folder_;
};

/// Never file: addresses; remote ones only when allowed.
class RequestGuard : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    bool blocksRemote = false;

    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        const QString scheme = info.requestUrl().scheme();
        if (scheme == u"file")
            info.block(true);
        else if (blocksRemote && scheme != QLatin1String(kScheme) && scheme != u"data" && scheme != u"blob")
            info.block(true);
    }
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
        // Off the record: nothing of the page is kept on disk.
        profile_ = new QWebEngineProfile;
        profile_->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
        profile_->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
        server_ = new PageServer(profile_);
        profile_->installUrlSchemeHandler(kScheme, server_);
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
        url.setScheme(QString::fromLatin1(kScheme));
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

    void evaluate(const QString& script, const std::function<void(const QVariant&)>& result) override {
        page_->runJavaScript(script, QWebEngineScript::ApplicationWorld, result);
    }

private:
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
};
} // namespace

LivePreview* WebLivePreviewPlugin::create(QWidget* parent) {
    return new WebLivePreview(parent);
}
