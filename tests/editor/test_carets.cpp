#include "app/main_window.h"
#include "editor/edit_area.h"
#include "support/scripted_dialogs.h"
#include "support/test_files.h"

#include <QApplication>
#include <QClipboard>
#include <QTest>
#include <QTextBlock>

namespace {

// Text with carets written in: `|` a caret, `[…]` a selection. Line ends are written \n and
// stand for CR LF.
struct Marked {
    QString text;
    std::vector<int> carets;
};
Marked unmark(const QString& marked) {
    Marked out;
    const QString crlf = QString(marked).replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    for (const QChar c : crlf) {
        if (c == u'|')
            out.carets.push_back(int(out.text.size()));
        else
            out.text += c;
    }
    return out;
}
QString mark(const EditArea& area) {
    QString text = area.text();
    const auto selections = area.caretSelections();
    for (auto it = selections.rbegin(); it != selections.rend(); ++it) {
        if (it->second == 0) {
            text.insert(it->first, u'|');
        } else {
            text.insert(it->first + it->second, u']');
            text.insert(it->first, u'[');
        }
    }
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// Alt+click at a text position, as the user adds a caret.
void altClick(EditArea& area, int position) {
    QTextCursor at(area.document());
    at.setPosition(area.docFromCrlf(CrlfPosition(position)).value);
    QTest::mouseClick(area.viewport(), Qt::LeftButton, Qt::AltModifier, area.cursorRect(at).center());
}

void setCarets(EditArea& area, const Marked& marked) {
    area.loadText(marked.text);
    area.setCaretPosition(marked.carets.front());
    for (size_t i = 1; i < marked.carets.size(); ++i)
        altClick(area, marked.carets[i]);
}

class CaretsTest : public QObject {
    Q_OBJECT

private slots:
    // What each key does at every caret; one Undo gives the text back.
    void everyCaretTakesTheKey_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("after");
        QTest::newRow("typing") << "a|b\nc|d\ne|f" << "XY" << "aXY|b\ncXY|d\neXY|f";
        QTest::newRow("Backspace") << "ab|\ncd|\nef|" << "<Backspace>" << "a|\nc|\ne|";
        QTest::newRow("Delete") << "|ab\n|cd" << "<Delete>" << "|b\n|d";
        QTest::newRow("Enter") << "a|b\nc|d" << "<Enter>" << "a\n|b\nc\n|d";
        QTest::newRow("carets that meet become one") << "ab|c|" << "<Backspace><Backspace>" << "|";
        QTest::newRow("caret keys move them all") << "a|bc\nd|ef" << "<Right>x" << "abx|c\ndex|f";
        QTest::newRow("Shift selects at each") << "|abc\n|def" << "<Shift+Right><Shift+Right>z" << "z|c\nz|f";
        QTest::newRow("a line each from the clipboard") << "a|\nb|\nc|" << "<Paste:1\n2\n3>" << "a1|\nb2|\nc3|";
        QTest::newRow("the same text when the lines are not as many") << "a|\nb|" << "<Paste:1\n2\n3>"
                                                                       << "a1\n2\n3|\nb1\n2\n3|";
        QTest::newRow("Escape leaves the main caret") << "a|b\nc|d" << "<Escape>x" << "ab\ncx|d";
    }
    void everyCaretTakesTheKey() {
        QFETCH(QString, before);
        QFETCH(QString, keys);
        QFETCH(QString, after);
        EditArea area;
        area.resize(500, 300);
        area.show();
        const Marked start = unmark(before);
        setCarets(area, start);
        QCOMPARE(area.caretCount(), int(start.carets.size()));
        // <Key> names a key, <Paste:text> pastes; anything else is typed.
        for (qsizetype i = 0; i < keys.size();) {
            if (keys[i] != u'<') {
                QTest::keyClicks(&area, keys.mid(i, 1));
                ++i;
                continue;
            }
            const qsizetype end = keys.indexOf(u'>', i);
            const QString name = keys.mid(i + 1, end - i - 1);
            if (name.startsWith(QStringLiteral("Paste:"))) {
                QApplication::clipboard()->setText(name.mid(6));
                area.pressStandardKey(QKeySequence::Paste);
            } else {
                QTest::keySequence(&area, QKeySequence(name == QStringLiteral("Enter") ? QStringLiteral("Return") : name));
            }
            i = end + 1;
        }
        QCOMPARE(mark(area), after);
        // An edit by one key at every caret is one step back.
        const bool oneKey = keys.size() == 1 || (keys.startsWith(u'<') && keys.indexOf(u'<', 1) < 0 && keys.endsWith(u'>'));
        if (oneKey && area.text() != start.text) {
            area.undo();
            QCOMPARE(area.text(), start.text);
        }
    }

    // Alt+drag makes a column; Add Caret Above and Below; Select Next Occurrence.
    void columnsAndOccurrences() {
        EditArea area;
        area.resize(500, 300);
        area.show();
        area.loadText(QStringLiteral("one two\r\nthree four\r\nsix\r\nseven eight"));
        const auto pointAt = [&](int line, int column) {
            QTextCursor at(area.document());
            at.setPosition(area.document()->findBlockByNumber(line).position() + column);
            return area.cursorRect(at).center();
        };
        QTest::mousePress(area.viewport(), Qt::LeftButton, Qt::AltModifier, pointAt(0, 1));
        QMouseEvent move(QEvent::MouseMove, pointAt(3, 3), area.viewport()->mapToGlobal(pointAt(3, 3)), Qt::NoButton,
                         Qt::LeftButton, Qt::AltModifier);
        QApplication::sendEvent(area.viewport(), &move);
        QTest::mouseRelease(area.viewport(), Qt::LeftButton, Qt::AltModifier, pointAt(3, 3));
        QCOMPARE(mark(area), QStringLiteral("o[ne] two\nt[hr]ee four\ns[ix]\ns[ev]en eight"));
        QTest::keyClicks(&area, QStringLiteral("_"));
        QCOMPARE(mark(area), QStringLiteral("o_| two\nt_|ee four\ns_|\ns_|en eight"));
        QTest::mouseClick(area.viewport(), Qt::LeftButton, {}, pointAt(0, 0));
        QCOMPARE(area.caretCount(), 1);

        area.loadText(QStringLiteral("ab\r\ncd\r\nef"));
        area.setCaretPosition(5);
        area.addCaret(true);
        area.addCaret(false);
        area.addCaret(false); // no line below the last
        QCOMPARE(mark(area), QStringLiteral("a|b\nc|d\ne|f"));

        area.loadText(QStringLiteral("<li>a</li> <li>b</li>\r\n<li>c</li>"));
        area.setCaretPosition(2);
        QVERIFY(area.selectNextOccurrence()); // the word first
        QVERIFY(area.selectNextOccurrence());
        QVERIFY(area.selectNextOccurrence());
        QCOMPARE(mark(area), QStringLiteral("<[li]>a</[li]> <[li]>b</li>\n<li>c</li>"));
        QVERIFY(area.selectNextOccurrence());
        QVERIFY(area.selectNextOccurrence());
        QVERIFY(area.selectNextOccurrence()); // every one, then round to the start: none left
        QVERIFY(!area.selectNextOccurrence());
        QTest::keyClicks(&area, QStringLiteral("p"));
        QCOMPARE(area.text(), QStringLiteral("<p>a</p> <p>b</p>\r\n<p>c</p>"));
    }

    // Through the window: Alt+click three carets and type; the insertion commands at each, one undo step.
    void theWindowsCommandsAtEveryCaret() {
        ScriptedDialogs dialogs;
        MainWindow form(dialogs);
        form.setQuitHandler([] {});
        form.show();
        EditArea* area = form.editArea();
        const Marked start = unmark(QStringLiteral("a|\nb|\nc|"));
        setCarets(*area, start);
        QTest::keyClicks(area, QStringLiteral("!"));
        QCOMPARE(mark(*area), QStringLiteral("a!|\nb!|\nc!|"));
        form.action(QStringLiteral("addbreak"))->trigger();
        QCOMPARE(mark(*area), QStringLiteral("a!<br>\n|\nb!<br>\n|\nc!<br>\n|"));
        area->undo();
        QCOMPARE(mark(*area), QStringLiteral("a!|\nb!|\nc!|"));
        QTest::keySequence(area, QKeySequence(QStringLiteral("Shift+Left")));
        form.action(QStringLiteral("boldzz"))->trigger();
        QCOMPARE(mark(*area), QStringLiteral("a<b>!</b>|\nb<b>!</b>|\nc<b>!</b>|"));
        form.action(QStringLiteral("selectNextOccurrence"))->trigger();
        QCOMPARE(area->caretCount(), 3);
    }
};

} // namespace

TAGLOOM_TEST_MAIN(QApplication, CaretsTest)
#include "test_carets.moc"
