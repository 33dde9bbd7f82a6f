#include "shell/edit_area.h"
#include "shell/form1.h"
#include "support/scripted_dialogs.h"

#include <QMenuBar>
#include <QTest>

namespace {
// One letter per character: B royal blue, R red, S system grey, D dim grey, . default.
QString coloursOf(EditArea& box) {
    QString out;
    const int n = int(box.Text().size());
    for (int i = 0; i < n; ++i) {
        const auto c = box.colourAt(i);
        if (!c)
            out += u'.';
        else if (*c == kRoyalBlue)
            out += u'B';
        else if (*c == kPureRed)
            out += u'R';
        else if (*c == kSystemGreyText)
            out += u'S';
        else if (*c == kDimGrey)
            out += u'D';
        else
            out += u'?';
    }
    return out;
}

// Builds the expected letters from (piece, letter) pairs, as the colour table reads.
QString spans(std::initializer_list<std::pair<const char*, char>> pieces, QString* text) {
    QString letters;
    for (auto [piece, letter] : pieces) {
        const QString p = QString::fromUtf8(piece);
        *text += p;
        letters += QString(p.size(), QChar::fromLatin1(letter));
    }
    return letters;
}

class ColouringCommandsTest : public QObject {
    Q_OBJECT
private slots:
    void thePassColoursTypicalPieces_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("colours");
        QString t;
        QString c = spans({{"<a", 'B'},
                           {" ", '.'},
                           {"href=\"", 'B'},
                           {"x.htm", 'R'},
                           {"\">", 'B'},
                           {"Home", '.'},
                           {"</a>", 'B'}},
                          &t);
        QTest::newRow("link") << t << c;
        t.clear();
        c = spans({{"<font", 'B'},
                   {" ", '.'},
                   {"face=\"", 'B'},
                   {"Arial\" ", 'R'},
                   {"size=\"", 'B'},
                   {"2", 'R'},
                   {"\">", 'B'},
                   {"Hi", '.'},
                   {"</font>", 'B'}},
                  &t);
        QTest::newRow("font") << t << c;
        t.clear();
        c = spans({{"<TABLE", 'B'}, {" ", '.'}, {"border=", 'B'}, {"1>", '.'}}, &t);
        QTest::newRow("unquoted attribute") << t << c;
        t.clear();
        c = spans({{"<!--", 'D'}, {" note ", 'S'}, {"-->", 'D'}}, &t);
        QTest::newRow("comment") << t << c;
        t.clear();
        c = spans({{"<!DOCTYPE HTML PUBLIC", 'D'},
                   {" \"-//", 'S'},
                   {"W3C", 'D'},
                   {"//", 'S'},
                   {"DTD HTML 4.01 Transitional", 'D'},
                   {"//EN", 'S'},
                   {"\">", 'B'}},
                  &t);
        QTest::newRow("document type") << t << c;
        t.clear();
        c = spans({{"<BUTTON", 'B'}, {">", '.'}, {"\r\n", '.'}, {"<button", 'B'}, {">", '.'}}, &t);
        QTest::newRow("button in both cases, across a line end") << t << c;
        t.clear();
        c = spans({{"<blockquote", 'B'}, {" cite=", '.'}}, &t);
        QTest::newRow("blockquote with attribute") << t << c;
        t.clear();
        c = spans({{"see the ", '.'}, {"alink", 'B'}, {" word", '.'}}, &t);
        QTest::newRow("alink in prose") << t << c;
        t.clear();
        c = spans({{"<p", 'B'}, {" a", '.'}, {"=\"", 'B'}, {"x ", '.'}, {"<!", 'D'}, {"x ", 'S'}, {">", 'S'}},
                  &t);
        QTest::newRow("value never closed") << t << c;
        t.clear();
        c = spans({{"caf\u00E9 ", '.'}, {"<i>", 'B'}, {"\u65E5", '.'}, {"</i>", 'B'}}, &t);
        QTest::newRow("non-ASCII") << t << c;
    }
    void thePassColoursTypicalPieces() {
        QFETCH(QString, text);
        QFETCH(QString, colours);
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.box()->setText(text);
        form.htmlz_Click();
        QCOMPARE(coloursOf(*form.box()), colours);
        QCOMPARE(form.box()->Text(), text);
        QCOMPARE(form.fields().Text3, text);
        QVERIFY(dialogs.shown.isEmpty());
    }

    void afterThePassTheLastDeclarationIsSelectedAndFocused() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.menuBar()->setFocus();
        form.box()->setText(QStringLiteral("<a href=\"x\">y</a>\r\n<!-- end -->"));
        form.htmlz_Click();
        QCOMPARE(form.box()->SelText(), QStringLiteral("<!-- end -->"));
        QCOMPARE(QApplication::focusWidget(), form.box());
        form.box()->setText(QStringLiteral("<a href=\"x\">y</a>"));
        form.htmlz_Click();
        QCOMPARE(form.box()->SelText(), QStringLiteral("=\"x\""));
        form.box()->setText(QStringLiteral("<b>x</b>"));
        form.box()->setSelStart(5);
        form.htmlz_Click();
        QCOMPARE(form.box()->SelStart(), 0);
        QCOMPARE(form.box()->SelLength(), 0);
    }

    void runningThePassTwiceOrAfterAnEditLeavesNoStaleColour() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.box()->setText(QStringLiteral("<b>bold</b>"));
        form.htmlz_Click();
        const QString once = coloursOf(*form.box());
        form.htmlz_Click();
        QCOMPARE(coloursOf(*form.box()), once);
        // Break the tag: its colour must go with the next pass.
        form.box()->setSelStart(1);
        form.box()->setSelText(QStringLiteral(" "));
        form.htmlz_Click();
        QCOMPARE(coloursOf(*form.box()), QStringLiteral("........BBBB"));
    }

    void normalTextDropsEveryColourAndKeepsTheText() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        const QString text = QStringLiteral("<p>one</p>\r\n\r\n<!-- two -->");
        form.box()->setText(text);
        form.htmlz_Click();
        form.normailtxtfilez_Click();
        QCOMPARE(form.box()->Text(), text);
        QCOMPARE(coloursOf(*form.box()), QString(text.size(), u'.'));
        QCOMPARE(form.fields().Text3, text);
    }

    void undoAfterThePassUndoesTheLastEditNotTheColours() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.box()->loadText(QStringLiteral("<b>x</b>"));
        form.box()->setSelStart(8);
        QTest::keyClicks(form.box(), QStringLiteral("!"));
        form.htmlz_Click();
        form.box()->undo();
        QCOMPARE(form.box()->Text(), QStringLiteral("<b>x</b>"));
        QCOMPARE(coloursOf(*form.box()), QStringLiteral("BBB.BBBB"));
        QVERIFY(!form.box()->document()->isUndoAvailable());
    }

    void anEmptyDocumentColoursNothing() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.htmlz_Click();
        QCOMPARE(form.box()->Text(), QString());
        QCOMPARE(form.fields().Text3, QString());
    }

    void highlightAloneColoursLikeThePassAndRestoresTheSelection() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.box()->setText(QStringLiteral("<TABLE border=1>\r\n<table>"));
        form.box()->setSelStart(3);
        form.box()->setSelLength(4);
        form.Highlight(*form.box(), QStringLiteral("<table"), kRoyalBlue);
        QCOMPARE(coloursOf(*form.box()), QStringLiteral("BBBBBB..........") + QStringLiteral("..BBBBBB."));
        QCOMPARE(form.box()->SelStart(), 3);
        QCOMPARE(form.box()->SelLength(), 4);
        form.Highlight(*form.box(), QString(), kPureRed);
        form.Highlight(*form.box(), QStringLiteral("absent"), kPureRed);
        QCOMPARE(coloursOf(*form.box()), QStringLiteral("BBBBBB..........") + QStringLiteral("..BBBBBB."));
    }

    void valuesAndDeclarationsAloneLeaveTheSelectionOnTheirLastRange() {
        ScriptedDialogs dialogs;
        Form1 form(dialogs);
        form.box()->setText(QStringLiteral("<a href=\"x.htm\">Home</a>"));
        form.Color_Values(*form.box());
        QCOMPARE(coloursOf(*form.box()), QStringLiteral(".......RRRRRRRR........."));
        QCOMPARE(form.box()->SelText(), QStringLiteral("=\"x.htm\""));
        form.box()->setText(QStringLiteral("a=\"b"));
        form.Color_Values(*form.box());
        QCOMPARE(coloursOf(*form.box()), QStringLiteral("...."));
        QCOMPARE(form.box()->SelStart(), 1);
        QCOMPARE(form.box()->SelLength(), 0);
        form.box()->setText(QStringLiteral("<!-- a > b -->"));
        form.Color_Declarations(*form.box());
        QCOMPARE(coloursOf(*form.box()), QStringLiteral("SSSSSSSS......"));
    }
};
} // namespace

QObject* newColouringCommandsTest() {
    return new ColouringCommandsTest;
}
#include "test_colouring_commands.moc"
