#include "app/main_window.h"
#include "editor/colouring_steps.h"
#include "editor/edit_area.h"
#include "support/scripted_dialogs.h"
#include "support/test_files.h"

#include <QApplication>
#include <QMenuBar>
#include <QScopeGuard>
#include <QTextBlock>
#include <QTextLayout>
#include <cmath>
#include <QTest>

namespace {
// One letter per character: B royal blue, R red, S system grey, D dim grey, . default.
QString coloursOf(EditArea& box) {
    QString out;
    const int n = int(box.text().size());
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

double contrast(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& c) {
        const auto linear = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double x = luminance(a) + 0.05, y = luminance(b) + 0.05;
    return std::max(x, y) / std::min(x, y);
}

class ColouringCommandsTest : public QObject {
    Q_OBJECT
private slots:
    // On a white page the classic colours are exactly royal blue, red and dim grey; on a dark one
    // they are lighter shades of the same hues, as light as body text needs.
    void theClassicColoursReadOnAnyBackground_data() {
        QTest::addColumn<QColor>("base");
        QTest::newRow("white") << QColor(Qt::white);
        QTest::newRow("a light grey") << QColor(0xef, 0xf0, 0xf1);
        QTest::newRow("a dark grey") << QColor(0x23, 0x26, 0x29);
        QTest::newRow("black") << QColor(Qt::black);
        QTest::newRow("navy") << QColor(0x1e, 0x1e, 0x3f);
    }
    void theClassicColoursReadOnAnyBackground() {
        QFETCH(QColor, base);
        const QPalette before = QApplication::palette();
        QPalette palette = before;
        palette.setColor(QPalette::Base, base);
        palette.setColor(QPalette::Text, base.lightness() < 128 ? Qt::white : Qt::black);
        QApplication::setPalette(palette);
        auto restore = qScopeGuard([&] { QApplication::setPalette(before); });
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.editArea()->loadText(QStringLiteral("<a href=\"x\">y</a><!-- n -->"));
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.colourAsHtml();
        const QTextBlock block = form.editArea()->document()->firstBlock();
        const auto shownAt = [&block](int position) {
            for (const QTextLayout::FormatRange& range : block.layout()->formats())
                if (range.start <= position && position < range.start + range.length)
                    return range.format.foreground().color();
            return QColor();
        };
        const bool dark = base.lightness() < 128;
        for (const auto& [position, classic] : {std::pair(0, QColor(65, 105, 225)), std::pair(9, QColor(255, 0, 0)),
                                                std::pair(18, QColor(105, 105, 105))}) {
            QTRY_VERIFY2(shownAt(position).isValid(), qPrintable(QString::number(position)));
            const QColor shown = shownAt(position);
            if (!dark) {
                QCOMPARE(shown, classic);
                continue;
            }
            QVERIFY2(contrast(shown, base) >= 4.5, qPrintable(shown.name()));
            QVERIFY2(shown.lightness() >= classic.lightness(), qPrintable(shown.name())); // already readable: as it is
            QVERIFY2(std::abs(shown.hslHue() - classic.hslHue()) <= 3, qPrintable(shown.name()));
        }
    }

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
        MainWindow form(dialogs);
        form.editArea()->setText(text);
        form.colourAsHtml();
        QCOMPARE(coloursOf(*form.editArea()), colours);
        QCOMPARE(form.editArea()->text(), text);
        QVERIFY(dialogs.shown.isEmpty());
    }

    void afterThePassTheLastDeclarationIsSelectedAndFocused() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.show();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.menuBar()->setFocus();
        form.editArea()->setText(QStringLiteral("<a href=\"x\">y</a>\r\n<!-- end -->"));
        form.colourAsHtml();
        QCOMPARE(form.editArea()->selectedText(), QStringLiteral("<!-- end -->"));
        QCOMPARE(QApplication::focusWidget(), form.editArea());
        form.editArea()->setText(QStringLiteral("<a href=\"x\">y</a>"));
        form.colourAsHtml();
        QCOMPARE(form.editArea()->selectedText(), QStringLiteral("=\"x\""));
        form.editArea()->setText(QStringLiteral("<b>x</b>"));
        form.editArea()->setCaretPosition(5);
        form.colourAsHtml();
        QCOMPARE(form.editArea()->selectionStart(), 0);
        QCOMPARE(form.editArea()->selectionLength(), 0);
    }

    void runningThePassTwiceOrAfterAnEditLeavesNoStaleColour() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.editArea()->setText(QStringLiteral("<b>bold</b>"));
        form.colourAsHtml();
        const QString once = coloursOf(*form.editArea());
        form.colourAsHtml();
        QCOMPARE(coloursOf(*form.editArea()), once);
        // Break the tag: its colour must go with the next pass.
        form.editArea()->setCaretPosition(1);
        form.editArea()->replaceSelection(QStringLiteral(" "));
        form.colourAsHtml();
        QCOMPARE(coloursOf(*form.editArea()), QStringLiteral("........BBBB"));
    }

    void normalTextDropsEveryColourAndKeepsTheText() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        const QString text = QStringLiteral("<p>one</p>\r\n\r\n<!-- two -->");
        form.editArea()->setText(text);
        form.colourAsHtml();
        form.showPlainText();
        QCOMPARE(form.editArea()->text(), text);
        QCOMPARE(coloursOf(*form.editArea()), QString(text.size(), u'.'));
    }

    void undoAfterThePassUndoesTheLastEditNotTheColours() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.editArea()->loadText(QStringLiteral("<b>x</b>"));
        form.editArea()->setCaretPosition(8);
        QTest::keyClicks(form.editArea(), QStringLiteral("!"));
        form.colourAsHtml();
        form.editArea()->undo();
        QCOMPARE(form.editArea()->text(), QStringLiteral("<b>x</b>"));
        QCOMPARE(coloursOf(*form.editArea()), QStringLiteral("BBB.BBBB"));
        QVERIFY(!form.editArea()->document()->isUndoAvailable());
    }

    void anEmptyDocumentColoursNothing() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.colourAsHtml();
        QCOMPARE(form.editArea()->text(), QString());
    }

    void highlightAloneColoursLikeThePassAndRestoresTheSelection() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.editArea()->setText(QStringLiteral("<TABLE border=1>\r\n<table>"));
        form.editArea()->setCaretPosition(3);
        form.editArea()->setSelectionLength(4);
        colouring_steps::colourWord(*form.editArea(), QStringLiteral("<table"), kRoyalBlue);
        QCOMPARE(coloursOf(*form.editArea()),
                 QStringLiteral("BBBBBB..........") + QStringLiteral("..BBBBBB."));
        QCOMPARE(form.editArea()->selectionStart(), 3);
        QCOMPARE(form.editArea()->selectionLength(), 4);
        colouring_steps::colourWord(*form.editArea(), QString(), kPureRed);
        colouring_steps::colourWord(*form.editArea(), QStringLiteral("absent"), kPureRed);
        QCOMPARE(coloursOf(*form.editArea()),
                 QStringLiteral("BBBBBB..........") + QStringLiteral("..BBBBBB."));
    }

    void valuesAndDeclarationsAloneLeaveTheSelectionOnTheirLastRange() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.editArea()->setText(QStringLiteral("<a href=\"x.htm\">Home</a>"));
        colouring_steps::colourValues(*form.editArea());
        QCOMPARE(coloursOf(*form.editArea()), QStringLiteral(".......RRRRRRRR........."));
        QCOMPARE(form.editArea()->selectedText(), QStringLiteral("=\"x.htm\""));
        form.editArea()->setText(QStringLiteral("a=\"b"));
        colouring_steps::colourValues(*form.editArea());
        QCOMPARE(coloursOf(*form.editArea()), QStringLiteral("...."));
        QCOMPARE(form.editArea()->selectionStart(), 1);
        QCOMPARE(form.editArea()->selectionLength(), 0);
        form.editArea()->setText(QStringLiteral("<!-- a > b -->"));
        colouring_steps::colourDeclarations(*form.editArea());
        QCOMPARE(coloursOf(*form.editArea()), QStringLiteral("SSSSSSSS......"));
    }
};
} // namespace

TAGLOOM_TEST_MAIN(QApplication, ColouringCommandsTest)
#include "test_colouring_commands.moc"
