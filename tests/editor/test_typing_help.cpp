#include "base/regular_file.h"
#include "editor/completer.h"
#include "document/document_file.h"
#include "editor/edit_area.h"
#include "editor/format_document.h"
#include "support/test_files.h"
#include "typing/completion.h"
#include "typing/css_colour.h"

#include <QApplication>
#include <QClipboard>
#include <QRegularExpression>
#include <QTest>
#include <QToolTip>
#include <QHelpEvent>
#include <QImage>
#include <QFileInfo>
#include <QDir>
#include <QTemporaryDir>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {
// Text typed into a shown edit area: `|` in @p keys stands for Enter, `~` for Tab, `^` for Escape.
void type(EditArea& area, const QString& keys) {
    for (const QChar c : keys) {
        if (c == u'|')
            QTest::keyClick(&area, Qt::Key_Return);
        else if (c == u'~')
            QTest::keyClick(&area, Qt::Key_Tab);
        else if (c == u'^')
            QTest::keyClick(&area, Qt::Key_Escape);
        else if (c == u'\b')
            QTest::keyClick(&area, Qt::Key_Backspace);
        else
            QTest::keyClicks(&area, QString(c));
    }
}

// Loads @p marked, where `{` and `}` mark the selection (`{` alone: the caret), and gives the
// text without the marks.
QString loadMarked(EditArea& area, const QString& marked) {
    const qsizetype from = marked.indexOf(u'{');
    QString text = marked;
    text.remove(u'{');
    const qsizetype to = text.indexOf(u'}');
    text.remove(u'}');
    area.loadText(text);
    area.setCaretPosition(int(from));
    if (to >= 0)
        area.setSelectionLength(int(to - from));
    return text;
}

// The text with the selection marked as loadMarked() reads it.
QString marked(const EditArea& area) {
    QString shown = area.text();
    const int start = area.selectionStart(), length = area.selectionLength();
    if (length > 0)
        shown.insert(start + length, u'}');
    shown.insert(start, u'{');
    return shown;
}

// The text with `|` where the caret is.
QString withCaret(const EditArea& area) {
    QString text = area.text();
    return text.insert(area.selectionStart(), u'|');
}

// How a table of the list is read: the text's language, the page's folder, and whether the
// first entries offered must come in the order the row gives.
struct ListCheck {
    Language language = Language::Html;
    QString folder;
    bool inOrder = false;
    completion::PageNames siteNames = {};
};

// The row of a table of what the list offers as keys are typed.
void checkWhatTheListOffers(const ListCheck& how) {
    QFETCH(QString, before);
    QFETCH(QString, keys);
    QFETCH(QString, after);
    QFETCH(QString, offered);
    QFETCH(QString, notOffered);
    EditArea area;
    area.setLanguage(how.language);
    area.setDocumentFolder(how.folder);
    area.setSiteNames([names = how.siteNames] { return names; });
    area.resize(600, 300);
    area.show();
    area.loadText(before);
    area.moveCursor(QTextCursor::End);
    type(area, keys);
    QCOMPARE(withCaret(area), after);
    const QStringList shown = area.completer()->shownLabels();
    if (how.inOrder && !offered.isEmpty())
        QCOMPARE(shown.mid(0, int(offered.count(u',')) + 1), offered.split(u','));
    for (const QString& name : offered.split(u',', Qt::SkipEmptyParts))
        QVERIFY2(shown.contains(name), qPrintable(name + QStringLiteral(" in ") + shown.mid(0, 20).join(u' ')));
    for (const QString& name : notOffered.split(u',', Qt::SkipEmptyParts))
        QVERIFY2(!shown.contains(name), qPrintable(name));
    if (offered.isEmpty() && !keys.contains(u'|') && notOffered.isEmpty())
        QVERIFY2(shown.isEmpty(), qPrintable(shown.mid(0, 5).join(u' ')));
}

class TypingHelpTest : public QObject {
    Q_OBJECT
private slots:
    void theListOffersWhatFitsAndEnterTakesIt_data() {
        QTest::addColumn<QString>("before"); // already in the page, the caret at its end
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("offered"); // among the entries shown at the end ("" for no list)
        QTest::addColumn<QString>("notOffered");
        QTest::newRow("element") << "" << "<ta|" << "<table|" << "" << "";
        QTest::newRow("element, Tab") << "<p>" << "<str~" << "<p><strong|" << "" << "";
        QTest::newRow("attribute with a value") << "" << "<a hr|" << "<a href=\"|\"" << "" << "";
        QTest::newRow("attribute without one") << "" << "<input disa|" << "<input disabled|" << "" << "";
        QTest::newRow("value list after the attribute") << "" << "<input ty|" << "<input type=\"|\"" << "checkbox"
                                                        << "";
        QTest::newRow("value") << "" << "<input type=\"chec|" << "<input type=\"checkbox|" << "" << "";
        QTest::newRow("value after =, quotes come along") << "" << "<form method=po|" << "<form method=\"post\"|"
                                                          << "" << "";
        QTest::newRow("required attribute") << "" << "<img|" << "<img src=\"|\" alt=\"\"" << "" << "";
        // The quotes a completion put are stepped over when typed, and Tab goes from value to value.
        QTest::newRow("a typed closing quote steps over") << "" << "<a hr|x.html\">link" << "<a href=\"x.html\">link|"
                                                          << "" << "";
        QTest::newRow("Tab to the next value, then past") << "" << "<img|logo.png~Logo~>" << "<img src=\"logo.png\" alt=\"Logo\">|"
                                                          << "" << "";
        QTest::newRow("quote, then Tab from the last value") << "" << "<img|a.png\"~b~ " << "<img src=\"a.png\" alt=\"b\" |"
                                                             << "" << "";
        QTest::newRow("Escape ends the places") << "" << "<img|^~" << "<img src=\"\t|\" alt=\"\"" << "" << "";
        QTest::newRow("a quote the user typed is no place") << "<p title=\"a" << "\"\"" << "<p title=\"a\"\"|" << "" << "";
        QTest::newRow("reference") << "" << "&nbs|" << "&nbsp;|" << "" << "";
        QTest::newRow("reference in a value") << "" << "<a title=\"&copy|" << "<a title=\"&copy;|" << "" << "";
        QTest::newRow("attributes of the element, none obsolete") << "" << "<img " << "<img |" << "alt,srcset,id"
                                                                  << "align,border,hspace,bgcolor";
        QTest::newRow("attributes it has are not offered again") << "" << "<a href=\"x\" " << "<a href=\"x\" |"
                                                                 << "target" << "href";
        QTest::newRow("no obsolete element") << "" << "<ce" << "<ce|" << "" << "center";
        QTest::newRow("subsequence after prefix") << "" << "<tx" << "<tx|" << "textarea" << "";
        QTest::newRow("Escape closes") << "" << "<ta^|" << "<ta\r\n|" << "" << "";
        QTest::newRow("nothing in a comment") << "<!-- " << "<a " << "<!-- <a |" << "" << "";
        QTest::newRow("nothing in a script") << "<script>if (a " << "<b && c " << "<script>if (a <b && c |" << ""
                                             << "";
        QTest::newRow("no element list right after < in a script") << "<script>if (a " << "<" << "<script>if (a <|"
                                                                    << "" << "";
        QTest::newRow("a script goes on after an end tag whose name runs on")
            << "<script>x = 1 </scripts> " << "<b" << "<script>x = 1 </scripts> <b|" << "" << "";
        QTest::newRow("a property in a style element") << "<style>\r\nh1 { " << "col" << "<style>\r\nh1 { col|" << "color"
                                                      << "";
        QTest::newRow("a value in a style attribute") << "<p style=\"color: " << "red|" << "<p style=\"color: red|" << ""
                                                     << "";
        QTest::newRow("a style sheet's name ends at ;") << "<style>a { " << "col;" << "<style>a { col;|" << "" << "";
        QTest::newRow("no CSS in text that speaks of style") << "<p>style " << "col" << "<p>style col|" << "" << "";
        QTest::newRow("nothing in an end tag") << "<p>x" << "</p " << "<p>x</p |" << "" << "";
        QTest::newRow("nothing for text") << "<p>" << "one two = \"three\" " << "<p>one two = \"three\" |" << ""
                                          << "";
        QTest::newRow("a tag over two lines") << "<a href=\"x\"\r\n" << "  cla|" << "<a href=\"x\"\r\n  class=\"|\""
                                              << "" << "";
        QTest::newRow("in a long line held in pieces")
            << QStringLiteral("<p>") + QString(9000, u'x') << "<i cla|"
            << QStringLiteral("<p>") + QString(9000, u'x') + QStringLiteral("<i class=\"|\"") << "" << "";
        QTest::newRow("after a page of script")
            << QStringLiteral("<script>\r\n") + QStringLiteral("if (a<b) x = '<p ';\r\n").repeated(3000) +
                   QStringLiteral("</script>\r\n")
            << "<sp|"
            << QStringLiteral("<script>\r\n") + QStringLiteral("if (a<b) x = '<p ';\r\n").repeated(3000) +
                   QStringLiteral("</script>\r\n<span|")
            << "" << "";
    }

    void theListOffersWhatFitsAndEnterTakesIt() { checkWhatTheListOffers({Language::Html, {}, false}); }

    // In a style sheet: properties where declarations go, then their values (keywords, named
    // colours, functions with the caret inside), at-rules and pseudo-classes in selectors.
    void styleSheetsGetCssHelp_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("offered");
        QTest::addColumn<QString>("notOffered");
        QTest::newRow("a property") << "a {\r\n  " << "disp|" << "a {\r\n  display: |" << "block,flex" << "";
        QTest::newRow("its value") << "a { display: " << "fl" << "a { display: fl|" << "flex,inline-flex" << "block";
        QTest::newRow("a colour") << "a { color: " << "rebe|" << "a { color: rebeccapurple|" << "" << "";
        QTest::newRow("a colour function") << "a { background-color: " << "rg|" << "a { background-color: rgb(|)" << "" << "";
        QTest::newRow("values every property takes") << "a { width: " << "inh" << "a { width: inh|" << "inherit" << "";
        QTest::newRow("an at-rule") << "" << "@med|" << "@media |" << "" << "";
        QTest::newRow("a pseudo-class") << "a" << ":hov|" << "a:hover|" << "" << "";
        QTest::newRow("a pseudo-element") << "p" << "::bef" << "p::bef|" << "::before" << ":hover";
        QTest::newRow("the next property after a declaration") << "a { color: red; " << "mar" << "a { color: red; mar|"
                                                                << "margin,margin-top" << "red";
        QTest::newRow("nothing in a comment") << "/* " << "col" << "/* col|" << "" << "";
        QTest::newRow("nothing in a string") << "a { content: \"" << "bl" << "a { content: \"bl|" << "" << "";
        QTest::newRow("nothing for numbers") << "a { margin: " << "12" << "a { margin: 12|" << "" << "";
        QTest::newRow("Escape closes") << "a { " << "col^" << "a { col|" << "" << "";
    }
    void styleSheetsGetCssHelp() { checkWhatTheListOffers({Language::Css, {}, false}); }

    // Paths of the site, from the page's folder: folders first (accepting one lists what it
    // holds), in src, href, srcset, CSS url() and @import; nothing hidden, nothing for addresses.
    void pathsOfTheSiteAreOffered_data() {
        QTest::addColumn<bool>("css");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("offered");
        QTest::addColumn<QString>("notOffered");
        QTest::newRow("a folder, then what it holds") << false << "<img src=" << "\"i|" << "<img src=\"img/|"
                                                      << "bg.jpg,bg.jpg  + width and height,logo.png" << "about.html";
        QTest::newRow("a file") << false << "<a href=" << "\"ab|" << "<a href=\"about.html|" << "" << "";
        QTest::newRow("folders first") << false << "<a href=" << "\"" << "<a href=\"|" << "css/,img/,a b.html,about.html" << ".hidden";
        QTest::newRow("the next of a srcset") << false << "<img srcset=\"img/logo.png 1x" << ", img/b|"
                                              << "<img srcset=\"img/logo.png 1x, img/bg.jpg|" << "" << "";
        QTest::newRow("a url() in a style sheet") << true << "body { background: url(" << "img/l|"
                                                  << "body { background: url(img/logo.png|" << "" << "";
        QTest::newRow("an @import") << true << "@import \"" << "c|" << "@import \"css/|" << "site.css" << "";
        QTest::newRow("nothing for an address") << false << "<a href=\"https:/" << "/i" << "<a href=\"https://i|" << ""
                                                << "";
        QTest::newRow("nothing outside a path attribute") << false << "<p title=\"" << "i" << "<p title=\"i|" << "" << "";
    }
    void pathsOfTheSiteAreOffered() {
        QFETCH(bool, css);
        QTemporaryDir site;
        for (const char* name : {"img/logo.png", "img/bg.jpg", "css/site.css", "about.html", ".hidden", "a b.html"}) {
            QDir(site.path()).mkpath(QFileInfo(site.filePath(QString::fromLatin1(name))).path());
            QVERIFY(test_files::writeBytes(site.filePath(QString::fromLatin1(name)), "x"));
        }
        // A name that needs escaping in an address is written so.
        completion::Context context;
        context.kind = completion::Kind::Path;
        const std::vector<completion::Item> items = completion::pathItems(site.path(), context);
        QVERIFY(std::any_of(items.begin(), items.end(), [](const completion::Item& i) { return i.text == u"a%20b.html"; }));
        // The rows, with the page in that folder.
        checkWhatTheListOffers({css ? Language::Css : Language::Html, site.path(), true});
    }

    // A colour written in a style sheet is read in each of its forms, and a new one is written
    // back in the form the old one had.
    void cssColoursAreWrittenBackInTheirForm_data() {
        QTest::addColumn<QString>("written");
        QTest::addColumn<QColor>("read");
        QTest::addColumn<QColor>("chosen");
        QTest::addColumn<QString>("rewritten");
        QTest::newRow("#rgb") << "#fff" << QColor(255, 255, 255) << QColor(255, 0, 0) << "#f00";
        QTest::newRow("#rgb, a colour it cannot hold") << "#FFF" << QColor(255, 255, 255) << QColor(18, 52, 86) << "#123456";
        QTest::newRow("#rrggbb in capitals") << "#A1B2C3" << QColor(0xA1, 0xB2, 0xC3) << QColor(0, 0x80, 0xFF) << "#0080FF";
        QTest::newRow("#rrggbbaa") << "#11223380" << QColor(0x11, 0x22, 0x33, 0x80) << QColor(0x11, 0x22, 0x33, 0x40) << "#11223340";
        QTest::newRow("rgb with commas") << "rgb(0, 128, 255)" << QColor(0, 128, 255) << QColor(1, 2, 3) << "rgb(1, 2, 3)";
        QTest::newRow("rgb with spaces and alpha") << "rgb(0 128 255 / 50%)" << QColor(0, 128, 255, 128)
                                                   << QColor(10, 20, 30) << "rgb(10 20 30)";
        QTest::newRow("rgba keeps its alpha") << "rgba(0, 0, 0, 0.5)" << QColor(0, 0, 0, 128) << QColor(255, 255, 255, 64)
                                              << "rgba(255, 255, 255, 0.25)";
        QTest::newRow("hsl") << "hsl(120, 100%, 50%)" << QColor(0, 255, 0) << QColor(255, 0, 0) << "hsl(0, 100%, 50%)";
        QTest::newRow("a name, and the name of the new one") << "red" << QColor(255, 0, 0) << QColor(0, 0, 255) << "blue";
        QTest::newRow("a name, and no name for the new one") << "red" << QColor(255, 0, 0) << QColor(1, 2, 3) << "#010203";
    }
    void cssColoursAreWrittenBackInTheirForm() {
        QFETCH(QString, written);
        QFETCH(QColor, read);
        QFETCH(QColor, chosen);
        QFETCH(QString, rewritten);
        const std::optional<QColor> parsed = css_colour::parse(written);
        QVERIFY(parsed);
        QCOMPARE(parsed->rgba(), read.rgba());
        QCOMPARE(css_colour::format(chosen, written), rewritten);
        // Found in a line as a whole: not a name inside a longer one.
        const std::vector<css_colour::Found> found = css_colour::findAll(QStringLiteral(".red-box { color: ") + written + u';');
        QCOMPARE(found.size(), size_t(1));
        QCOMPARE(found.front().length, int(written.size()));
    }

    // An image in <img src> comes once more with its width and height, read from its file; a
    // pipe named like an image is never opened. A hover on an image's path shows its size.
    void imagesBringTheirSize() {
        QTemporaryDir site;
        QDir(site.path()).mkpath(QStringLiteral("img"));
        QImage image(120, 40, QImage::Format_RGB32);
        image.fill(Qt::red);
        QVERIFY(image.save(site.filePath(QStringLiteral("img/logo.png"))));
#ifdef Q_OS_UNIX
        QVERIFY(::mkfifo(QFile::encodeName(site.filePath(QStringLiteral("img/trap.png"))).constData(), 0600) == 0);
#endif
        EditArea area;
        area.setDocumentFolder(site.path());
        area.resize(600, 300);
        area.show();
        area.loadText(QStringLiteral("<img src="));
        area.moveCursor(QTextCursor::End);
        type(area, QStringLiteral("\"img/"));
        const QStringList shown = area.completer()->shownLabels();
        QVERIFY2(shown.contains(QStringLiteral("logo.png  + width and height")), qPrintable(shown.join(u',')));
        const auto take = [&](const QString& label) {
            while (area.completer()->isShown() && !area.completer()->shownLabels().isEmpty()) {
                // The current row is the first shown after each Down; walk until the label.
                if (area.completer()->currentLabel() == label)
                    break;
                QTest::keyClick(&area, Qt::Key_Down);
            }
            QTest::keyClick(&area, Qt::Key_Return);
        };
        take(QStringLiteral("logo.png  + width and height"));
        QCOMPARE(area.text(), QStringLiteral("<img src=\"img/logo.png\" width=\"120\" height=\"40\""));
#ifdef Q_OS_UNIX
        // A pipe, and a link named like an image that leads to it, are not read.
        QVERIFY(QFile::link(site.filePath(QStringLiteral("img/trap.png")), site.filePath(QStringLiteral("img/link.png"))));
        QVERIFY(!regular_file::imageSize(site.filePath(QStringLiteral("img/link.png"))).isValid());
        QVERIFY(!shown.contains(QStringLiteral("trap.png")));
#endif
        // The hover.
        area.loadText(QStringLiteral("<p><img src=\"img/logo.png\"></p>"));
        const QTextCursor on = area.document()->find(QStringLiteral("logo"));
        const QPoint at = area.cursorRect(on).center();
        QHelpEvent hover(QEvent::ToolTip, at, area.viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(&area, &hover);
        QCOMPARE(QToolTip::text(), QStringLiteral("120 × 40 pixels"));
    }

    // The page's own names: in class="…" the classes its style elements and linked local sheets
    // define (not those of a comment, a string or a sheet it does not link), in id references
    // the ids it gives.
    void thePagesNamesAreOffered_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("offered");
        QTest::addColumn<QString>("notOffered");
        // A linked sheet that is a pipe is passed over, never waited on.
        const QString head = QStringLiteral("<link rel=\"stylesheet\" href=\"css/pipe.css\">"
                                            "<link rel=\"stylesheet\" href=\"css/site.css\"><style>.note, p.warn::after "
                                            "{ color: red } /* .old */ a[title=\".fake\"] {}</style>\r\n"
                                            "<h2 id=\"intro\">x</h2><p id=outro>y</p>\r\n");
        QTest::newRow("classes of the page and its sheet") << head << "<p class=\"" << head + "<p class=\"|"
                                                           << "note,warn,nav,card" << "old,fake,unlinked";
        QTest::newRow("the next class after a space") << head << "<p class=\"note w|" << head + "<p class=\"note warn|" << ""
                                                      << "";
        QTest::newRow("an anchor of the page") << head << "<a href=\"#i|" << head + "<a href=\"#intro|" << "" << "";
        QTest::newRow("an id for a label") << head << "<label for=\"o|" << head + "<label for=\"outro|" << "" << "";
    }
    void thePagesNamesAreOffered() {
        QTemporaryDir site;
        QDir(site.path()).mkpath(QStringLiteral("css"));
        QVERIFY(test_files::writeBytes(site.filePath(QStringLiteral("css/site.css")), ".nav a:hover, .card > .nav { margin: 0 }"));
        QVERIFY(test_files::writeBytes(site.filePath(QStringLiteral("css/other.css")), ".unlinked {}"));
#ifdef Q_OS_UNIX
        QVERIFY(::mkfifo(QFile::encodeName(site.filePath(QStringLiteral("css/pipe.css"))).constData(), 0600) == 0);
#endif
        checkWhatTheListOffers({Language::Html, site.path(), false});
    }

    // In a selector, `.` and `#` offer the classes and ids the site's pages use (a page's own
    // first), and never in a value such as `#fff` or `1.5em`.
    void selectorsOfferTheSitesNames_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("offered");
        QTest::addColumn<QString>("notOffered");
        QTest::newRow("classes, most used first") << "a, " << "." << "a, .|" << "card,note,btn" << "main";
        QTest::newRow("a class taken") << "" << ".no|" << ".note|" << "" << "";
        QTest::newRow("an id") << "p " << "#ma|" << "p #main|" << "" << "";
        QTest::newRow("not in a colour") << "a { color: " << "#" << "a { color: #|" << "" << "main,card";
        QTest::newRow("not in a number") << "a { margin: 1" << ".5" << "a { margin: 1.5|" << "" << "card";
        QTest::newRow("not in a comment") << "/* " << ".c" << "/* .c|" << "" << "card";
    }
    void selectorsOfferTheSitesNames() {
        checkWhatTheListOffers({Language::Css, {}, true, {{"main", "nav"}, {"card", "note", "btn"}}});
    }
    void aPagesStyleOffersItsOwnNamesFirst_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("offered");
        QTest::addColumn<QString>("notOffered");
        const QString page = QStringLiteral("<p class=\"own card\" id=\"top\"><!-- <p class=\"hidden\"> -->\r\n<style>\r\n");
        QTest::newRow("the page's classes, then the site's") << page << "." << page + ".|" << "own,card,note,btn" << "hidden";
        QTest::newRow("ids") << page << "#" << page + "#|" << "top,main,nav" << "";
        QTest::newRow("not in a style attribute's colour") << "<p style=\"color: " << "#" << "<p style=\"color: #|" << ""
                                                           << "top,main";
    }
    void aPagesStyleOffersItsOwnNamesFirst() {
        checkWhatTheListOffers({Language::Html, {}, true, {{"main", "nav"}, {"card", "note", "btn"}}});
    }

    // Tab on a selection of several lines indents them, Shift+Tab outdents the lines it touches;
    // each is one undo step. `{` and `}` mark the selection (`{` alone: the caret).
    void tabIndentsTheSelectedLines_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<bool>("shift");
        QTest::addColumn<QString>("after");
        QTest::newRow("Tab on two lines") << "<ul>\r\n<l{i>a</li>\r\n<li>b}</li>\r\n</ul>" << false
                                         << "<ul>\r\n{\t<li>a</li>\r\n\t<li>b</li>}\r\n</ul>";
        QTest::newRow("a selection ending at a line's start leaves it") << "{a\r\nb\r\n}c" << false << "{\ta\r\n\tb}\r\nc";
        QTest::newRow("Tab inside one line replaces as before") << "a{bc}d" << false << "a\t{d";
        QTest::newRow("Shift+Tab: a tab or four spaces") << "{\ta\r\n      b\r\nc}" << true << "{a\r\n  b\r\nc}";
        QTest::newRow("Shift+Tab at a caret") << "x\r\n\tab{c" << true << "x\r\nab{c";
    }
    void tabIndentsTheSelectedLines() {
        QFETCH(QString, before);
        QFETCH(bool, shift);
        QFETCH(QString, after);
        EditArea area;
        area.show();
        const QString text = loadMarked(area, before);
        QTest::keyClick(&area, shift ? Qt::Key_Backtab : Qt::Key_Tab, shift ? Qt::ShiftModifier : Qt::NoModifier);
        QCOMPARE(marked(area), after);
        area.undo();
        QCOMPARE(area.text(), text);
    }

    // The commands on lines and comments: `{` and `}` mark the selection (`{` alone: the caret)
    // before and after. Each is one undo step; a comment toggled twice gives back the text.
    void linesAndComments_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<Language>("language");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        const Language html = Language::Html;
        QTest::newRow("comment a page's line") << "comment" << html << "<p>{a</p>\r\n<p>b</p>" << "{<!-- <p>a</p> -->}\r\n<p>b</p>";
        QTest::newRow("comment lines, their indent kept")
            << "comment" << html << "  {<p>a</p>\r\n  <p>b</p>}\r\nc" << "  {<!-- <p>a</p>\r\n  <p>b</p> -->}\r\nc";
        QTest::newRow("uncomment") << "comment" << html << "{<!-- x -->" << "{x}";
        QTest::newRow("part of a line") << "comment" << html << "a {b} c" << "a {<!-- b -->} c";
        QTest::newRow("a page's style sheet") << "comment" << html << "<style>\r\n{color: red;\r\n</style>"
                                              << "<style>\r\n{/* color: red; */}\r\n</style>";
        QTest::newRow("a page's script, line by line")
            << "comment" << html << "<script>\r\n  {a();\r\n\r\n    b();}\r\n</script>"
            << "<script>\r\n  {// a();\r\n\r\n  //   b();}\r\n</script>";
        QTest::newRow("uncomment a script") << "comment" << Language::JavaScript << "{// a\r\n//b}" << "{a\r\nb}";
        QTest::newRow("not around a comment's end") << "comment" << Language::Css << "{a */ b}" << "{a */ b}";
        QTest::newRow("no comments in plain text") << "comment" << Language::Plain << "{x" << "{x";
        QTest::newRow("duplicate a line") << "duplicate" << html << "a{b\r\nc" << "ab\r\na{b\r\nc";
        QTest::newRow("duplicate a selection") << "duplicate" << html << "a{b}c" << "a{b}bc";
        QTest::newRow("move a line up") << "up" << html << "a\r\nb{c" << "b{c\r\na";
        QTest::newRow("move lines down") << "down" << html << "{a\r\nb}\r\nc" << "c\r\n{a\r\nb}";
        QTest::newRow("nothing above the first line") << "up" << html << "{a\r\nb" << "{a\r\nb";
        QTest::newRow("delete a line") << "delete" << html << "a\r\nb{b\r\nc" << "a\r\n{c";
        QTest::newRow("delete the last line") << "delete" << html << "a\r\nb{b" << "{a";
        QTest::newRow("join the next line") << "join" << html << "a{\r\n   b" << "a{ b";
        QTest::newRow("join the lines selected") << "join" << html << "{a\r\n b\r\n c}" << "a b{ c";
        QTest::newRow("nothing to join on the last line") << "join" << html << "a{" << "a{";
    }
    void linesAndComments() {
        QFETCH(QString, command);
        QFETCH(Language, language);
        QFETCH(QString, before);
        QFETCH(QString, after);
        EditArea area;
        area.setLanguage(language);
        const QString text = loadMarked(area, before);
        const auto run = [&] {
            if (command == u"comment")
                area.toggleComment();
            else if (command == u"duplicate")
                area.duplicateLines();
            else if (command == u"up" || command == u"down")
                area.moveLines(command == u"up");
            else if (command == u"delete")
                area.deleteLines();
            else
                area.joinLines();
        };
        run();
        QCOMPARE(marked(area), after);
        if (command == u"comment" && area.text().size() > text.size()) { // commented: once more takes it away
            run();
            QCOMPARE(area.text(), text);
            area.undo();
        }
        if (area.text() != text)
            area.undo();
        QCOMPARE(area.text(), text);
    }

    // The two options that type for the user, off at first: `@` marks the caret.
    void optionsThatTypeForYou_data() {
        QTest::addColumn<QString>("option");
        QTest::addColumn<Language>("language");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("after");
        const Language html = Language::Html, css = Language::Css;
        QTest::newRow("off: Enter as always") << "" << html << "  <ul>@" << "|" << "  <ul>\r\n@";
        QTest::newRow("the line's indent") << "indent" << html << "  <p>a@" << "|" << "  <p>a\r\n  @";
        QTest::newRow("one more after a block tag") << "indent" << html << "\t<ul class=\"x\">@" << "|" << "\t<ul class=\"x\">\r\n\t\t@";
        QTest::newRow("not after a void element") << "indent" << html << "  <br>@" << "|" << "  <br>\r\n  @";
        QTest::newRow("not after an end tag") << "indent" << html << "  <p>x</p>@" << "|" << "  <p>x</p>\r\n  @";
        QTest::newRow("one more after {, in spaces") << "indent" << css << "    b {@" << "|" << "    b {\r\n        @";
        QTest::newRow("off: a bracket alone") << "" << css << "a@" << "(" << "a(@";
        QTest::newRow("a bracket's pair") << "brackets" << css << "a@" << "(" << "a(@)";
        QTest::newRow("typed over") << "brackets" << css << "a(@)" << ")" << "a()@";
        QTest::newRow("an empty pair goes as one") << "brackets" << css << "a(@)" << "\b" << "a@";
        QTest::newRow("a quote's pair") << "brackets" << Language::JavaScript << "x = @" << "'" << "x = '@'";
        QTest::newRow("no pair inside a word") << "brackets" << Language::JavaScript << "don@" << "'" << "don'@";
        QTest::newRow("no pair before a word") << "brackets" << css << "@a" << "(" << "(@a";
        QTest::newRow("an attribute value's quotes") << "brackets" << html << "<a href=@" << "\"" << "<a href=\"@\"";
        QTest::newRow("not in a page's text") << "brackets" << html << "<p>@" << "(" << "<p>(@";
    }
    void optionsThatTypeForYou() {
        QFETCH(QString, option);
        QFETCH(Language, language);
        QFETCH(QString, before);
        QFETCH(QString, keys);
        QFETCH(QString, after);
        EditArea area;
        area.setLanguage(language);
        area.setKeepIndent(option == u"indent");
        area.setCloseBrackets(option == u"brackets");
        area.show();
        QString text = before;
        const qsizetype caret = text.indexOf(u'@');
        text.remove(caret, 1);
        area.loadText(text);
        area.setCaretPosition(int(caret));
        type(area, keys);
        QString shown = area.text();
        shown.insert(area.selectionStart(), u'@');
        QCOMPARE(shown, after);
    }

    // Format Document re-indents by element depth and touches nothing a browser reads: not
    // <pre> or a script's text, a comment's or a tag's lines, nor anything but a line's indent.
    void formatDocumentReindentsSafely_data() {
        QTest::addColumn<QString>("options"); // unit=…, wrap=N, code, css, js
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::newRow("a list, two spaces at first") << "" << "<ul>\r\n<li>a</li>\r\n<li>b\r\n</ul>"
                                                     << "<ul>\r\n  <li>a</li>\r\n  <li>b\r\n</ul>";
        QTest::newRow("the page's tabs") << "" << "<div>\r\n\t\t<p>x</p>\r\n</div>" << "<div>\r\n\t<p>x</p>\r\n</div>";
        QTest::newRow("four spaces chosen over the page's tabs") << "unit=    " << "<div>\r\n\t\t<p>x</p>\r\n</div>"
                                                                 << "<div>\r\n    <p>x</p>\r\n</div>";
        QTest::newRow("pre kept, its end tag too") << "" << "<div>\r\n<pre>\r\n  a\r\n    b\r\n</pre>\r\n</div>"
                                                   << "<div>\r\n  <pre>\r\n  a\r\n    b\r\n</pre>\r\n</div>";
        QTest::newRow("a script kept") << "" << "<div>\r\n<script>\r\nif (a) {\r\n  b();\r\n}\r\n</script>\r\n</div>"
                                       << "<div>\r\n  <script>\r\nif (a) {\r\n  b();\r\n}\r\n</script>\r\n</div>";
        QTest::newRow("a script by its brackets, when asked")
            << "code" << "<div>\r\n<script>\r\nif (a) {\r\nb(`x\r\n  y`);\r\n/* c\r\n   d */\r\n}\r\n</script>\r\n</div>"
            << "<div>\r\n  <script>\r\n    if (a) {\r\n      b(`x\r\n  y`);\r\n      /* c\r\n   d */\r\n    }\r\n  </script>\r\n</div>";
        QTest::newRow("a style sheet in a page, when asked") << "code" << "<style>\r\na {\r\ncolor: red;\r\n}\r\n</style>"
                                                             << "<style>\r\n  a {\r\n    color: red;\r\n  }\r\n</style>";
        QTest::newRow("a template script is no code") << "code" << "<script type=\"text/x-template\">\r\n{\r\nx\r\n}\r\n</script>"
                                                      << "<script type=\"text/x-template\">\r\n{\r\nx\r\n}\r\n</script>";
        QTest::newRow("a comment's lines kept") << "" << "<div>\r\n<!-- a\r\n   b -->\r\n</div>"
                                                << "<div>\r\n  <!-- a\r\n   b -->\r\n</div>";
        QTest::newRow("a tag over lines kept") << "" << "<div>\r\n<a href=\"x\"\r\n     title=\"y\">z</a>\r\n</div>"
                                               << "<div>\r\n  <a href=\"x\"\r\n     title=\"y\">z</a>\r\n</div>";
        QTest::newRow("a long tag wraps between its attributes")
            << "wrap=30" << "<div>\r\n<img src=\"a b.png\"   alt=\"x y\" width=1>\r\n<b class=a id=b>x</b>\r\n</div>"
            << "<div>\r\n  <img src=\"a b.png\"\r\n    alt=\"x y\"\r\n    width=1>\r\n  <b class=a id=b>x</b>\r\n</div>";
        QTest::newRow("not in pre") << "wrap=10" << "<pre><a href=x title=y>z</a></pre>" << "<pre><a href=x title=y>z</a></pre>";
        QTest::newRow("unclosed li and p") << "" << "<ul>\r\n<li>a\r\n<li>b\r\n</ul>\r\n<p>x\r\n<p>y"
                                           << "<ul>\r\n  <li>a\r\n  <li>b\r\n</ul>\r\n<p>x\r\n<p>y";
        QTest::newRow("running text and br") << "" << "<p>one<br>\r\ntwo &#169 2024</p>" << "<p>one<br>\r\n  two &#169 2024</p>";
        QTest::newRow("blank lines stay blank") << "" << "<div>\r\n\r\n   \r\n<b>x</b>\r\n</div>"
                                                << "<div>\r\n\r\n   \r\n  <b>x</b>\r\n</div>";
        QTest::newRow("a style sheet") << "css" << "@media x {\r\na {\r\n  b: \"{\";\r\n}\r\n}\r\n/* {\r\n */"
                                       << "@media x {\r\n  a {\r\n    b: \"{\";\r\n  }\r\n}\r\n/* {\r\n */";
        QTest::newRow("a script") << "js" << "f(function () {\r\nreturn [\r\n1, /[{]/,\r\n];\r\n});\r\nconst s = 'a\\\r\n  b';"
                                  << "f(function () {\r\n    return [\r\n      1, /[{]/,\r\n    ];\r\n});\r\nconst s = 'a\\\r\n  b';";
    }
    void formatDocumentReindentsSafely() {
        QFETCH(QString, options);
        QFETCH(QString, before);
        QFETCH(QString, after);
        EditArea area;
        format_document::Style style;
        for (const QString& option : options.split(u',', Qt::SkipEmptyParts)) {
            if (option.startsWith(QStringLiteral("unit=")))
                style.unit = option.mid(5);
            else if (option.startsWith(QStringLiteral("wrap=")))
                style.wrapAttributesAt = option.mid(5).toInt();
            else if (option == u"code")
                style.codeBlocks = true;
            else
                area.setLanguage(option == u"css" ? Language::Css : Language::JavaScript);
        }
        area.setFormatStyle(style);
        area.loadText(before);
        QCOMPARE(area.formatDocument(false), QString());
        QCOMPARE(area.text(), after);
        if (area.language() == Language::Html)
            QVERIFY(!format_document::firstDifference(before, after, style.codeBlocks));
        area.undo();
        QCOMPARE(area.text(), before);
    }
    // Every test page formats into a page that reads as it did, and formatting it again
    // changes nothing; a page changed beyond whitespace is caught by the check.
    void formattedTestPagesReadAsBefore() {
        const QDir data(test_files::dataDir());
        for (const QString& name : data.entryList({QStringLiteral("*.html")}, QDir::Files)) {
            DocumentFormat format;
            const QString page = document_file::decode(test_files::readBytes(data.filePath(name)), &format);
            const auto edits = format_document::reindent(page).edits;
            const QString formatted = format_document::applied(page, edits);
            QVERIFY2(!format_document::firstDifference(page, formatted), qPrintable(name));
            QVERIFY2(format_document::reindent(formatted).edits.empty(), qPrintable(name));
        }
        QCOMPARE(format_document::firstDifference(QStringLiteral("<pre>\r\n a</pre>"), QStringLiteral("<pre>\r\n  a</pre>")), 5);
        QCOMPARE(format_document::firstDifference(QStringLiteral("<p title=\"a b\">"), QStringLiteral("<p title=\"a  b\">")), 9);
    }

    void takingAnEntryIsOneUndoStep() {
        EditArea area;
        area.show();
        type(area, QStringLiteral("<a hr|"));
        QCOMPARE(area.text(), QStringLiteral("<a href=\"\""));
        area.undo();
        QCOMPARE(area.text(), QStringLiteral("<a hr"));
    }

    void abbreviationsExpandInPlace_data() {
        QTest::addColumn<QString>("before"); // | is the caret
        QTest::addColumn<bool>("tab");       // Tab with the option on, else Expand Abbreviation
        QTest::addColumn<QString>("after");
        QTest::newRow("indented, in a page") << "<body>\r\n\tul>li*2|\r\n</body>" << false
                                             << "<body>\r\n\t<ul>\r\n\t\t<li>|</li>\r\n\t\t<li></li>\r\n\t</ul>\r\n</body>";
        QTest::newRow("after a tag") << "<p>a.x|</p>" << false << "<p><a href=\"|\" class=\"x\"></a></p>";
        QTest::newRow("Tab") << "x p.note|" << true << "x <p class=\"note\">|</p>";
        QTest::newRow("Tab with no abbreviation") << "<p class|" << true << "<p class\t|";
        QTest::newRow("in a long line") << QString(9000, u'x') + QStringLiteral(" em|") << false
                                        << QString(9000, u'x') + QStringLiteral(" <em>|</em>");
    }

    void abbreviationsExpandInPlace() {
        QFETCH(QString, before);
        QFETCH(bool, tab);
        QFETCH(QString, after);
        EditArea area;
        area.show();
        area.completer()->setEnabled(false);
        area.loadText(QString(before).remove(u'|'));
        area.setCaretPosition(int(before.indexOf(u'|')));
        if (tab) {
            area.setExpandOnTab(true);
            QTest::keyClick(&area, Qt::Key_Tab);
        } else {
            QVERIFY(area.expandAbbreviation());
        }
        QCOMPARE(withCaret(area), after);
        area.undo();
        QCOMPARE(area.text(), QString(before).remove(u'|'));
    }

    void renamingAStartTagRenamesItsEndTag_data() {
        QTest::addColumn<QString>("before"); // | is the caret, [ ] a selection
        QTest::addColumn<QString>("keys");   // ← Backspace, ⌦ Delete, ⎘ paste
        QTest::addColumn<QString>("clip");   // what is pasted
        QTest::addColumn<QString>("after");
        QTest::newRow("start tag") << "<div|>x</div>" << "←←←section" << "" << "<section>x</section>";
        QTest::newRow("end tag") << "<p>x</p|>" << "re" << "" << "<pre>x</pre>";
        QTest::newRow("nested, the right partner") << "<div|><div>a</div></div>" << "←←←nav" << "" << "<nav><div>a</div></nav>";
        QTest::newRow("a space ends it") << "<b|>x</b>" << " class" << "" << "<b class>x</b>";
        QTest::newRow("no partner") << "<br|>x" << "←←hr" << "" << "<hr>x";
        QTest::newRow("implied end") << "<ul><li|>a<li>b</ul>" << "←←dt" << "" << "<ul><dt>a<li>b</ul>";
        // Every way of changing the name keeps the pair.
        QTest::newRow("a selected name typed over") << "<[section] id=\"posts\">x</section>" << "article" << ""
                                                    << "<article id=\"posts\">x</article>";
        QTest::newRow("a selected name pasted over") << "<[section]>x</section>" << "⎘" << "nav" << "<nav>x</nav>";
        QTest::newRow("pasted at the caret") << "<sec|>x</sec>" << "⎘" << "tion" << "<section>x</section>";
        QTest::newRow("a selection deleted") << "<[sec]tion>x</section>" << "⌦" << "" << "<tion>x</tion>";
        QTest::newRow("a selection in the end tag") << "<p>x</[p]>" << "⎘" << "pre" << "<pre>x</pre>";
        QTest::newRow("a pasted space ends it, no mismatch") << "<[b]>x</b>" << "⎘" << "em class" << "<em class>x</em>";
    }

    void renamingAStartTagRenamesItsEndTag() {
        QFETCH(QString, before);
        QFETCH(QString, keys);
        QFETCH(QString, clip);
        QFETCH(QString, after);
        EditArea area;
        area.show();
        area.completer()->setEnabled(false);
        area.setRenameTagPairs(true);
        const QString text = QString(before).remove(u'|').remove(u'[').remove(u']');
        area.loadText(text);
        if (before.contains(u'[')) {
            area.setCaretPosition(int(before.indexOf(u'[')));
            area.setSelectionLength(int(before.indexOf(u']') - before.indexOf(u'[') - 1));
        } else {
            area.setCaretPosition(int(before.indexOf(u'|')));
        }
        QGuiApplication::clipboard()->setText(clip);
        for (const QChar c : keys) {
            if (c == u'←')
                QTest::keyClick(&area, Qt::Key_Backspace);
            else if (c == u'⌦')
                QTest::keyClick(&area, Qt::Key_Delete);
            else if (c == u'⎘')
                QTest::keySequence(&area, QKeySequence::Paste);
            else
                QTest::keyClicks(&area, QString(c));
        }
        QCOMPARE(area.text(), after);
        // A renaming is undone with its key: one undo never leaves the two names apart.
        area.undo();
        const QString once = area.text();
        const qsizetype open = once.indexOf(u'<') + 1;
        const QString firstName = once.mid(open, once.indexOf(QRegularExpression(QStringLiteral("[ >]")), open) - open);
        if (!QByteArrayView(QTest::currentDataTag()).contains("space") && !QByteArrayView(QTest::currentDataTag()).contains("partner") &&
            !QByteArrayView(QTest::currentDataTag()).contains("implied"))
            QVERIFY2(once.endsWith(QStringLiteral("</") + firstName + u'>'), qPrintable(once));
        while (area.document()->isUndoAvailable())
            area.undo();
        QCOMPARE(area.text(), text);
        while (area.document()->isRedoAvailable())
            area.redo();
        QCOMPARE(area.text(), after);
    }

    void withTheOptionOffNothingIsOffered() {
        EditArea area;
        area.show();
        area.completer()->setEnabled(false);
        type(area, QStringLiteral("<ta|"));
        QCOMPARE(area.text(), QStringLiteral("<ta\r\n"));
        QVERIFY(!area.completer()->isShown());
    }

    void theBestMatchesComeFirst() {
        const std::vector<completion::Item> items = completion::itemsFor({completion::Kind::ElementName, {}, {}, {}, {}, true, {}});
        QVERIFY(items.size() > 100);
        const auto labels = [&](QStringView typed) {
            QStringList out;
            for (const int i : completion::rank(items, typed))
                out << items[size_t(i)].label;
            return out;
        };
        QCOMPARE(labels(u"a").mid(0, 3), QStringList({"a", "abbr", "address"}));
        const QStringList th = labels(u"TH");
        QCOMPARE(th.front(), QStringLiteral("th"));
        QVERIFY(th.indexOf(QStringLiteral("thead")) > 0);
        const QStringList tb = labels(u"tb");
        QVERIFY(tb.indexOf(QStringLiteral("tbody")) >= 0 && tb.indexOf(QStringLiteral("tbody")) < tb.indexOf(QStringLiteral("table")));
        QCOMPARE(labels(u"zzz"), QStringList());
        const std::vector<completion::Item> refs =
            completion::itemsFor({completion::Kind::CharacterReference, {}, {}, {}, {}, true, {}});
        QCOMPARE(int(refs.size()), 2231);
        // References by how often pages use them, then alphabetically.
        const auto references = [&](QStringView typed) {
            QStringList out;
            for (const int i : completion::rank(refs, typed))
                out << refs[size_t(i)].label;
            return out;
        };
        QCOMPARE(references(u"").mid(0, 4), QStringList({"nbsp;", "amp;", "gt;", "lt;"}));
        QCOMPARE(references(u"co").front(), QStringLiteral("copy;"));
        QCOMPARE(references(u"r").mid(0, 3), QStringList({"rsquo;", "rdquo;", "reg;"}));
        QCOMPARE(references(u"colon").front(), QStringLiteral("colon;")); // an exact name still first
    }
};
} // namespace

TAGLOOM_TEST_MAIN(QApplication, TypingHelpTest)

#include "test_typing_help.moc"
