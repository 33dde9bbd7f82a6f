#include "html_pass.h"

#include "word_tables.h"

#include <QStringView>
#include <algorithm>
#include <array>
#include <cstring>

namespace {

QString resolve(const TableWord& word, const HiddenFields& fields) {
    switch (word.source) {
    case WordSource::Text1:
        return fields.Text1;
    case WordSource::Text2:
        return fields.Text2;
    case WordSource::Literal:
        break;
    }
    return QString::fromLatin1(word.text);
}

QString lowered(const QString& text) {
    QString out(text.size(), Qt::Uninitialized);
    QChar* o = out.data();
    for (QChar c : text)
        *o++ = lowerForMatch(c);
    return out;
}

// Byte 128 stands for every character that lowers to something outside ASCII; no word that
// takes the fast path contains it.
constexpr unsigned kOther = 128;
constexpr unsigned kKeys = 129 * 129;

// All words of one colour, matched in one sweep over a byte copy of the lowered text. Each word
// keeps its own left-to-right, non-overlapping scan (lastEnd), as if it were searched alone.
class WordMatcher {
public:
    explicit WordMatcher(const std::vector<QString>& words) {
        std::vector<std::vector<int>> byKey(kKeys);
        for (const QString& w : words) {
            const QString low = lowered(w);
            const bool ascii = std::all_of(low.begin(), low.end(), [](QChar c) { return c.unicode() < 128; });
            if (low.isEmpty() || std::find(words_.begin(), words_.end(), low.toLatin1()) != words_.end() ||
                std::find(slow_.begin(), slow_.end(), low) != slow_.end())
                continue; // nothing to colour, or a repeat that colours nothing new
            if (!ascii || low.size() < 2) {
                slow_.push_back(low);
                continue;
            }
            const QByteArray bytes = low.toLatin1();
            byKey[key(uchar(bytes[0]), uchar(bytes[1]))].push_back(int(words_.size()));
            words_.push_back(bytes);
        }
        offsets_.assign(kKeys + 1, 0);
        for (unsigned k = 0; k < kKeys; ++k) {
            offsets_[k + 1] = offsets_[k] + std::uint32_t(byKey[k].size());
            ids_.insert(ids_.end(), byKey[k].begin(), byKey[k].end());
            if (!byKey[k].empty())
                bitmap_[k >> 6] |= std::uint64_t(1) << (k & 63);
        }
    }

    template <class F> void match(const std::vector<std::uint8_t>& low, const QString& lowText, F&& colour) const {
        const std::uint8_t* s = low.data();
        const int n = int(low.size());
        std::vector<int> lastEnd(words_.size(), 0);
        for (int i = 0; i + 1 < n; ++i) {
            const unsigned k = key(s[i], s[i + 1]);
            if (!((bitmap_[k >> 6] >> (k & 63)) & 1))
                continue;
            for (std::uint32_t j = offsets_[k]; j < offsets_[k + 1]; ++j) {
                const int id = ids_[j];
                const QByteArray& w = words_[size_t(id)];
                const int len = int(w.size());
                if (i < lastEnd[size_t(id)] || i + len > n || std::memcmp(s + i, w.constData(), size_t(len)) != 0)
                    continue;
                colour(i, len);
                lastEnd[size_t(id)] = i + len;
            }
        }
        for (const QString& w : slow_) {
            for (qsizetype p = lowText.indexOf(w); p >= 0; p = lowText.indexOf(w, p + w.size()))
                colour(int(p), int(w.size()));
        }
    }

    bool needsLoweredText() const { return !slow_.empty(); }

private:
    static unsigned key(unsigned a, unsigned b) { return a * 129 + b; }

    std::vector<QByteArray> words_;
    std::vector<QString> slow_;
    std::vector<std::uint32_t> offsets_;
    std::vector<int> ids_;
    std::array<std::uint64_t, (kKeys + 63) / 64> bitmap_{};
};

std::vector<std::uint8_t> loweredBytes(const QString& text) {
    std::vector<std::uint8_t> out(size_t(text.size()));
    const char16_t* in = reinterpret_cast<const char16_t*>(text.constData());
    std::uint8_t* o = out.data();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = in[i];
        if (c < 128) {
            o[i] = std::uint8_t(c >= 'A' && c <= 'Z' ? c + 32 : c);
        } else {
            // Rare: a few characters (such as the Kelvin sign) lower-case into ASCII.
            const char16_t l = QChar(c).toLower().unicode();
            o[i] = std::uint8_t(l < 128 ? l : kOther);
        }
    }
    return out;
}

} // namespace

std::vector<std::pair<int, int>> wordOccurrences(const QString& text, const QString& word) {
    std::vector<std::pair<int, int>> found;
    if (word.isEmpty())
        return found;
    const QString lowText = lowered(text);
    const QString lowWord = lowered(word);
    for (qsizetype p = lowText.indexOf(lowWord); p >= 0; p = lowText.indexOf(lowWord, p + lowWord.size()))
        found.emplace_back(int(p), int(lowWord.size()));
    return found;
}

DelimitedScan scanDelimited(const QString& text, const QString& open, const QString& close) {
    DelimitedScan scan;
    if (open.isEmpty() || close.isEmpty())
        return scan;
    const QStringView view(text);
    qsizetype s = 0;
    for (;;) {
        const qsizetype o = view.indexOf(open, s);
        if (o < 0)
            break;
        const qsizetype c = view.indexOf(close, o);
        scan.movedSelection = true;
        if (c < 0) {
            // An opening delimiter that is never closed ends the scan with the caret on it.
            scan.selection = {int(o), 0};
            break;
        }
        scan.ranges.emplace_back(int(o), int(c - o + 1));
        scan.selection = {int(o), int(c - o + 1)};
        s = c;
    }
    return scan;
}

std::vector<QString> resolvedWords(bool tagTable, const HiddenFields& fields) {
    std::vector<QString> words;
    if (tagTable) {
        for (const TableWord& w : kTagWords)
            words.push_back(resolve(w, fields));
    } else {
        for (const TableWord& w : kCommentWords)
            words.push_back(resolve(w, fields));
    }
    return words;
}

PassResult runHtmlPass(const QString& text, const HiddenFields& fields) {
    PassResult result;
    result.colours.assign(size_t(text.size()), Plain);
    std::uint8_t* colours = result.colours.data();
    auto paint = [colours](std::uint8_t colour) {
        return [colours, colour](int start, int length) { std::memset(colours + start, colour, size_t(length)); };
    };

    const DelimitedScan values = scanDelimited(text, fields.Text2, fields.Text4 + QStringLiteral(">"));
    for (auto [start, length] : values.ranges)
        paint(Value)(start, length);
    const DelimitedScan declarations = scanDelimited(text, fields.Text8, fields.Text9);
    for (auto [start, length] : declarations.ranges)
        paint(Declaration)(start, length);
    if (declarations.movedSelection)
        result.selection = declarations.selection;
    else if (values.movedSelection)
        result.selection = values.selection;

    const std::vector<QString> tagWords = resolvedWords(true, fields);
    const std::vector<QString> commentWords = resolvedWords(false, fields);
    const WordMatcher tags(tagWords);
    const WordMatcher comments(commentWords);

    const std::vector<std::uint8_t> low = loweredBytes(text);
    const QString lowText = tags.needsLoweredText() || comments.needsLoweredText() ? lowered(text) : QString();
    tags.match(low, lowText, paint(TagWord));
    // Comment words override tag words, so they are painted only after the tag sweep.
    std::vector<std::pair<int, int>> commentRanges;
    comments.match(low, lowText, [&](int start, int length) { commentRanges.emplace_back(start, length); });
    for (auto [start, length] : commentRanges)
        paint(CommentWord)(start, length);
    return result;
}
