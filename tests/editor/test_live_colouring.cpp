#include "colouring/html5_scheme.h"
#include "colouring/html_pass.h"
#include "document/document_file.h"
#include "editor/edit_area.h"
#include "support/test_files.h"

#include <QApplication>
#include <QRandomGenerator>
#include <QTest>
#include <span>

namespace {
// Pieces that open, close or form what the colouring looks for, and plain text between them.
const char* const kFragments[] = {
    "=\"", "\">", "<!", ">", "<!--", "-->", "<", "\"", "=", "-", "--", "<a href=\"x\">", "</a>", "<table",
    "<td>", "--WEBBOT-SELF--", "<!DOCTYPE html>", "<script>", "</script>", "<style>a>b{}</style>",
    "<title>", "</title>", "<svg><![CDATA[x]]></svg>", "&amp;", "&#x1F600;", "'", "<p class=a>",
    "<font>", "<my-tag>", "\r\n", "text ", "caf\u00e9 ", "\U0001F600", " ",
};

QString randomPage(QRandomGenerator& random, int pieces) {
    QString page;
    for (int i = 0; i < pieces; ++i)
        page += QString::fromUtf8(kFragments[random.bounded(int(std::size(kFragments)))]);
    return page;
}

int safe(const QString& text, int pos) {
    if (pos > 0 && pos < text.size() && ((text[pos - 1] == u'\r' && text[pos] == u'\n') || text[pos].isLowSurrogate()))
        --pos;
    return pos;
}

std::vector<Colour> expectedColours(const QString& text, bool html5) {
    const std::vector<std::uint8_t> indexes = html5 ? html5_scheme::colourText(text) : runHtmlPass(text).colours;
    const std::span<const Colour> palette = html5 ? std::span<const Colour>(html5_scheme::kPalette)
                                                  : std::span<const Colour>(kPassPalette);
    std::vector<Colour> out;
    out.reserve(indexes.size());
    for (std::uint8_t i : indexes)
        out.push_back(palette[i]);
    return out;
}

/// Edits @p area at random as a user would, checking after each edit that every character's
/// colour is what colouring the whole text afresh gives.
void editAndCompare(EditArea& area, QRandomGenerator& random, int edits, bool html5, const QString& what) {
    for (int step = 0; step < edits; ++step) {
        const QString text = area.text();
        const int kind = random.bounded(10);
        QString did;
        if (kind < 2 && area.document()->isUndoAvailable()) {
            area.undo();
            did = QStringLiteral("undo");
        } else if (kind == 2 && area.document()->isRedoAvailable()) {
            area.redo();
            did = QStringLiteral("redo");
        } else if (kind == 3) {
            // Replace All: several stretches in one undo step.
            std::vector<EditArea::Replacement> edits;
            for (int from = 0, k = 0; k < 3 && from < text.size(); ++k) {
                const int at = safe(text, from + random.bounded(int(text.size()) - from));
                const int end = safe(text, std::min(int(text.size()), at + random.bounded(6)));
                edits.push_back({at, end - at, randomPage(random, 1)});
                from = end + 1;
            }
            area.replaceEach(edits);
            did = QStringLiteral("replace all (%1 stretches)").arg(edits.size());
        } else {
            const int at = safe(text, random.bounded(int(text.size()) + 1));
            const int removed = kind < 6 ? 0 : safe(text, std::min(int(text.size()), at + random.bounded(40))) - at;
            const QString inserted = kind == 9 ? QString() : randomPage(random, 1 + random.bounded(3));
            area.setCaretPosition(at);
            area.setSelectionLength(std::max(0, removed));
            area.replaceSelection(inserted);
            did = QStringLiteral("replace %1+%2 with \"%3\"").arg(at).arg(removed).arg(inserted);
        }
        const std::vector<Colour> expected = expectedColours(area.text(), html5);
        const std::vector<Colour> got = area.textColours();
        if (got != expected) {
            const auto diff = std::mismatch(got.begin(), got.end(), expected.begin(), expected.end());
            const qsizetype at = diff.first - got.begin();
            QFAIL(qPrintable(QStringLiteral("%1, edit %2 (%3): colour differs at %4 in \"%5\"")
                                 .arg(what)
                                 .arg(step)
                                 .arg(did)
                                 .arg(at)
                                 .arg(area.text().mid(std::max<qsizetype>(0, at - 20), 40))));
        }
    }
}

class LiveColouringTest : public QObject {
    Q_OBJECT
private slots:
    void coloursStayTrueThroughRandomEdits_data() {
        QTest::addColumn<bool>("html5");
        QTest::newRow("classic") << false;
        QTest::newRow("html5") << true;
    }
    void coloursStayTrueThroughRandomEdits() {
        QFETCH(bool, html5);
        QRandomGenerator random(html5 ? 15 : 51);
        std::vector<std::pair<QString, QString>> pages;
        for (int i = 0; i < 6; ++i)
            pages.emplace_back(QStringLiteral("generated %1").arg(i), randomPage(random, 40 + random.bounded(200)));
        // A line long enough to be held in pieces.
        pages.emplace_back(QStringLiteral("long line"), randomPage(random, 3000).remove(QStringLiteral("\r\n")));
        for (const QString& path : test_files::dataPages())
            pages.emplace_back(path, document_file::read(path).text.left(30000));
        for (const auto& [what, page] : pages) {
            EditArea area;
            area.loadText(page);
            if (html5) {
                area.colourAsHtml5();
            } else {
                area.setColours(runHtmlPass(area.text()).colours, kPassPalette);
                area.startLiveColouring();
            }
            QCOMPARE(area.textColours(), expectedColours(area.text(), html5));
            editAndCompare(area, random, what.startsWith(u'g') ? 300 : 150, html5, what);
        }
    }

    void colouringStopsWithPlainMode() {
        EditArea area;
        area.loadText(QStringLiteral("<p class=\"a\">x</p>"));
        area.colourAsHtml5();
        area.clearColours();
        area.setCaretPosition(0);
        area.replaceSelection(QStringLiteral("<b>"));
        QVERIFY(!area.hasColours());
        QCOMPARE(area.liveScheme(), EditArea::LiveScheme::None);
    }
};
} // namespace

TAGLOOM_TEST_MAIN(QApplication, LiveColouringTest)
#include "test_live_colouring.moc"
