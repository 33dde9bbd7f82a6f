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
    // Also through its blank state (a store never coloured holds no bytes) and out of it.
    void randomEditsMatchAPlainVector() {
        ColourModel model;
        std::vector<ColourModel::Index> plain(50, 0);
        model.reset(50);
        std::mt19937 rng(7);
        for (int step = 0; step < 20000; ++step) {
            const int size = int(plain.size());
            const int pos = int(rng() % unsigned(size + 1));
            const int count = int(rng() % 9);
            const int n = std::min(count, size - pos);
            // Mostly the default colour, so that a blank store stays blank for a while.
            const auto colour = ColourModel::Index(rng() % 3 == 0 ? 1 + rng() % 4 : 0);
            switch (rng() % 7) {
            case 0:
                model.insert(pos, count);
                plain.insert(plain.begin() + pos, size_t(count), 0);
                break;
            case 1:
                model.remove(pos, count);
                plain.erase(plain.begin() + pos, plain.begin() + pos + n);
                break;
            case 2:
                model.fill(pos, count, colour);
                std::fill(plain.begin() + pos, plain.begin() + pos + n, colour);
                break;
            case 3: {
                const std::vector<ColourModel::Index> run(size_t(count), colour);
                if (rng() % 2) {
                    model.write(pos, run);
                } else {
                    model.recolour(pos, run.data(), n);
                }
                std::fill(plain.begin() + pos, plain.begin() + pos + n, colour);
                break;
            }
            case 4:
                if (rng() % 50 == 0) {
                    model.reset(count * 5);
                    plain.assign(size_t(count * 5), 0);
                }
                break;
            case 5:
                QCOMPARE(model.copy(pos, count),
                         std::vector<ColourModel::Index>(plain.begin() + pos, plain.begin() + pos + n));
                break;
            default: {
                std::vector<ColourModel::Index> runs;
                model.forEachRun(pos, n, [&](int, int length, ColourModel::Index index) {
                    runs.insert(runs.end(), size_t(length), index);
                });
                QCOMPARE(runs, std::vector<ColourModel::Index>(plain.begin() + pos, plain.begin() + pos + n));
            }
            }
            QCOMPARE(model.size(), int(plain.size()));
            QCOMPARE(model.at(pos), pos < int(plain.size()) ? plain[size_t(pos)] : ColourModel::Index(0));
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
