#include "insertion/insert_command.h"
#include "shell/edit_area.h"
#include "shell/form1.h"
#include "shell/menu_table.h"
#include "support/scripted_dialogs.h"

#include <QAction>
#include <QTest>
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
        QTest::addColumn<QString>("control");
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
    }
    void everyCommandWithItsDefaults() {
        QFETCH(QString, control);
        QFETCH(QString, inserted);
        QFETCH(QStringList, prompts);
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.Form_Load(QString());
        form.box()->setText(QStringLiteral("[]"));
        form.box()->setSelStart(1);
        form.action(control)->trigger();
        QCOMPARE(form.box()->Text(), "[" + inserted + "]");
        QCOMPARE(promptsOf(dialogs), prompts);
        QCOMPARE(form.box()->SelStart(), 1 + int(inserted.size())); // caret after the insertion
        QCOMPARE(form.box()->SelLength(), 0);
        QCOMPARE(form.windowTitle(), QStringLiteral("Tagloom - Untitled*"));
        QVERIFY(!form.box()->colourAt(1).has_value());
        form.box()->undo(); // one undo step
        QCOMPARE(form.box()->Text(), QStringLiteral("[]"));
    }

    void wrappingKeepsAMultiLineNonAsciiSelection() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.box()->setText(QString::fromUtf8("a café\r\n日本 z"));
        form.box()->setSelStart(2);
        form.box()->setSelLength(8);
        form.boldzz_Click();
        QCOMPARE(form.box()->Text(), QString::fromUtf8("a <b>café\r\n日本</b> z"));
        QCOMPARE(form.box()->SelStart(), 17);
    }

    void commandsThatDoNotWrapReplaceTheSelection() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.box()->setText(QStringLiteral("a word b"));
        form.box()->setSelStart(2);
        form.box()->setSelLength(4);
        form.paragraph2z_Click();
        QCOMPARE(form.box()->Text(), QStringLiteral("a <p>\r\n\r\n</p>\r\n b"));
        form.box()->setSelStart(0);
        form.box()->setSelLength(1);
        dialogs.answer(QStringLiteral("typed"));
        form.addboltextz_Click();
        QCOMPARE(form.box()->Text().left(15), QStringLiteral("<b>typed</b> <p"));
    }

    void answersGoInExactlyAsTyped() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        dialogs.answer(QStringLiteral("a\"b<c>&d"));
        dialogs.answer(QStringLiteral(" A2 Text1 %1 {0} "));
        form.addlinkz_Click();
        QCOMPARE(form.box()->Text(), QStringLiteral("<a href=\"a\"b<c>&d\"> A2 Text1 %1 {0} </a>"));
    }

    void cancelledPromptsGiveEmptyValuesAndTheCommandGoesOn() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        for (int i = 0; i < 7; ++i)
            dialogs.cancelPrompt();
        form.addaudioz_Click();
        QCOMPARE(form.box()->Text(),
                 QStringLiteral("<EMBED height=\"\" src=\"\" volume=\"\" loop=\"\" hidden=\"\" "
                                "autostart=\"\" width=\"\">"));
        form.box()->setText(QString());
        dialogs.cancelPrompt();
        dialogs.answer(QStringLiteral("text"));
        form.addlinkz_Click();
        QCOMPARE(form.box()->Text(), QStringLiteral("<a href=\"\">text</a>"));
        form.box()->setText(QString());
        dialogs.cancelPrompt();
        form.adddtextlistzz_Click();
        QCOMPARE(form.box()->Text(), QStringLiteral("<li></li>"));
    }

    void theDropDownCommandsInARowStandOnOneLine() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.startdropdownbox_Click();
        form.addoptionsdropdownbox_Click();
        form.enddropdownboxz_Click();
        form.closetablez_Click();
        form.closetablez_Click();
        QCOMPARE(form.box()->Text(),
                 QStringLiteral("<select name=\"mydropdownbox\"><option value=\"mydropdownboxoption\">"
                                "mydropdownboxoptiontext</option></select></table></table>"));
    }

    void newHtmlPageBuildsTheNineLinesAndForgetsTheFile() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.Form_Load(QStringLiteral("/some/page.htm"));
        form.box()->setText(QStringLiteral("old"));
        form.fields().Text3 = QStringLiteral("old copy");
        dialogs.answer(true);
        form.newhtmlpagezz_Click();
        QCOMPARE(form.box()->Text(),
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
        QCOMPARE(form.CurrentFile(), QString());
        QCOMPARE(form.fields().Text3, QString());
        QCOMPARE(form.windowTitle(), QStringLiteral("Tagloom - /some/page.htm"));
        form.box()->undo();
        QCOMPARE(form.box()->Text(), QStringLiteral("old"));
    }

    void newHtmlPageWithEveryPromptCancelledStillForgetsThePath() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.Form_Load(QStringLiteral("/some/page.htm"));
        dialogs.answer(true);
        for (int i = 0; i < 8; ++i)
            dialogs.cancelPrompt();
        form.newhtmlpagezz_Click();
        QCOMPARE(form.CurrentFile(), QString());
        QVERIFY(form.box()->Text().contains(QStringLiteral("<title></title>")));
        QVERIFY(form.box()->Text().contains(QStringLiteral("style=\"font-family: ; font-size: pt\">")));
    }

    void newHtmlPageAnsweredNoChangesNothing() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.Form_Load(QStringLiteral("/some/page.htm"));
        form.box()->setText(QStringLiteral("keep"));
        dialogs.answer(false);
        form.newhtmlpagezz_Click();
        QCOMPARE(form.box()->Text(), QStringLiteral("keep"));
        QCOMPARE(form.CurrentFile(), QStringLiteral("/some/page.htm"));
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
        Form1 form(dialogs);
        form.Form_Load(QStringLiteral("/p.htm"));
        form.box()->setText(before);
        dialogs.answer(true);
        form.basicz_Click();
        QCOMPARE(form.box()->Text(), after);
        QCOMPARE(dialogs.shown[0].text, QStringLiteral("Do you really want to wrap text with HTML basics?"));
        QCOMPARE(promptsOf(dialogs),
                 QStringList{"Insert the title to the page|Add HTML Basics|Untitled Page"});
        QCOMPARE(form.CurrentFile(), QStringLiteral("/p.htm"));
        // Twice nests a second skeleton; undo takes one step back at a time.
        dialogs.answer(true);
        form.basicz_Click();
        QVERIFY(form.box()->Text().endsWith(after + QStringLiteral("\r\n</BODY>\r\n</HTML>")));
        form.box()->undo();
        QCOMPARE(form.box()->Text(), after);
        form.box()->undo();
        QCOMPARE(form.box()->Text(), before);
    }

    void theCommandTableIsConsistent() {
        std::set<std::string> menuCommands;
        const auto items = menuTable();
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i].caption && (i + 1 == items.size() || items[i + 1].level <= items[i].level))
                menuCommands.insert(items[i].control);
        std::set<std::string> seen;
        for (const InsertCommand* c : insertCommands()) {
            QVERIFY2(menuCommands.count(c->control), c->control);
            QVERIFY2(seen.insert(c->control).second, c->control);
            // Every answer is used, and the answers stand in the template in the order asked.
            QList<int> order;
            for (const Piece& p : c->pieces)
                if (auto a = std::get_if<Answer>(&p))
                    order << a->index;
            QList<int> expected;
            for (int i = 0; i < int(c->prompts.size()); ++i)
                expected << i;
            QVERIFY2(order == expected, c->control);
        }
        QCOMPARE(seen.size(), size_t(18 + 15 + 6 + 10 + 2));
    }
};
} // namespace

QObject* newInsertCommandsTest() {
    return new InsertCommandsTest;
}
#include "test_insert_commands.moc"
