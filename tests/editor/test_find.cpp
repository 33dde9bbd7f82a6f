#include "editor/edit_area.h"
#include "editor/find_bar.h"
#include "support/test_files.h"

#include <QApplication>
#include <QAbstractButton>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

namespace {
// The edit area and its find bar in one shown window, as the program has them.
struct Window {
    QWidget window;
    EditArea* area = new EditArea(&window);
    FindBar* bar = new FindBar(area, &window);
    explicit Window(const QString& text) {
        auto* column = new QVBoxLayout(&window);
        column->addWidget(area);
        column->addWidget(bar);
        window.resize(600, 300);
        window.show();
        area->loadText(text);
    }
    void search(const QString& pattern, const QString& flags) {
        bar->showFind();
        bar->matchCaseBox()->setChecked(flags.contains(u'c'));
        bar->wholeWordBox()->setChecked(flags.contains(u'w'));
        bar->regexBox()->setChecked(flags.contains(u'r'));
        bar->findField()->clear();
        bar->findField()->insert(pattern); // as typed: the search follows each edit
    }
    QStringList found() {
        QStringList out;
        for (const SearchMatch& m : bar->matches())
            out << QStringLiteral("%1:%2").arg(m.start).arg(m.length);
        return out;
    }
};

class FindTest : public QObject {
    Q_OBJECT
private slots:
    void findsWhatTheOptionsSay_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("flags"); // c: match case, w: whole word, r: regular expression
        QTest::addColumn<QStringList>("found");
        QTest::newRow("any case") << "Cat cat CAT" << "cat" << "" << QStringList{"0:3", "4:3", "8:3"};
        QTest::newRow("match case") << "Cat cat CAT" << "cat" << "c" << QStringList{"4:3"};
        QTest::newRow("accents fold case") << "É é" << "é" << "" << QStringList{"0:1", "2:1"};
        QTest::newRow("whole word") << "cat category bobcat cat_x (cat)" << "cat" << "w"
                                    << QStringList{"0:3", "27:3"};
        QTest::newRow("whole word of a tag") << "<b><br>" << "<b" << "w" << QStringList{"0:2"};
        QTest::newRow("no overlap") << "aaaa" << "aa" << "" << QStringList{"0:2", "2:2"};
        QTest::newRow("regex") << "<p class=a><P id=b>" << "<p (\\w+)=" << "r" << QStringList{"0:9", "11:6"};
        QTest::newRow("regex, case") << "<p class=a><P id=b>" << "<p \\w+" << "rc" << QStringList{"0:8"};
        QTest::newRow("regex, whole word") << "td tdx td" << "t." << "rw" << QStringList{"0:2", "7:2"};
        QTest::newRow("$ before CR LF") << "ab\r\ncb\r\nb" << "b$" << "r" << QStringList{"1:1", "5:1", "8:1"};
        // The mark of a byte that was no UTF-8 (a lone surrogate) hides nothing around it.
        QTest::newRow("beside a bad byte's mark") << QStringLiteral("caf") + QChar(0xDCE9) + QStringLiteral(" Caf") << "caf" << ""
                                                  << QStringList{"0:3", "5:3"};
        QTest::newRow("regex beside a bad byte's mark") << QStringLiteral("a") + QChar(0xDCFF) + QStringLiteral("b") << "a.b" << "r"
                                                        << QStringList{"0:3"};
        QTest::newRow("^ after CR LF") << "ab\r\nab" << "^a" << "r" << QStringList{"0:1", "4:1"};
        QTest::newRow("empty matches are none") << "abc" << "x*" << "r" << QStringList{};
        QTest::newRow("invalid regex") << "a(b" << "a(" << "r" << QStringList{};
    }
    void findsWhatTheOptionsSay() {
        QFETCH(QString, text);
        QFETCH(QString, pattern);
        QFETCH(QString, flags);
        QFETCH(QStringList, found);
        Window w(text);
        w.search(pattern, flags);
        QCOMPARE(w.found(), found);
        if (found.isEmpty()) {
            QCOMPARE(w.area->selectionLength(), 0);
        } else {
            // Typing selects the first match and counts them all.
            QCOMPARE(QStringLiteral("%1:%2").arg(w.area->selectionStart()).arg(w.area->selectionLength()), found[0]);
            QCOMPARE(w.bar->message(), QStringLiteral("1 of %1").arg(found.size()));
        }
    }

    void anInvalidExpressionIsShownAndFindsNothing() {
        Window w(QStringLiteral("a(b [x"));
        for (const QString& pattern : {QStringLiteral("a("), QStringLiteral("[x"), QStringLiteral("*"), QStringLiteral("\\")}) {
            w.search(pattern, QStringLiteral("r"));
            QVERIFY2(w.bar->message().startsWith(QStringLiteral("Invalid expression: ")), qPrintable(pattern));
            w.bar->findNext();
            w.bar->replaceAll();
            QCOMPARE(w.area->text(), QStringLiteral("a(b [x"));
        }
        // The same text is fine as a plain search.
        w.search(QStringLiteral("a("), QString());
        QCOMPARE(w.bar->message(), QStringLiteral("1 of 1"));
    }

    void enterStepsAndWrapsAroundAndEscapeGoesBackToTheText() {
        Window w(QStringLiteral("x1\r\nx2\r\nx3"));
        w.area->setCaretPosition(1); // after the first match
        w.search(QStringLiteral("x"), QString());
        QCOMPARE(w.area->selectionStart(), 4);
        QCOMPARE(w.bar->message(), QStringLiteral("2 of 3"));
        QTest::keyClick(w.bar->findField(), Qt::Key_Return);
        QCOMPARE(w.bar->message(), QStringLiteral("3 of 3"));
        QTest::keyClick(w.bar->findField(), Qt::Key_Return);
        QCOMPARE(w.area->selectionStart(), 0);
        QVERIFY(w.bar->message().contains(QStringLiteral("wrapped to the top")));
        QTest::keyClick(w.bar->findField(), Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(w.area->selectionStart(), 8);
        QVERIFY(w.bar->message().contains(QStringLiteral("wrapped to the bottom")));
        QTest::keyClick(w.bar->findField(), Qt::Key_Escape);
        QVERIFY(w.bar->isHidden());
        QCOMPARE(w.window.focusWidget(), w.area);
        QVERIFY(w.area->extraSelections().isEmpty());
        QCOMPARE(w.area->selectedText(), QStringLiteral("x")); // the last match stays selected
        // F3 and Shift+F3 with the bar closed step through the last search; the text keeps the focus.
        w.bar->findNext();
        QCOMPARE(w.area->selectionStart(), 0);
        w.bar->findPrevious();
        QCOMPARE(w.area->selectionStart(), 8);
        QVERIFY(w.bar->isHidden());
        QCOMPARE(w.window.focusWidget(), w.area);
        QVERIFY(w.area->extraSelections().isEmpty());
    }

    void matchesInViewAreShadedAndFollowTheText() {
        QString text;
        for (int i = 0; i < 2000; ++i)
            text += QStringLiteral("line %1 td\r\n").arg(i);
        Window w(text);
        w.search(QStringLiteral("td"), QString());
        const qsizetype shaded = w.area->extraSelections().size();
        QVERIFY(shaded > 3 && shaded < 200); // those in view, not all 2000
        for (const QTextEdit::ExtraSelection& s : w.area->extraSelections())
            QCOMPARE(s.cursor.selectedText(), QStringLiteral("td"));
        QCOMPARE(w.area->document()->availableUndoSteps(), 0);
        // An edit elsewhere is counted once typing pauses.
        w.area->setCaretPosition(0);
        w.area->insertPlainText(QStringLiteral("td "));
        QTRY_COMPARE(w.bar->message(), QStringLiteral("2001 matches"));
    }

    void replaceAllReplacesOnlyTheMatches_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("flags");
        QTest::addColumn<QString>("replacement");
        QTest::addColumn<QString>("result");
        QTest::newRow("literal dots and dollars") << "a.b a.b" << "." << "" << "$1\\n" << "a$1\\nb a$1\\nb";
        QTest::newRow("whole words only") << "td tds td" << "td" << "w" << "th" << "th tds th";
        QTest::newRow("groups both ways") << "ann@host bob@site" << "(\\w+)@(\\w+)" << "r" << "$2 at \\1"
                                          << "host at ann site at bob";
        QTest::newRow("whole match and escapes") << "a b" << "\\w" << "r" << "[$&]\\t$$\\\\" << "[a]\t$\\ [b]\t$\\";
        QTest::newRow("a new line is CR LF") << "a,b" << "," << "r" << "\\n" << "a\r\nb";
        QTest::newRow("group 10 and group 1 then 0") << "abcdefghijk" << "(a)(b)(c)(d)(e)(f)(g)(h)(i)(j)" << "r"
                                                     << "\\10|$10|\\1" << "j|j|ak";
        QTest::newRow("across line ends") << "a\r\nb\r\nc" << "\\r\\n" << "r" << " " << "a b c";
        QTest::newRow("to nothing") << "<b>x</b>" << "</?b>" << "r" << "" << "x";
    }
    void replaceAllReplacesOnlyTheMatches() {
        QFETCH(QString, text);
        QFETCH(QString, pattern);
        QFETCH(QString, flags);
        QFETCH(QString, replacement);
        QFETCH(QString, result);
        Window w(text);
        w.search(pattern, flags);
        w.bar->replaceField()->setText(replacement);
        w.bar->replaceAll();
        QCOMPARE(w.area->text(), result);
        w.area->undo(); // one step
        QCOMPARE(w.area->text(), text);
    }

    void replaceAllIsOneUndoStepThatKeepsTheColoursAround() {
        QString text;
        for (int i = 0; i < 300; ++i)
            text += QStringLiteral("<td class=x>%1</td>\r\n").arg(i);
        Window w(text);
        // Colour every character by its position, so that any shift shows.
        for (int i = 0; i < text.size(); ++i)
            w.area->colourRange(i, 1, Colour(i % 7 + 1));
        auto colours = [&] {
            std::vector<std::optional<Colour>> out;
            for (int i = 0; i < text.size(); ++i)
                out.push_back(w.area->colourAt(i));
            return out;
        };
        const auto before = colours();
        w.search(QStringLiteral("td"), QString());
        w.bar->replaceField()->setText(QStringLiteral("th"));
        w.bar->replaceAll();
        QCOMPARE(w.bar->message(), QStringLiteral("Replaced 600"));
        QCOMPARE(w.area->text(), QString(text).replace(QStringLiteral("td"), QStringLiteral("th")));
        QVERIFY(colours() == before); // same lengths: the same colours in the same places
        w.area->undo(); // one step, colours and all
        QCOMPARE(w.area->text(), text);
        QVERIFY(colours() == before);
        w.area->redo();
        QVERIFY(colours() == before);
        // A replacement of another length takes the colour of what it replaced; the rest shifts.
        w.search(QStringLiteral("th"), QString());
        w.bar->replaceField()->setText(QStringLiteral("tr"));
        w.search(QStringLiteral("class=x"), QString());
        w.bar->replaceField()->setText(QStringLiteral("c"));
        w.bar->replaceAll();
        QCOMPARE(w.area->text().left(11), QStringLiteral("<th c>0</th"));
        QCOMPARE(w.area->colourAt(4), std::optional<Colour>(Colour(4 % 7 + 1)));
        QCOMPARE(w.area->colourAt(5), std::optional<Colour>(Colour(11 % 7 + 1)));
    }

    void replaceReplacesTheCurrentMatchAndMovesOn() {
        Window w(QStringLiteral("one two one two"));
        w.search(QStringLiteral("(o)ne"), QStringLiteral("r"));
        w.bar->replaceField()->setText(QStringLiteral("[\\1]"));
        w.bar->replaceCurrent();
        QCOMPARE(w.area->text(), QStringLiteral("[o] two one two"));
        QCOMPARE(w.area->selectionStart(), 8); // the next match
        QCOMPARE(w.bar->message(), QStringLiteral("1 of 1"));
        QTest::keyClick(w.bar->replaceField(), Qt::Key_Return);
        QCOMPARE(w.area->text(), QStringLiteral("[o] two [o] two"));
        w.area->undo();
        w.area->undo();
        QCOMPARE(w.area->text(), QStringLiteral("one two one two"));
    }

    void goToLineClampsToTheText_data() {
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("caret");
        QTest::newRow("first") << 1 << 1 << 0;
        QTest::newRow("before the first") << -5 << 0 << 0;
        QTest::newRow("column") << 2 << 3 << 7;
        QTest::newRow("past the line's end") << 2 << 99 << 9;
        QTest::newRow("past the last line") << 99 << 1 << 15;
        QTest::newRow("in a long line's third piece") << 4 << 9000 << 15 + 8999;
    }
    void goToLineClampsToTheText() {
        QFETCH(int, line);
        QFETCH(int, column);
        QFETCH(int, caret);
        Window w(QStringLiteral("abc\r\ndefg\r\nhi\r\n") + QString(10000, u'x'));
        QVERIFY(w.area->softBreakCount() > 1);
        w.area->goToLine(line, column);
        QCOMPARE(w.area->selectionStart(), caret);
        const EditArea::Place place = w.area->caretPlace();
        QCOMPARE(place.line, std::clamp(line, 1, 4));
        QVERIFY(w.area->cursorRect().top() >= 0 && w.area->cursorRect().bottom() <= w.area->viewport()->height());
    }
};
} // namespace

TAGLOOM_TEST_MAIN(QApplication, FindTest)

#include "test_find.moc"
