// The live preview with its real engine, in an X server (run_under_x.sh): typing shows in the
// pane, the caret's element is outlined, Ctrl+click moves the caret, a Latin-1 page shows its
// characters, and the page reads nothing outside its folder.
#include "app/live_preview_host.h"
#include "app/main_window.h"
#include "editor/edit_area.h"
#include "preview/live_preview.h"
#include "support/scripted_dialogs.h"
#include "support/test_files.h"

#include <QAction>
#include <QElapsedTimer>
#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <unistd.h>

namespace {
class LivePreviewTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    ScriptedDialogs dialogs_;
    std::unique_ptr<MainWindow> window_;
    int shown_ = 0;

    LivePreview* pane() const { return window_->livePreview()->pane(); }

    QVariant evaluate(const QString& script) {
        QVariant out;
        bool done = false;
        pane()->evaluate(script, [&](const QVariant& value) {
            out = value;
            done = true;
        });
        if (!QTest::qWaitFor([&] { return done; }, 10000))
            qWarning("no answer to %s", qPrintable(script));
        return out;
    }

    // Shows the preview of @p page (opened from a file when @p path is given) and waits for it.
    bool showPreviewOf(const QString& page, const QString& path = {}) {
        if (path.isEmpty())
            window_->editArea()->setText(page);
        else if (!window_->openInTab(path))
            return false;
        const int before = shown_;
        QAction* item = window_->action(QStringLiteral("livePreview"));
        if (!item->isChecked())
            item->trigger();
        if (!window_->livePreview() || !pane())
            return false;
        pane()->pageShown = [this] { ++shown_; };
        window_->livePreview()->follow();
        return QTest::qWaitFor([&] { return shown_ > before; }, 30000);
    }

    bool stoppedShown() {
        // A page in a loop answers late or never: the answer must outlive this call.
        auto stopped = std::make_shared<int>(-1);
        pane()->evaluate(QStringLiteral("document.getElementById('tagloom-stopped') !== null"),
                         [stopped](const QVariant& v) { *stopped = v.toBool(); });
        return QTest::qWaitFor([&] { return *stopped >= 0; }, 1000) && *stopped == 1;
    }

private slots:
    void init() {
        window_ = std::make_unique<MainWindow>(dialogs_, nullptr, dir_.filePath(QStringLiteral("recovery")));
        window_->resize(1000, 700);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    }
    void cleanup() { window_.reset(); }

    void typingShowsInThePreview() {
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
        window_->editArea()->setFocus();
        QCOMPARE(QApplication::focusWidget(), window_->editArea());
        QVERIFY(showPreviewOf(QStringLiteral(
            "<!DOCTYPE html><html><body><p id=t>Hello</p>"
            "<script>document.body.dataset.seen = document.documentElement.outerHTML.includes('data-tagloom-' + 'at');</script>"
            "</body></html>")));
        EditArea* area = window_->editArea();
        area->setCaretPosition(int(area->text().indexOf(QStringLiteral("</p>"))));
        const int before = shown_;
        QTest::keyClicks(area, QStringLiteral(" world"));
        QVERIFY(QTest::qWaitFor([&] { return shown_ > before; }, 10000));
        QCOMPARE(evaluate(QStringLiteral("document.getElementById('t').textContent")).toString(), QStringLiteral("Hello world"));
        // Opening and following the preview leaves the keyboard in the text.
        QTRY_COMPARE(QApplication::focusWidget(), area);
        // The page's own script never saw a source mark, and none is left in the page.
        QCOMPARE(evaluate(QStringLiteral("document.body.dataset.seen")).toString(), QStringLiteral("false"));
        QCOMPARE(evaluate(QStringLiteral("document.querySelectorAll('[data-tagloom-at]').length")).toInt(), 0);
    }

    // Edits inside an element change the page in place; after each, the page must be what
    // loading the text afresh gives, and the marks after the edit must still find their elements.
    void editsInPlaceMatchAFreshLoad() {
        QVERIFY(showPreviewOf(QStringLiteral(
            "<!DOCTYPE html><html><body><div id=a><p>one</p><p>two <i>x</i></p></div>"
            "<ul><li>a<li>b</ul><table><tr><td>1<td>2</table><p id=last>end <em>e</em></p></body></html>")));
        EditArea* area = window_->editArea();
        struct Edit {
            const char* after; // the edit goes after the first of these
            int remove;
            const char* insert;
        };
        const Edit edits[] = {
            {"one", 0, " more"},             // text
            {"two ", 0, "<b>bold</b> "},     // an element comes in
            {"<p id=last", 0, " class=c"},   // an attribute: the element around it takes the patch
            {"bold</b> ", 8, ""},            // an element goes
            {"<li>b", 0, "<li>c"},           // an implied end moves: the list takes the patch
            {"<td>1", 0, "<td>1.5"},         // a cell in a table
            {"<div id=a>", 0, "<p>new"},     // an unclosed p
        };
        for (const Edit& edit : edits) {
            const QString text = area->text();
            const int at = int(text.indexOf(QLatin1String(edit.after))) + int(qstrlen(edit.after));
            QVERIFY2(at >= int(qstrlen(edit.after)), edit.after);
            area->setCaretPosition(at);
            area->setSelectionLength(edit.remove);
            const int before = shown_;
            evaluate(QStringLiteral("window.notReloaded = true"));
            area->replaceSelection(QString::fromLatin1(edit.insert));
            QVERIFY(QTest::qWaitFor([&] { return shown_ > before; }, 10000));
            QVERIFY2(evaluate(QStringLiteral("window.notReloaded === true")).toBool(), edit.insert);
            // Line ends after </html> go into the body of a page loaded afresh, never of one patched.
            const QString body = QStringLiteral("document.body.outerHTML.replace(/\\s+<\\/body>$/, '</body>')");
            const QString patched = evaluate(body).toString();
            const int reloaded = shown_;
            window_->livePreview()->follow();
            QVERIFY(QTest::qWaitFor([&] { return shown_ > reloaded; }, 10000));
            QCOMPARE(patched, evaluate(body).toString());
        }
        // The marks moved with the edits: the last element is found where it now starts.
        const int em = int(area->text().indexOf(QStringLiteral("<em>")));
        const int before = shown_;
        area->setCaretPosition(int(area->text().indexOf(QStringLiteral("one"))));
        QTest::keyClicks(area, QStringLiteral("1"));
        QVERIFY(QTest::qWaitFor([&] { return shown_ > before; }, 10000));
        area->setCaretPosition(em + 1 + 5);
        QVERIFY(QTest::qWaitFor([&] { return evaluate(QStringLiteral("tagloomOutlined()")).toInt() == em + 1; }, 10000));
    }

    void thePaneFollowsTheActiveTab() {
        QVERIFY(showPreviewOf(QStringLiteral("<p id=t>first</p>")));
        const auto shownText = [&] { return evaluate(QStringLiteral("document.getElementById('t').textContent")).toString(); };
        int before = shown_;
        window_->newTab();
        window_->editArea()->setText(QStringLiteral("<p id=t>second</p>"));
        QVERIFY(QTest::qWaitFor([&] { return shown_ > before && shownText() == u"second"; }, 10000));
        before = shown_;
        window_->previousTab();
        QVERIFY(QTest::qWaitFor([&] { return shown_ > before && shownText() == u"first"; }, 10000));
    }

    void theCaretsElementIsOutlined() {
        const QString page = QStringLiteral("<!DOCTYPE html><html><body><p>one</p>\r\n") +
                             QStringLiteral("<p>filler</p>\r\n").repeated(200) +
                             QStringLiteral("<p>two <em>three</em></p></body></html>");
        QVERIFY(showPreviewOf(page));
        const int em = int(page.indexOf(QStringLiteral("<em>")));
        window_->editArea()->setCaretPosition(em + 5);
        QVERIFY(QTest::qWaitFor([&] { return evaluate(QStringLiteral("tagloomOutlined()")).toInt() == em; }, 10000));
        // Scrolled into view, far down the page.
        QVERIFY(evaluate(QStringLiteral("window.scrollY")).toDouble() > 100);
        QCOMPARE(window_->livePreview()->outlined(), em);
    }

    void ctrlClickPutsTheCaretOnTheElement() {
        const QString page = QStringLiteral("<!DOCTYPE html><html><body><h1>Title</h1><p>text <b id=b>bold</b></p></body></html>");
        QVERIFY(showPreviewOf(page));
        const int bold = int(page.indexOf(QStringLiteral("<b ")));
        const QVariantList centre = evaluate(QStringLiteral("tagloomCentre(%1)").arg(bold)).toList();
        QCOMPARE(centre.size(), 2);
        QWidget* view = pane()->widget()->focusProxy() ? pane()->widget()->focusProxy() : pane()->widget();
        const QPoint point(int(centre[0].toDouble()), int(centre[1].toDouble()));
        QTest::mouseClick(view, Qt::LeftButton, Qt::ControlModifier, point);
        QVERIFY(QTest::qWaitFor([&] { return window_->editArea()->selectionStart() == bold; }, 10000));
        // A click without Ctrl is the page's own.
        window_->editArea()->setCaretPosition(0);
        QTest::mouseClick(view, Qt::LeftButton, Qt::NoModifier, point);
        QTest::qWait(300);
        QCOMPARE(window_->editArea()->selectionStart(), 0);
    }

    void aLatin1PageShowsItsCharacters() {
        const QString path = dir_.filePath(QStringLiteral("latin1.html"));
        QVERIFY(test_files::writeBytes(path, "<!DOCTYPE html><html><head><meta charset=\"iso-8859-1\"></head>"
                                             "<body><p id=t>caf\xE9 \xE0 la cr\xE8me</p></body></html>\r\n"));
        QVERIFY(showPreviewOf({}, path));
        QCOMPARE(evaluate(QStringLiteral("document.getElementById('t').textContent")).toString(),
                 QString::fromUtf8("café à la crème"));
        QCOMPARE(evaluate(QStringLiteral("document.characterSet")).toString().toLower(), QStringLiteral("windows-1252"));
    }

    // Relative addresses load from the page's folder and below, and nothing beyond it does.
    void thePageReadsOnlyItsFolder() {
        QDir(dir_.path()).mkpath(QStringLiteral("site/img"));
        QDir(dir_.path()).mkpath(QStringLiteral("img"));
        const QByteArray png = test_files::readBytes(QStringLiteral(TAGLOOM_SOURCE_DIR "/assets/icons/tagloom-16.png"));
        QVERIFY(!png.isEmpty());
        QVERIFY(test_files::writeBytes(dir_.filePath(QStringLiteral("site/img/in.png")), png));
        QVERIFY(test_files::writeBytes(dir_.filePath(QStringLiteral("out.png")), png));
        const QString path = dir_.filePath(QStringLiteral("site/page.html"));
        QVERIFY(test_files::writeBytes(path, "<!DOCTYPE html><html><body><img id=in src=\"img/in.png\">"
                                             "<img id=out src=\"../out.png\"><img id=file src=\"file://" +
                                                 dir_.filePath(QStringLiteral("out.png")).toUtf8() + "\"></body></html>"));
        QVERIFY(showPreviewOf({}, path));
        // -1 until the image has loaded or failed.
        const auto width = [&](const char* id) {
            return evaluate(QStringLiteral("(i => i.complete ? i.naturalWidth : -1)(document.getElementById('%1'))")
                                .arg(QLatin1String(id)))
                .toInt();
        };
        QVERIFY(QTest::qWaitFor([&] { return width("in") >= 0 && width("out") >= 0 && width("file") >= 0; }, 10000));
        QCOMPARE(width("in"), 16);
        QCOMPARE(width("out"), 0);
        QCOMPARE(width("file"), 0);
        // Saved one folder up, the page reads from there: its img/in.png is another image.
        QVERIFY(test_files::writeBytes(dir_.filePath(QStringLiteral("img/in.png")),
                                       test_files::readBytes(QStringLiteral(TAGLOOM_SOURCE_DIR "/assets/icons/tagloom-32.png"))));
        const int before = shown_;
        dialogs_.answer(dir_.filePath(QStringLiteral("moved.html")));
        QVERIFY(window_->saveAs());
        QVERIFY(QTest::qWaitFor([&] { return shown_ > before; }, 10000));
        QVERIFY(QTest::qWaitFor([&] { return width("in") > 0; }, 10000));
        QCOMPARE(width("in"), 32);
    }

    // A page's scripts read no file, as in a browser with a page opened from disk: not a file of
    // the folder, not a hidden one, not a second name of a file outside; by fetch or in a frame.
    // The page's own style sheet and image still load. With the option, scripts may read the
    // folder's plain files, and still nothing hidden or linked from outside.
    void aPagesScriptsReadNoFile_data() {
        QTest::addColumn<bool>("scriptsRead");
        QTest::addColumn<QString>("read");
        QTest::newRow("by default") << false << R"({"secret.txt":"refused",".ssh/id_rsa":"refused","linked.txt":"refused","frame":"refused"})";
        QTest::newRow("scripts read site files") << true << R"({"secret.txt":"SECRET",".ssh/id_rsa":"refused","linked.txt":"refused","frame":"SECRET"})";
    }
    void aPagesScriptsReadNoFile() {
        QFETCH(bool, scriptsRead);
        QFETCH(QString, read);
        QTemporaryDir top;
        const QString site = top.filePath(QStringLiteral("site"));
        QVERIFY(QDir().mkpath(site + QStringLiteral("/.ssh")));
        QVERIFY(test_files::writeBytes(site + QStringLiteral("/secret.txt"), "SECRET"));
        QVERIFY(test_files::writeBytes(site + QStringLiteral("/.ssh/id_rsa"), "KEY"));
        QVERIFY(QFile::setPermissions(site + QStringLiteral("/.ssh/id_rsa"), QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QVERIFY(test_files::writeBytes(top.filePath(QStringLiteral("outside.txt")), "OUTSIDE"));
        QVERIFY(::link(QFile::encodeName(top.filePath(QStringLiteral("outside.txt"))).constData(),
                       QFile::encodeName(site + QStringLiteral("/linked.txt")).constData()) == 0);
        QVERIFY(test_files::writeBytes(site + QStringLiteral("/style.css"),
                                       "@font-face { font-family: Own; src: url(own.ttf) } p { color: rgb(1, 2, 3); font-family: Own }"));
        QVERIFY(QFile::copy(QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"), site + QStringLiteral("/own.ttf")));
        QVERIFY(test_files::writeBytes(site + QStringLiteral("/in.png"),
                                       test_files::readBytes(QStringLiteral(TAGLOOM_SOURCE_DIR "/assets/icons/tagloom-16.png"))));
        const QString path = site + QStringLiteral("/page.html");
        QVERIFY(test_files::writeBytes(path, R"(<!DOCTYPE html><html><head><link rel=stylesheet href="style.css"></head><body>
<p id=p>text</p><img id=in src="in.png"><pre id=out></pre>
<iframe id=f src="secret.txt"></iframe>
<script>
const got = {};
const show = () => { document.getElementById('out').textContent = JSON.stringify(got); };
const names = ['secret.txt', '.ssh/id_rsa', 'linked.txt'];
names.forEach(n => got[n] = 'waiting');
got.frame = 'waiting';
const answer = (n, text) => { got[n] = text; show(); };
names.forEach(n => {
    const request = new XMLHttpRequest();
    request.onload = () => answer(n, request.status == 200 || request.status == 0 ? request.responseText : 'refused');
    request.onerror = () => answer(n, 'refused');
    try { request.open('GET', n); request.send(); } catch (e) { answer(n, 'refused'); }
});
document.getElementById('f').onload = function () {
    try { answer('frame', this.contentDocument.body.textContent); } catch (e) { answer('frame', 'refused'); }
};
</script></body></html>)"));
        if (scriptsRead)
            window_->action(QStringLiteral("previewScriptsReadSiteFiles"))->trigger();
        QVERIFY(showPreviewOf({}, path));
        const auto outcome = [&] { return evaluate(QStringLiteral("document.getElementById('out').textContent")).toString(); };
        QVERIFY2(QTest::qWaitFor([&] { return !outcome().isEmpty() && !outcome().contains(QStringLiteral("waiting")); }, 15000),
                 qPrintable(outcome()));
        QCOMPARE(outcome(), read);
        QCOMPARE(evaluate(QStringLiteral("getComputedStyle(document.getElementById('p')).color")).toString(),
                 QStringLiteral("rgb(1, 2, 3)"));
        QVERIFY(QTest::qWaitFor([&] { return evaluate(QStringLiteral("document.getElementById('in').naturalWidth")).toInt() == 16; }, 10000));
        const auto font = [&] { return evaluate(QStringLiteral("[...document.fonts].map(f => f.status).join()")).toString(); };
        QVERIFY2(QTest::qWaitFor([&] { return font() == u"loaded"; }, 10000), qPrintable(font()));
        if (scriptsRead)
            window_->action(QStringLiteral("previewScriptsReadSiteFiles"))->trigger();
    }

    // A script that never yields is stopped after a few seconds, and the pane says so.
    void aScriptThatNeverYieldsIsStopped() {
        const QString path = dir_.filePath(QStringLiteral("loop.html"));
        QVERIFY(test_files::writeBytes(path, "<!DOCTYPE html><html><body><p>x</p><script>for (;;) {}</script></body></html>"));
        const int before = shown_;
        QVERIFY(window_->openInTab(path));
        QAction* item = window_->action(QStringLiteral("livePreview"));
        if (!item->isChecked())
            item->trigger();
        QVERIFY(window_->livePreview() && pane());
        pane()->pageShown = [this] { ++shown_; };
        window_->livePreview()->follow();
        QElapsedTimer clock;
        clock.start();
        QVERIFY(QTest::qWaitFor([&] { return shown_ > before && stoppedShown(); }, 30000));
        QVERIFY(clock.elapsed() < 15000);
    }
};
} // namespace

int main(int argc, char* argv[]) {
    // The engine draws in software here.
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu --disable-background-networking --disable-component-update");
    qputenv("TAGLOOM_PREVIEW_PLUGIN", TAGLOOM_PREVIEW_PLUGIN_FILE);
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    QSettings().clear();
    LivePreviewTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_live_preview.moc"
