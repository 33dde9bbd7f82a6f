#include "editor/colour_model.h"
#include "support/test_files.h"

#include <QApplication>
#include <QTest>
#include <random>

namespace {
// The gap buffer against a plain vector doing the same edits.
class ColourModelTest : public QObject {
    Q_OBJECT
private slots:
    void randomEditsMatchAPlainVector() {
        ColourModel model;
        std::vector<ColourModel::Index> plain(50, 0);
        model.reset(50);
        std::mt19937 rng(7);
        for (int step = 0; step < 5000; ++step) {
            const int size = int(plain.size());
            const int pos = int(rng() % unsigned(size + 1));
            const int count = int(rng() % 9);
            switch (rng() % 3) {
            case 0:
                model.insert(pos, count);
                plain.insert(plain.begin() + pos, size_t(count), 0);
                break;
            case 1: {
                const int n = std::min(count, size - pos);
                model.remove(pos, count);
                plain.erase(plain.begin() + pos, plain.begin() + pos + n);
                break;
            }
            default: {
                const int n = std::min(count, size - pos);
                const auto colour = ColourModel::Index(1 + rng() % 4);
                model.fill(pos, count, colour);
                std::fill(plain.begin() + pos, plain.begin() + pos + n, colour);
            }
            }
            QCOMPARE(model.size(), int(plain.size()));
        }
        for (int i = 0; i < model.size(); ++i)
            QCOMPARE(model.at(i), plain[size_t(i)]);
    }

    void runsCoverTheRangeAndSplitAtColourChanges() {
        ColourModel model;
        model.reset(10);
        model.fill(2, 3, 1);
        model.fill(5, 2, 2);
        QList<QList<int>> runs;
        model.forEachRun(1, 8, [&](int s, int n, ColourModel::Index c) { runs.append({s, n, int(c)}); });
        QCOMPARE(runs, (QList<QList<int>>{{1, 1, 0}, {2, 3, 1}, {5, 2, 2}, {7, 2, 0}}));
    }

    void paletteReusesEntriesAndKeepsZeroForDefault() {
        ColourModel model;
        const auto red = model.indexFor(255);
        QVERIFY(red != 0);
        QCOMPARE(model.indexFor(255), red);
        QVERIFY(model.indexFor(kRoyalBlue) != red);
        QCOMPARE(model.colourOf(red), Colour(255));
    }

    void bulkChangesBumpTheGenerationButEditsDoNot() {
        ColourModel model;
        model.reset(5);
        const auto g = model.generation();
        model.insert(2, 3);
        model.remove(0, 1);
        QCOMPARE(model.generation(), g);
        model.fill(0, 1, 1);
        QVERIFY(model.generation() > g);
    }
};
} // namespace

TAGLOOM_TEST_MAIN(QApplication, ColourModelTest)
#include "test_colour_model.moc"
