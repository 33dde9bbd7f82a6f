#include "app/main_window.h"
#include "app/menu_table.h"
#include "editor/edit_area.h"
#include "insertion/insert_command.h"
#include "support/scripted_dialogs.h"
#include "support/test_files.h"

#include <QApplication>
#include <QAction>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <set>

namespace {
const QString kAudioLink =
    "Insert link to audio here (if on same folder just add music name - example: music.mp3):";
const QString kBorder = "Insert border size (0 = to no border) :|Add Table|0";
const QString kAlign = "Align to (left , center or right) :";

QStringList promptsOf(const ScriptedDialogs& d) {
    QStringList out;
    for (const auto& s : d.shown)
        if (s.kind == ScriptedDialogs::Kind::Prompt)
            out << s.text + u'|' + s.title + u'|' + s.defaultAnswer;
    return out;
}

class InsertCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void everyCommandWithItsDefaults_data() {
        QTest::addColumn<QString>("objectName");
        QTest::addColumn<QString>("inserted");
        QTest::addColumn<QStringList>("prompts");
        const QStringList none;
        const QStringList item{"Insert text to list|Add Bullited List|Listed text"};
        auto row = [](const char* c, const QString& text, const QStringList& prompts) {
            QTest::newRow(c) << QString::fromLatin1(c) << text << prompts;
        };
        // Text and Phrasing, with nothing selected.
        row("boldzz", "<b></b>", none);
        row("italiczz", "<i></i>", none);
        row("underlinezz", "<u></u>", none);
        row("strikez", "<s></s>", none);
        row("citationz", "<cite></cite>", none);
        row("codez", "<code></code>", none);
        row("leftz", "<p align=left></p>", none);
        row("centerzz", "<p align=center></p>", none);
        row("rigth", "<p align=right></p>", none);
        row("opencreate", "<ol>", none);
        row("addtexttolitz", "<li>Listed text</li>", item);
        row("closrlistwithnumbersz", "</ol>", none);
        row("opencreatelistzxa", "<ul>", none);
        row("adddtextlistzz", "<li>Listed text</li>", item);
        row("closelistzzz", "</ul>", none);
        row("break2z", "<br>\r\n", none);
        row("paragraph2z", "<p>\r\n\r\n</p>\r\n", none);
        row("blockquote2z", "<blockquote>\r\n\r\n</blockquote>\r\n", none);
        // Insert menu.
        row("addimagez", "<img src=\"image.jpg\">", {"Insert image name or link|Add Image|image.jpg"});
        row("addspecificfontz", "<font size=\"2\" face=\"verdana\">",
            {"Insert font size here:|Add Font |2",
             "Define font (use common fonts as - verdana, times, courier, etc..):|Add Font |verdana"});
        row("closespecificfontz", "</font>", none);
        row("addaudioz",
            "<EMBED height=\"20\" src=\"music.mp3\" volume=\"50\" loop=\"true\" hidden=\"true\" "
            "autostart=\"true\" "
            "width=\"128\">",
            {"Insert height here:|Add Audio |20", kAudioLink + "|Add Audio |music.mp3",
             "Insert volume here (from 0 to 100):|Add Audio |50",
             "Want loop? (true or false):|Add Audio|true", "Want it hidden? (true or false)|Add Audio|true",
             "Want it to autostart? (true or false):|Add Audio|true", "Insert width here|Add Audio|128"});
        row("addmoviez", "<embed src=\"movie.mov\"></embed>",
            {"Insert movie name or link|Add Movie|movie.mov"});
        row("addlinkz", "<a href=\"http://\">Click here to</a>",
            {"Insert the link|Add Link|http://", "Insert the text to link|Add Link|Click here to"});
        row("addmarke", "<marquee direction=\"right\" behavior=\"alternate\">My Sliding Marquee</marquee>",
            {"Insert the marquee direction!(right , left)|Add Marquee|right",
             "Insert Your Marquee behavior here (scroll , slide or alternate)|Add Marquee|alternate",
             "Insert Your Marquee Text Here|Add Marquee|My Sliding Marquee"});
        row("addemaillink", "<a href=\"mailto:someone@example.com\">Click here to mail me!</a>",
            {"Insert your email|Add Email Link|someone@example.com",
             "Insert the text to the email link|Add Email Link|Click here to mail me!"});
        row("addblockquotez", "<blockquote>\r\n\r\n</blockquote>\r\n", none);
        row("addparagraphz", "<p>\r\n\r\n</p>\r\n", none);
        row("addbreak", "<br>\r\n", none);
        row("addhline", "<hr>", none);
        row("addunderlinedtext", "<u>your underline text</u>",
            {"Insert here the text to Underline|Add Underlined Text|your underline text"});
        row("additalictextz", "<i>your italic text</i>",
            {"Insert here the text to Italic|Add Italic Text|your italic text"});
        row("addboltextz", "<b>your bold text</b>",
            {"Insert here the text to Bold|Add Bold Text|your bold text"});
        // Tables.
        const QStringList size{"Insert width :|Add Table|400", "Insert height :|Add Table|100",
                               kAlign + "|Add Table|center"};
        row("normazzz", "<table border=\"0\" width=\"400\" height=\"100\" align=\"center\">",
            QStringList{kBorder} + size);
        row("withbgcolorz",
            "<table border=\"0\" bgcolor=\"gray\" width=\"400\" height=\"100\" align=\"center\">",
            QStringList{kBorder, "Insert background color :|Add Table|gray"} + size);
        row("withbgimgz",
            "<table border=\"0\" background=\"image.jpg\" width=\"400\" height=\"100\" align=\"center\">",
            QStringList{kBorder, "Insert background image :|Add Table|image.jpg"} + size);
        row("closetablez", "</table>", none);
        row("addrowz", "<tr bgcolor=\"white\" align=\"center\">\r\n\r\n</tr>",
            {"Insert row color :|Add Table Row|white", kAlign + "|Add Table Row|center"});
        row("addcellz", "<td bgcolor=\"white\" align=\"center\"></td>",
            {"Insert cell color :|Add Table Cell|white", kAlign + "|Add Table Cell|center"});
        // Forms.
        row("addformz",
            "<form name=\"myform\" action=\"html_form_action.asp\" method=\"post\" enctype=\"text/plain\">",
            {"Insert form name:|Add Form|myform", "Insert action:|Add Form|html_form_action.asp",
             "Insert method (get or post):|Add Form|post"});
        row("closeformz", "</form>", none);
        row("addtextboxformz", "<input type=\"text\" name=\"textbox\" value=\"Fill This Please\"/>",
            {"Insert the input type (you can use: text , hidden or password):|Add Form|text",
             "Insert textbox name:|Add Input Text Box|textbox",
             "Insert default value:|Add Input Text Box|Fill This Please"});
        row("addbuttonformz", "<input type=\"Submit\" value=\"Submit\"/>",
            {"Insert button type (use Button , Submit or Reset):|Add Button|Submit",
             "Insert button label:|Add Button|Submit"});
        row("addtextareaz",
            "<textarea rows=\"10\" cols=\"30\" name=\"textarea\" wrap=\"true\">This is a text area for "
            "forms! </textarea>",
            {"Insert number of rows:|Add Text Area|10", "Insert number of cols:|Add Text Area|30",
             "Insert textbox name:|Add Text Area|textarea", "Wrap text? (true or false):|Add Text Area|true",
             "Insert default text:|Add Text Area|This is a text area for forms!"});
        row("addcheckboxz", "<input type=\"checkbox\" name=\"mycheckbox\" value=\"MyCheckBox\">",
            {"Insert name for checkbox:|Add Checkbox|mycheckbox", "Insert value:|Add Checkbox|MyCheckBox"});
        row("addradizbuttonz", "<input type=\"radio\" name=\"myradio\" value=\"MyRadio\">",
            {"Insert name for radio:|Add Radio|myradio", "Insert value:|Add Radio|MyRadio"});
        row("startdropdownbox", "<select name=\"mydropdownbox\">",
            {"Insert name for dropdown box:|Add Dropdown Box|mydropdownbox"});
        row("addoptionsdropdownbox", "<option value=\"mydropdownboxoption\">mydropdownboxoptiontext</option>",
            {"Insert value for option on dropdown:|Add Option for Dropdown Box|mydropdownboxoption",
             "Insert text for option on dropdown:|Add Option for Dropdown Box|mydropdownboxoptiontext"});
        row("enddropdownboxz", "</select>", none);
        // HTML5.
        row("html5H2", "<h2></h2>", none);
        row("html5Nav", "<nav>\r\n\r\n</nav>", none);
        row("html5Image", "<img src=\"image.jpg\" alt=\"Describe the image\" width=\"400\" height=\"300\">",
            {"Image name or link:|Add Image|image.jpg",
             "Text alternative (what the image shows):|Add Image|Describe the image",
             "Width in pixels:|Add Image|400", "Height in pixels:|Add Image|300"});
        row("html5Figure",
            "<figure>\r\n<img src=\"image.jpg\" alt=\"Describe the image\">\r\n<figcaption>Caption</figcaption>"
            "\r\n</figure>",
            {"Image name or link:|Add Figure|image.jpg",
             "Text alternative (what the image shows):|Add Figure|Describe the image", "Caption:|Add Figure|Caption"});
        const QString label = "Label text:|Add Form Field|";
        const QString id = "Field id and name:|Add Form Field|";
        row("html5EmailField", "<label for=\"email\">Email</label> <input type=\"email\" id=\"email\" name=\"email\">",
            {label + "Email", id + "email"});
        row("html5Checkbox", "<input type=\"checkbox\" id=\"agree\" name=\"agree\"> <label for=\"agree\">I agree</label>",
            {label + "I agree", id + "agree"});
        row("html5Radio",
            "<input type=\"radio\" id=\"choice-one\" name=\"choice\" value=\"one\"> <label for=\"choice-one\">Option "
            "one</label>",
            {label + "Option one", "Group name (shared by the group's buttons):|Add Form Field|choice",
             "Value:|Add Form Field|one"});
        row("html5Select",
            "<label for=\"choice\">Choose</label> <select id=\"choice\" name=\"choice\">\r\n<option>One</option>\r\n"
            "<option>Two</option>\r\n</select>",
            {label + "Choose", id + "choice"});
        row("html5Textarea",
            "<label for=\"message\">Message</label>\r\n<textarea id=\"message\" name=\"message\" rows=\"5\"></textarea>",
            {label + "Message", id + "message", "Number of rows:|Add Form Field|5"});
        row("html5Button", "<button type=\"submit\">Send</button>",
            {"Button type (submit, reset or button):|Add Button|submit", "Button text:|Add Button|Send"});
        row("html5Table",
            "<table>\r\n<thead>\r\n<tr><th>Heading 1</th><th>Heading 2</th><th>Heading 3</th></tr>\r\n</thead>\r\n"
            "<tbody>\r\n<tr><td>Cell 1</td><td>Cell 2</td><td>Cell 3</td></tr>\r\n"
            "<tr><td>Cell 4</td><td>Cell 5</td><td>Cell 6</td></tr>\r\n"
            "<tr><td>Cell 7</td><td>Cell 8</td><td>Cell 9</td></tr>\r\n</tbody>\r\n</table>",
            none);
        row("wrapInTag", "<span></span>", {"Tag to wrap the selection in, with any attributes:|Wrap Selection in Tag|span"});
    }
    void everyCommandWithItsDefaults() {
        QFETCH(QString, objectName);
        QFETCH(QString, inserted);
        QFETCH(QStringList, prompts);
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.openStartupArgument(QString());
        form.editArea()->setText(QStringLiteral("[]"));
        form.editArea()->setCaretPosition(1);
        form.action(objectName)->trigger();
        QCOMPARE(form.editArea()->text(), "[" + inserted + "]");
        QCOMPARE(promptsOf(dialogs), prompts);
        // The caret after the insertion; a heading typed from nothing leaves it between its tags.
        const bool heading = objectName.size() == 7 && objectName.startsWith(QStringLiteral("html5H"));
        QCOMPARE(form.editArea()->selectionStart(), 1 + (heading ? 4 : int(inserted.size())));
        QCOMPARE(form.editArea()->selectionLength(), 0);
        QCOMPARE(test_files::shownTitle(form), QStringLiteral("Tagloom - Untitled**")); // and modified
        QVERIFY(!form.editArea()->colourAt(1).has_value());
        form.editArea()->undo(); // one undo step
        QCOMPARE(form.editArea()->text(), QStringLiteral("[]"));
    }

    void wrappingKeepsAMultiLineNonAsciiSelection() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.editArea()->setText(QString::fromUtf8("a café\r\n日本 z"));
        form.editArea()->setCaretPosition(2);
        form.editArea()->setSelectionLength(8);
        form.action("boldzz")->trigger();
        QCOMPARE(form.editArea()->text(), QString::fromUtf8("a <b>café\r\n日本</b> z"));
        QCOMPARE(form.editArea()->selectionStart(), 17);
        // A heading around a selection leaves the caret after it too.
        form.editArea()->setCaretPosition(0);
        form.editArea()->setSelectionLength(1);
        form.action("html5H1")->trigger();
        QCOMPARE(form.editArea()->text().left(10), QStringLiteral("<h1>a</h1>"));
        QCOMPARE(form.editArea()->selectionStart(), 10);
    }

    void commandsThatDoNotWrapReplaceTheSelection() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.editArea()->setText(QStringLiteral("a word b"));
        form.editArea()->setCaretPosition(2);
        form.editArea()->setSelectionLength(4);
        form.action("paragraph2z")->trigger();
        QCOMPARE(form.editArea()->text(), QStringLiteral("a <p>\r\n\r\n</p>\r\n b"));
        form.editArea()->setCaretPosition(0);
        form.editArea()->setSelectionLength(1);
        dialogs.answer(QStringLiteral("typed"));
        form.action("addboltextz")->trigger();
        QCOMPARE(form.editArea()->text().left(15), QStringLiteral("<b>typed</b> <p"));
    }

    void answersGoInExactlyAsTyped() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        dialogs.answer(QStringLiteral("a\"b<c>&d"));
        dialogs.answer(QStringLiteral(" A2 %1 {0} "));
        form.action("addlinkz")->trigger();
        QCOMPARE(form.editArea()->text(), QStringLiteral("<a href=\"a\"b<c>&d\"> A2 %1 {0} </a>"));
    }

    void html5CommandsEscapeAnswersAndStopOnCancel() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        dialogs.answer(QStringLiteral("a\"b<c>&d &amp; &#38; &x"));
        dialogs.answer(QStringLiteral("Tom & Jerry"));
        form.action("html5Image")->trigger();
        QCOMPARE(form.editArea()->text(),
                 QStringLiteral("<img src=\"a&quot;b&lt;c>&amp;d &amp; &#38; &amp;x\" alt=\"Tom &amp; Jerry\" "
                                "width=\"400\" height=\"300\">"));
        form.editArea()->setText(QStringLiteral("keep"));
        dialogs.answer(QStringLiteral("Label"));
        dialogs.cancelPrompt();
        form.action("html5TextField")->trigger();
        QCOMPARE(form.editArea()->text(), QStringLiteral("keep"));
        QCOMPARE(dialogs.unanswered(), 0);
        // The table dialog: its answers, and a cancel that inserts nothing.
        dialogs.answer(QVariantList{1, 2, false, QStringLiteral("Prices & <taxes>")});
        form.editArea()->setText(QString());
        form.action("html5Table")->trigger();
        QCOMPARE(form.editArea()->text(),
                 QStringLiteral("<table>\r\n<caption>Prices &amp; &lt;taxes></caption>\r\n<tbody>\r\n"
                                "<tr><td>Cell 1</td><td>Cell 2</td></tr>\r\n</tbody>\r\n</table>"));
        const QString table = form.editArea()->text();
        dialogs.cancelPrompt();
        form.action("html5Table")->trigger();
        QCOMPARE(form.editArea()->text(), table);
    }

    void html5PageWrapsTheTextAsOneUndoStep() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.editArea()->setText(QStringLiteral("<p>Hello</p>"));
        dialogs.answer(QStringLiteral("pt-BR"));
        dialogs.answer(QStringLiteral("Caf\u00e9 & Bar"));
        form.action("html5Page")->trigger();
        QCOMPARE(form.editArea()->text(),
                 QString::fromUtf8("<!DOCTYPE html>\r\n<html lang=\"pt-BR\">\r\n<head>\r\n<meta charset=\"utf-8\">\r\n"
                                   "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\r\n"
                                   "<title>Café &amp; Bar</title>\r\n<link rel=\"stylesheet\" href=\"style.css\">\r\n"
                                   "</head>\r\n<body>\r\n<p>Hello</p>\r\n</body>\r\n</html>"));
        QCOMPARE(form.editArea()->selectionStart(), form.editArea()->text().indexOf(QStringLiteral("<p>Hello"))); // in the body
        form.editArea()->undo();
        QCOMPARE(form.editArea()->text(), QStringLiteral("<p>Hello</p>"));
    }

    // File > New HTML5 Page: the template on an empty page, ready to type in the body; a
    // question only when unsaved text would go.
    void newHtml5PageIsReadyToType_data() {
        QTest::addColumn<bool>("modified");
        QTest::addColumn<QVariant>("answer");
        QTest::addColumn<bool>("replaced");
        QTest::newRow("as opened: no question") << false << QVariant() << true;
        QTest::newRow("edited, Yes") << true << QVariant(true) << true;
        QTest::newRow("edited, No") << true << QVariant(false) << false;
    }
    void newHtml5PageIsReadyToType() {
        QFETCH(bool, modified);
        QFETCH(QVariant, answer);
        QFETCH(bool, replaced);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("old.htm"));
        QVERIFY(test_files::writeBytes(file, "old"));
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.openStartupArgument(file);
        if (modified)
            form.editArea()->replaceSelection(QStringLiteral("X"));
        const QString before = form.editArea()->text();
        if (answer.isValid())
            dialogs.answer(answer);
        QCOMPARE(form.action("newHtml5Page")->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+N")));
        form.action("newHtml5Page")->trigger();
        QCOMPARE(dialogs.shown.size() > 0 && dialogs.shown[0].kind == ScriptedDialogs::Kind::YesNo, modified);
        if (!replaced) {
            QCOMPARE(form.editArea()->text(), before);
            QCOMPARE(form.currentFile(), file);
            return;
        }
        const QString page = form.editArea()->text();
        QVERIFY(page.startsWith(QStringLiteral("<!DOCTYPE html>\r\n")));
        QVERIFY(page.endsWith(QStringLiteral("<body>\r\n\r\n</body>\r\n</html>")));
        QCOMPARE(form.editArea()->selectionStart(), int(page.indexOf(QStringLiteral("<body>\r\n")) + 8));
        QCOMPARE(form.currentFile(), QString());
        QCOMPARE(test_files::shownTitle(form), QStringLiteral("Tagloom - Untitled**"));
    }

    void wrapInTagRefusesWhatIsNotAStartTag_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("result"); // the wrapped text, or the start of the refusal
        QTest::newRow("name") << "em" << "<em>word</em>";
        QTest::newRow("brackets and attributes") << " <div class=\"a b\" hidden data-x='1'> "
                                                 << "<div class=\"a b\" hidden data-x='1'>word</div>";
        QTest::newRow("custom element") << "my-note" << "<my-note>word</my-note>";
        QTest::newRow("blank") << "  " << "Type the tag";
        QTest::newRow("bracket alone") << "<" << "Type the tag";
        QTest::newRow("two tags") << "b><i" << "\"b><i\" is not a start tag";
        QTest::newRow("open quote") << "a href=\"x" << "\"a href=\"x\" is not a start tag";
        QTest::newRow("end tag") << "/b" << "\"/b\" is not a start tag";
        QTest::newRow("void element") << "br" << "<br> cannot hold text";
    }
    void wrapInTagRefusesWhatIsNotAStartTag() {
        QFETCH(QString, typed);
        QFETCH(QString, result);
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.editArea()->setText(QStringLiteral("word"));
        form.editArea()->setCaretPosition(0);
        form.editArea()->setSelectionLength(4);
        dialogs.answer(typed);
        dialogs.cancelPrompt(); // the second ask, after a refusal
        form.action("wrapInTag")->trigger();
        if (result.startsWith(u'<') && result.endsWith(u'>') && result.contains(QStringLiteral("word"))) {
            QCOMPARE(form.editArea()->text(), result);
        } else {
            QCOMPARE(form.editArea()->text(), QStringLiteral("word"));
            QCOMPARE(dialogs.shown.at(1).kind, ScriptedDialogs::Kind::Message);
            QVERIFY2(dialogs.shown.at(1).text.startsWith(result), qPrintable(dialogs.shown.at(1).text));
            QCOMPARE(dialogs.shown.at(2).defaultAnswer, typed); // offered again to mend
        }
    }

    void cancelledPromptsGiveEmptyValuesAndTheCommandGoesOn() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        for (int i = 0; i < 7; ++i)
            dialogs.cancelPrompt();
        form.action("addaudioz")->trigger();
        QCOMPARE(form.editArea()->text(),
                 QStringLiteral("<EMBED height=\"\" src=\"\" volume=\"\" loop=\"\" hidden=\"\" "
                                "autostart=\"\" width=\"\">"));
        form.editArea()->setText(QString());
        dialogs.cancelPrompt();
        dialogs.answer(QStringLiteral("text"));
        form.action("addlinkz")->trigger();
        QCOMPARE(form.editArea()->text(), QStringLiteral("<a href=\"\">text</a>"));
        form.editArea()->setText(QString());
        dialogs.cancelPrompt();
        form.action("adddtextlistzz")->trigger();
        QCOMPARE(form.editArea()->text(), QStringLiteral("<li></li>"));
    }

    void theDropDownCommandsInARowStandOnOneLine() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.action("startdropdownbox")->trigger();
        form.action("addoptionsdropdownbox")->trigger();
        form.action("enddropdownboxz")->trigger();
        form.action("closetablez")->trigger();
        form.action("closetablez")->trigger();
        QCOMPARE(form.editArea()->text(),
                 QStringLiteral("<select name=\"mydropdownbox\"><option value=\"mydropdownboxoption\">"
                                "mydropdownboxoptiontext</option></select></table></table>"));
    }

    void newHtmlPageBuildsTheNineLinesAndForgetsTheFile() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.openStartupArgument(QStringLiteral("/some/page.htm"));
        form.editArea()->setText(QStringLiteral("old"));
        dialogs.answer(true);
        form.newHtmlPage();
        QCOMPARE(form.editArea()->text(),
                 QStringLiteral(
                     "<html>\r\n<head>\r\n<meta name=\"GENERATOR\" content=\"Tagloom\">\r\n<title>Untitled "
                     "Page</title>\r\n</head>\r\n<body bgcolor=\"white\" text=\"black\" link=\"blue\" "
                     "vlink=\"gray\" alink=\"red\" style=\"font-family: verdana; font-size: 8pt\">\r\n\r\n"
                     "</body>\r\n</html>"));
        QCOMPARE(dialogs.shown[0].text, QStringLiteral("Do you really want start a new HTML page?"));
        QCOMPARE(dialogs.shown[0].title, QStringLiteral("Tagloom"));
        QCOMPARE(dialogs.shown[0].icon, Dialogs::Icon::None);
        QCOMPARE(promptsOf(dialogs),
                 (QStringList{
                     "Insert the title to the page|Add HTML Basics|Untitled Page",
                     "Insert background color:|Create HTML Body|white",
                     "Insert text color:|Create HTML Body|black", "Insert link color:|Create HTML Body|blue",
                     "Insert visited link color:|Create HTML Body|gray",
                     "Insert active link color:|Create HTML Body|red",
                     "Insert page default font (example: verdana, times, etc):|Create HTML Body|verdana",
                     "Insert default font size:|Create HTML Body|8"}));
        QCOMPARE(form.currentFile(), QString());
        QCOMPARE(test_files::shownTitle(form), test_files::titleOf(QStringLiteral("/some/page.htm")) + u'*'); // unsaved
        form.editArea()->undo();
        QCOMPARE(form.editArea()->text(), QStringLiteral("old"));
    }

    void newHtmlPageWithEveryPromptCancelledStillForgetsThePath() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.openStartupArgument(QStringLiteral("/some/page.htm"));
        dialogs.answer(true);
        for (int i = 0; i < 8; ++i)
            dialogs.cancelPrompt();
        form.newHtmlPage();
        QCOMPARE(form.currentFile(), QString());
        QVERIFY(form.editArea()->text().contains(QStringLiteral("<title></title>")));
        QVERIFY(form.editArea()->text().contains(QStringLiteral("style=\"font-family: ; font-size: pt\">")));
    }

    void newHtmlPageAnsweredNoChangesNothing() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.openStartupArgument(QStringLiteral("/some/page.htm"));
        form.editArea()->setText(QStringLiteral("keep"));
        dialogs.answer(false);
        form.newHtmlPage();
        QCOMPARE(form.editArea()->text(), QStringLiteral("keep"));
        QCOMPARE(form.currentFile(), QStringLiteral("/some/page.htm"));
        QCOMPARE(dialogs.shown.size(), 1);
    }

    void wrapOnHtmlBasics_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        const QString head =
            "<HTML>\r\n<HEAD>\r\n<meta name=\"GENERATOR\" content=\"Tagloom\">\r\n<TITLE>Untitled "
            "Page</TITLE>\r\n</HEAD>\r\n<BODY>\r\n";
        const QString tail = "\r\n</BODY>\r\n</HTML>";
        QTest::newRow("empty") << "" << head + tail;
        QTest::newRow("with final line end") << "<p>x\r\n" << head + "<p>x\r\n" + tail;
        QTest::newRow("without final line end") << "<p>x" << head + "<p>x" + tail;
    }
    void wrapOnHtmlBasics() {
        QFETCH(QString, before);
        QFETCH(QString, after);
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.openStartupArgument(QStringLiteral("/p.htm"));
        form.editArea()->setText(before);
        dialogs.answer(true);
        form.wrapInPageBasics();
        QCOMPARE(form.editArea()->text(), after);
        QCOMPARE(dialogs.shown[0].text, QStringLiteral("Do you really want to wrap text with HTML basics?"));
        QCOMPARE(promptsOf(dialogs),
                 QStringList{"Insert the title to the page|Add HTML Basics|Untitled Page"});
        QCOMPARE(form.currentFile(), QStringLiteral("/p.htm"));
        // Twice nests a second skeleton; undo takes one step back at a time.
        dialogs.answer(true);
        form.wrapInPageBasics();
        QVERIFY(form.editArea()->text().endsWith(after + QStringLiteral("\r\n</BODY>\r\n</HTML>")));
        form.editArea()->undo();
        QCOMPARE(form.editArea()->text(), after);
        form.editArea()->undo();
        QCOMPARE(form.editArea()->text(), before);
    }

    void theCommandTableIsConsistent() {
        // Every menu insertion names a command, and every command but the page templates has a menu item.
        std::set<std::string> used;
        for (const MenuItem& m : menuTable())
            if (m.run.insertion) {
                QVERIFY2(findInsertCommand(m.run.insertion), m.run.insertion);
                used.insert(m.run.insertion);
            }
        std::set<std::string> seen;
        for (const InsertCommand* c : insertCommands()) {
            QVERIFY2(seen.insert(c->id).second, c->id);
            const auto pages = pageTemplates();
            const bool isPage =
                std::any_of(pages.begin(), pages.end(), [&](const auto& p) { return &p == c; });
            QVERIFY2(bool(used.count(c->id)) != isPage,
                     c->id); // page templates run through their own commands
            // Every answer is used. The classic commands put them in the order asked; the newer
            // ones escape every answer.
            QList<int> order;
            std::set<int> escaped;
            for (const Piece& p : c->pieces) {
                if (auto a = std::get_if<Answer>(&p))
                    order << a->index;
                if (auto e = std::get_if<Escaped>(&p))
                    escaped.insert(e->index);
            }
            QList<int> expected;
            for (int i = 0; i < int(c->prompts.size()); ++i)
                expected << i;
            if (c->cancellable)
                QVERIFY2(order.isEmpty() && escaped == std::set<int>(expected.begin(), expected.end()), c->id);
            else
                QVERIFY2(order == expected && escaped.empty(), c->id);
        }
        // Four commands serve two menu items each (Insert and Phrasing, and the two list kinds).
        QCOMPARE(seen.size(), size_t(14 + 15 + 6 + 10 + 3 + 24));
        QCOMPARE(used.size(), seen.size() - pageTemplates().size());
    }
};
} // namespace

TAGLOOM_TEST_MAIN(QApplication, InsertCommandsTest)
#include "test_insert_commands.moc"
