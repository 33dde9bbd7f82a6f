#include "html_pass.h"

#include "word_tables.h"

#include "base/markup.h"
#include "base/memory_advice.h"

#include <QStringView>
#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <span>
#include <unordered_map>

namespace {

QString lowered(const QString& text) {
    QString out(text.size(), Qt::Uninitialized);
    QChar* o = out.data();
    for (QChar c : text)
        *o++ = lowerForMatch(c);
    return out;
}

bool isAscii(const QString& s) {
    return std::all_of(s.begin(), s.end(), [](QChar c) { return c.unicode() < 128; });
}

// Byte 128 stands for every character that lowers to something outside ASCII; no word that
// takes the fast path contains it, nor a NUL, so the zero padding after the text never matches.
constexpr std::uint8_t kOther = 128;
constexpr size_t kPadding = 16;

// The text lower-cased into one byte per character, for the sweeps below, followed by zero
// padding. The inner loop is branch-free so that the compiler can vectorise it; the rare
// characters outside ASCII that lower-case into it (such as the Kelvin sign) are fixed per block.
struct LoweredBytes {
    std::unique_ptr<std::uint8_t[]> owned; // empty when the bytes are someone else's
    const std::uint8_t* bytes = nullptr;
    qsizetype size = 0;
    const std::uint8_t* get() const { return bytes; }
};

LoweredBytes loweredBytes(const QString& text) {
    LoweredBytes low;
    const qsizetype n = text.size();
    low.size = n;
    low.owned.reset(new std::uint8_t[size_t(n) + kPadding]);
    low.bytes = low.owned.get();
    adviseHugePages(low.owned.get(), size_t(n) + kPadding);
    std::memset(low.owned.get() + n, 0, kPadding);
    const char16_t* in = reinterpret_cast<const char16_t*>(text.constData());
    std::uint8_t* o = low.owned.get();
    constexpr qsizetype kBlock = 256;
    for (qsizetype from = 0; from < n; from += kBlock) {
        const qsizetype to = std::min(n, from + kBlock);
        char16_t high = 0;
        for (qsizetype i = from; i < to; ++i) {
            const char16_t c = in[i];
            const char16_t lowered = char16_t(c + (char16_t(c - u'A') < 26 ? 32 : 0));
            o[i] = c < 128 ? std::uint8_t(lowered) : kOther;
            high |= c;
        }
        if (high < 128)
            continue;
        for (qsizetype i = from; i < to; ++i)
            if (in[i] >= 128)
                o[i] = pass_parts::matchByte(in[i]);
    }
    return low;
}

unsigned key2(const std::uint8_t* s) {
    return unsigned(s[0] & 127) << 7 | unsigned(s[1] & 127);
}
unsigned key3(const std::uint8_t* s) {
    return key2(s) << 7 | unsigned(s[2] & 127);
}

struct FastWord {
    std::uint64_t prefix = 0; // the first bytes, up to eight
    std::uint64_t mask = 0;
    QByteArray bytes;
    int length = 0;
    int group = 0; // which table it came from
};

// All the words of the pass, matched in one sweep over the lowered bytes. Each word keeps its
// own left-to-right, non-overlapping scan (lastEnd), exactly as if it were searched alone, so
// the order of the tables only matters when the colours are applied.
class WordMatcher {
public:
    explicit WordMatcher(const std::vector<std::vector<QString>>& groups) {
        std::unordered_map<unsigned, std::vector<int>> byKey3;
        std::vector<std::vector<int>> pairs(1 << 14);
        std::vector<std::pair<int, QString>> seen;
        for (int g = 0; g < int(groups.size()); ++g) {
            for (const QString& w : groups[size_t(g)]) {
                const QString low = lowered(w);
                // Nothing to colour, or a repeat within its table that colours nothing new.
                if (low.isEmpty() || std::find(seen.begin(), seen.end(), std::pair{g, low}) != seen.end())
                    continue;
                seen.emplace_back(g, low);
                if (!isAscii(low) || low.size() < 2 || low.contains(QChar(0))) {
                    slow_.push_back({g, low});
                    continue;
                }
                FastWord fw;
                fw.bytes = low.toLatin1();
                fw.length = int(fw.bytes.size());
                fw.group = g;
                const int head = std::min(fw.length, 8);
                // Prefix and mask are laid out as bytes, like the text they are compared with.
                std::memcpy(&fw.prefix, fw.bytes.constData(), size_t(head));
                std::array<unsigned char, 8> maskBytes{};
                std::fill_n(maskBytes.begin(), head, 0xFF);
                std::memcpy(&fw.mask, maskBytes.data(), 8);
                const auto* b = reinterpret_cast<const std::uint8_t*>(fw.bytes.constData());
                const unsigned k2 = key2(b);
                const int id = int(words_.size());
                words_.push_back(fw);
                if (fw.length == 2) {
                    pairs[k2].push_back(id);
                    // Whatever follows a two-letter word must pass the filter.
                    for (unsigned next = 0; next < 128; ++next)
                        setFilter(k2 << 7 | next);
                } else {
                    const unsigned k3 = key3(b);
                    setFilter(k3);
                    byKey3[k3].push_back(id);
                }
            }
        }
        pairStart_.assign((1 << 14) + 1, 0);
        for (unsigned k = 0; k < (1u << 14); ++k) {
            pairStart_[k + 1] = pairStart_[k] + std::uint32_t(pairs[k].size());
            pairIds_.insert(pairIds_.end(), pairs[k].begin(), pairs[k].end());
        }
        // The few three-byte prefixes go into a small open-addressed table.
        size_t slotCount = 64;
        while (slotCount < byKey3.size() * 4)
            slotCount *= 2;
        slots_.assign(slotCount, Slot{});
        for (auto& [k, ids] : byKey3) {
            size_t h = hashKey(k, slotCount);
            while (slots_[h].count)
                h = (h + 1) & (slotCount - 1);
            slots_[h] = {k, std::uint32_t(bucketIds_.size()), std::uint32_t(ids.size())};
            bucketIds_.insert(bucketIds_.end(), ids.begin(), ids.end());
        }
    }

    bool needsLoweredText() const { return !slow_.empty(); }

    /// Calls found(group, start, length) for every occurrence, in text order within each word.
    template <class F> void match(const LoweredBytes& low, const QString& lowText, F&& found) const {
        const std::uint8_t* s = low.get();
        const qsizetype n = low.size;
        std::vector<qsizetype> lastEnd(words_.size(), 0);
        auto tryWord = [&](int id, qsizetype i) {
            const FastWord& w = words_[size_t(id)];
            std::uint64_t v;
            std::memcpy(&v, s + i, 8);
            if ((v & w.mask) != w.prefix || i < lastEnd[size_t(id)] || i + w.length > n)
                return;
            if (w.length > 8 && std::memcmp(s + i + 8, w.bytes.constData() + 8, size_t(w.length - 8)) != 0)
                return;
            found(w.group, i, w.length);
            lastEnd[size_t(id)] = i + w.length;
        };
        // Most positions start no word: a bitmap of the three-byte prefixes rejects them (text
        // uses few byte pairs, so the part of it in use stays in the cache). The filter runs
        // without branches over a block and notes the candidates, which are checked afterwards.
        const std::uint64_t* filter = filter_.data();
        constexpr qsizetype kBlock = 4096;
        std::array<std::uint32_t, kBlock> candidates;
        for (qsizetype from = 0; from + 1 < n; from += kBlock) {
            const qsizetype to = std::min(n - 1, from + kBlock);
            size_t count = 0;
            for (qsizetype i = from; i < to; ++i) {
                const unsigned k3 = key3(s + i);
                candidates[count] = std::uint32_t(i - from);
                count += (filter[k3 >> 6] >> (k3 & 63)) & 1;
            }
            for (size_t c = 0; c < count; ++c) {
                const qsizetype i = from + candidates[c];
                const unsigned k3 = key3(s + i);
                const unsigned k2 = k3 >> 7;
                for (std::uint32_t j = pairStart_[k2]; j < pairStart_[k2 + 1]; ++j)
                    tryWord(pairIds_[j], i);
                size_t h = hashKey(k3, slots_.size());
                while (slots_[h].count && slots_[h].key != k3)
                    h = (h + 1) & (slots_.size() - 1);
                for (std::uint32_t j = 0; j < slots_[h].count; ++j)
                    tryWord(bucketIds_[slots_[h].first + j], i);
            }
        }
        for (const auto& [group, w] : slow_)
            for (qsizetype p = lowText.indexOf(w); p >= 0; p = lowText.indexOf(w, p + w.size()))
                found(group, p, w.size());
    }

private:
    std::vector<FastWord> words_;
    std::vector<std::pair<int, QString>> slow_;
    void setFilter(unsigned k3) { filter_[k3 >> 6] |= std::uint64_t(1) << (k3 & 63); }

    std::vector<std::uint64_t> filter_ = std::vector<std::uint64_t>((1 << 21) / 64, 0);
    struct Slot {
        unsigned key = 0;
        std::uint32_t first = 0;
        std::uint32_t count = 0;
    };
    static size_t hashKey(unsigned k, size_t slotCount) { return (k * 2654435761u) >> 7 & (slotCount - 1); }

    std::vector<std::uint32_t> pairStart_;
    std::vector<int> pairIds_;
    std::vector<Slot> slots_;
    std::vector<int> bucketIds_;
};

// Delimiters without letters match exactly on the lowered bytes, where a search is much cheaper.
bool byteSearchable(const QString& delimiter) {
    return isAscii(delimiter) && !delimiter.contains(QChar(0)) &&
           std::none_of(delimiter.begin(), delimiter.end(), [](QChar c) { return c.isLetter(); });
}

// Finds @p needle by looking for its rarest byte (by @p counts) with memchr, which is vectorised.
qsizetype findBytes(const LoweredBytes& low, QByteArrayView needle,
                    const std::array<unsigned, 256>& counts, qsizetype from) {
    const auto* s = low.get();
    const qsizetype n = low.size;
    qsizetype anchor = 0;
    for (qsizetype k = 1; k < needle.size(); ++k)
        if (counts[std::uint8_t(needle[k])] < counts[std::uint8_t(needle[anchor])])
            anchor = k;
    const auto byte = std::uint8_t(needle[anchor]);
    qsizetype at = from + anchor;
    while (at < n) {
        const void* hit = std::memchr(s + at, byte, size_t(n - at));
        if (!hit)
            return -1;
        const qsizetype p = static_cast<const std::uint8_t*>(hit) - s - anchor;
        if (p + needle.size() <= n && std::memcmp(s + p, needle.constData(), size_t(needle.size())) == 0)
            return p;
        at = p + anchor + 1;
    }
    return -1;
}

template <class Find> DelimitedScan scanWith(qsizetype openSize, qsizetype closeSize, Find&& find) {
    DelimitedScan scan;
    if (openSize == 0 || closeSize == 0)
        return scan;
    qsizetype s = 0;
    for (;;) {
        const qsizetype o = find(true, s);
        if (o < 0)
            break;
        const qsizetype c = find(false, o);
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

DelimitedScan scanDelimitedBytes(const QString& text, const LoweredBytes& low, const QString& open,
                                 const QString& close) {
    if (!byteSearchable(open) || !byteSearchable(close))
        return scanDelimited(text, open, close);
    const QByteArray o = open.toLatin1();
    const QByteArray c = close.toLatin1();
    // Byte frequencies of the page's start tell which delimiter byte is rarest.
    std::array<unsigned, 256> counts{};
    for (qsizetype i = 0; i < std::min<qsizetype>(low.size, 65536); ++i)
        ++counts[low.get()[i]];
    return scanWith(o.size(), c.size(), [&](bool opening, qsizetype from) {
        return findBytes(low, opening ? o : c, counts, from);
    });
}

const WordMatcher& tableMatcher() {
    static const WordMatcher matcher({tableWords(true), tableWords(false)});
    return matcher;
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
    const QStringView view(text);
    return scanWith(open.size(), close.size(),
                    [&](bool opening, qsizetype from) { return view.indexOf(opening ? open : close, from); });
}

std::vector<QString> tableWords(bool tagTable) {
    std::vector<QString> words;
    for (const char* w :
         tagTable ? std::span<const char* const>(kTagWords) : std::span<const char* const>(kCommentWords))
        words.push_back(QString::fromLatin1(w));
    return words;
}

PassResult runHtmlPass(const QString& text) {
    PassResult result;
    result.colours.reserve(size_t(text.size()));
    adviseHugePages(result.colours.data(), size_t(text.size()));
    result.colours.assign(size_t(text.size()), Plain);
    std::uint8_t* colours = result.colours.data();
    auto paint = [colours](std::uint8_t colour, qsizetype start, qsizetype length) {
        std::memset(colours + start, colour, size_t(length));
    };

    const LoweredBytes low = loweredBytes(text);
    const DelimitedScan values = scanDelimitedBytes(text, low, QString::fromLatin1(markup::kValueOpen),
                                                    QString::fromLatin1(markup::kValueEnd));
    for (auto [start, length] : values.ranges)
        paint(Value, start, length);
    const DelimitedScan declarations = scanDelimitedBytes(
        text, low, QString::fromLatin1(markup::kDeclarationOpen), QString::fromLatin1(markup::kTagClose));
    for (auto [start, length] : declarations.ranges)
        paint(Declaration, start, length);
    if (declarations.movedSelection)
        result.selection = declarations.selection;
    else if (values.movedSelection)
        result.selection = values.selection;

    // Tag words (group 0) are painted as found; comment words (group 1) override them, so they
    // are painted only after the sweep.
    const WordMatcher& words = tableMatcher();
    const QString lowText = words.needsLoweredText() ? lowered(text) : QString();
    std::vector<std::pair<qsizetype, qsizetype>> commentRanges;
    words.match(low, lowText, [&](int group, qsizetype start, qsizetype length) {
        if (group == 0)
            paint(TagWord, start, length);
        else
            commentRanges.emplace_back(start, length);
    });
    for (auto [start, length] : commentRanges)
        paint(CommentWord, start, length);
    return result;
}

namespace pass_parts {
std::uint8_t matchByte(char16_t c) {
    if (c < 128)
        return std::uint8_t(c + (char16_t(c - u'A') < 26 ? 32 : 0));
    const char16_t l = QChar(c).toLower().unicode();
    return l < 128 ? std::uint8_t(l) : kOther;
}

void matchWords(const std::uint8_t* bytes, qsizetype n,
                const std::function<void(bool commentWord, qsizetype start, qsizetype length)>& found) {
    // The matcher reads the bytes in place; the padding after them is the caller's.
    Q_ASSERT(!tableMatcher().needsLoweredText()); // every table word is ASCII
    LoweredBytes view;
    view.bytes = bytes;
    view.size = n;
    tableMatcher().match(view, QString(), [&](int group, qsizetype start, qsizetype length) {
        found(group == 1, start, length);
    });
}

int longestWord() {
    static const int longest = [] {
        qsizetype most = 0;
        for (bool tags : {true, false})
            for (const QString& w : tableWords(tags))
                most = std::max(most, w.size());
        return int(most);
    }();
    return longest;
}

const std::vector<QByteArray>& overlappingWords() {
    static const std::vector<QByteArray> words = [] {
        std::vector<QByteArray> out;
        for (bool tags : {true, false}) {
            for (const QString& w : tableWords(tags)) {
                const QByteArray low = lowered(w).toLatin1();
                for (qsizetype k = 1; k < low.size(); ++k) {
                    if (low.first(k) == low.last(k)) {
                        out.push_back(low);
                        break;
                    }
                }
            }
        }
        return out;
    }();
    return words;
}

qsizetype findDelimiter(const std::uint8_t* bytes, qsizetype n, QByteArrayView needle, qsizetype from) {
    LoweredBytes view;
    view.bytes = bytes;
    view.size = n;
    const std::array<unsigned, 256> counts{}; // no frequencies: the first byte anchors
    return findBytes(view, needle, counts, from);
}
} // namespace pass_parts
