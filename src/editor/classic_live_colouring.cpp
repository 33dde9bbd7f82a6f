#include "live_colouring.h"

#include "edit_area.h"

#include "base/markup.h"
#include "colouring/html_pass.h"

#include <QTextBlock>
#include <QTextDocument>
#include <algorithm>
#include <array>
#include <climits>
#include <cstring>

namespace {
using pass_parts::kMatchPadding;
using pass_parts::matchByte;

// A soft break is no character of the text: its byte is skipped whenever bytes are read.
constexpr std::uint8_t kSoftByte = 0xFF;
constexpr int kNone = INT_MAX;

/// Match bytes of a stretch of the document without its soft breaks, and where each came from.
struct Stretch {
    std::vector<std::uint8_t> bytes; ///< followed by kMatchPadding zeros
    qsizetype size = 0;
    int from = 0;                    ///< document positions of the stretch
    int to = 0;
    std::vector<qsizetype> softAt;   ///< for each soft break, the index of the byte after it
    std::vector<int> softPositions;  ///< and its document position
    int position(qsizetype i) const {
        return from + int(i) + int(std::upper_bound(softAt.begin(), softAt.end(), i) - softAt.begin());
    }
    /// The index of the first byte at or after document position @p p.
    qsizetype index(int p) const {
        const auto soft = std::lower_bound(softPositions.begin(), softPositions.end(), p) - softPositions.begin();
        return std::clamp<qsizetype>(p - from - soft, 0, size);
    }
};

/// One delimited scan of the pass (values `="` … `">`, declarations `<!` … `>`) as it ran on the
/// whole text: where each range opened and where its closing delimiter starts (kNone for an
/// opening that is never closed, which ends the scan).
struct Chain {
    QByteArrayView open;
    QByteArrayView close;
    std::vector<int> opens;
    std::vector<int> closes;
};

class ClassicLiveColouring : public LiveColouring {
public:
    ClassicLiveColouring(const QTextDocument& document, ColourModel& model, const std::vector<int>& softBreaks)
        : document_(document), model_(model) {
        for (size_t i = 1; i < std::size(kPassPalette); ++i)
            index_[i] = model_.indexFor(kPassPalette[i]);
        // From one copy of the text rather than a copy of each line.
        const QString text = document_.toRawText();
        const int length = document_.characterCount();
        std::vector<std::uint8_t> bytes(size_t(length), matchByte(0x2029));
        for (qsizetype i = 0; i < text.size() && i < length; ++i)
            bytes[size_t(i)] = matchByte(text[i].unicode());
        for (int at : softBreaks)
            bytes[size_t(at)] = kSoftByte;
        bytes_.assign(std::move(bytes));
        const Stretch all = stretch(0, bytes_.size());
        for (Chain* chain : {&values_, &declarations_})
            scanFrom(*chain, all, 0);
    }

    std::pair<int, int> textChanged(int position, int removed, int added) override {
        // A change of formats alone is reported as a change of text: what the pass reads, the
        // match bytes, then stays as it was, and so do the ranges.
        // (With the separators around it: a line end may have turned into a soft break.)
        const int around = std::max(0, position - 1);
        const std::vector<std::uint8_t> before =
            removed == added ? bytes_.copy(around, position + removed + 1 - around) : std::vector<std::uint8_t>();
        bytes_.remove(position, removed);
        bytes_.insert(position, added);
        const int length = document_.characterCount();
        const bool overReported = bytes_.size() != length;
        bytes_.resize(length);
        // A separator's byte depends on the block after it, whose start may be what changed.
        readBytes(std::max(0, position - 1), overReported ? length : std::min(length, position + added + 1));
        // The colour model dropped the colours of the stretch all the same.
        if (removed == added && !overReported && bytes_.copy(around, position + added + 1 - around) == before)
            return recolour(position, position + added);
        edit_ = {position, removed, added};
        std::pair<int, int> stretch{position, position + added};
        for (Chain* chain : {&values_, &declarations_}) {
            const auto [from, to] = update(*chain);
            stretch = {std::min(stretch.first, from), std::max(stretch.second, to)};
        }
        return recolour(std::max(0, stretch.first), std::min(length, stretch.second));
    }

private:
    void readBytes(int from, int to) {
        std::vector<std::uint8_t> out;
        out.reserve(size_t(std::max(0, to - from)));
        for (QTextBlock block = document_.findBlock(from); block.isValid() && block.position() < to;
             block = block.next()) {
            const QString text = block.text();
            const int start = block.position();
            for (int i = std::max(0, from - start); i < text.size() && start + i < to; ++i)
                out.push_back(matchByte(text[i].unicode()));
            if (start + text.size() >= from && start + text.size() < to) {
                const QTextBlock next = block.next();
                out.push_back(next.isValid() && EditArea::startsSoft(next) ? kSoftByte : matchByte(0x2029));
            }
        }
        bytes_.recolour(from, out.data(), int(out.size()));
    }

    /// The match bytes of [from, to), soft breaks left out.
    Stretch stretch(int from, int to) const {
        Stretch s;
        s.from = from;
        s.to = to;
        s.bytes = bytes_.copy(from, to - from);
        qsizetype kept = 0;
        for (qsizetype i = 0; i < qsizetype(s.bytes.size()); ++i) {
            if (s.bytes[size_t(i)] == kSoftByte) {
                s.softAt.push_back(kept);
                s.softPositions.push_back(from + int(i));
            } else
                s.bytes[size_t(kept++)] = s.bytes[size_t(i)];
        }
        s.size = kept;
        s.bytes.resize(size_t(kept) + kMatchPadding, 0);
        std::fill(s.bytes.begin() + kept, s.bytes.end(), 0);
        return s;
    }

    /// The first start of @p delimiter in the document at or after @p from and before @p to, read
    /// from the text itself; kNone when there is none.
    int search(QByteArrayView delimiter, int from, int to) const {
        to = std::min(to, bytes_.size());
        // In growing pieces: the delimiter is usually near, and the rest may be the whole page.
        for (int piece = 256; from < to; piece = std::min(piece * 4, 1 << 20)) {
            const int end = int(std::min<qint64>(to, qint64(from) + piece));
            // A delimiter starting just before the piece's end reads a few bytes past it.
            const Stretch s = stretch(from, std::min(bytes_.size(), end + int(delimiter.size()) + 1));
            if (const qsizetype at = pass_parts::findDelimiter(s.bytes.data(), s.size, delimiter, 0); at >= 0) {
                const int position = s.position(at);
                return position < to ? position : kNone;
            }
            from = end;
        }
        return kNone;
    }

    /// Runs the scan on @p s from its position @p from to the end, appending to @p chain.
    static void scanFrom(Chain& chain, const Stretch& s, int from) {
        qsizetype at = from - s.from;
        for (;;) {
            const qsizetype open = pass_parts::findDelimiter(s.bytes.data(), s.size, chain.open, at);
            if (open < 0)
                return;
            const qsizetype close = pass_parts::findDelimiter(s.bytes.data(), s.size, chain.close, open);
            chain.opens.push_back(s.position(open));
            chain.closes.push_back(close < 0 ? kNone : s.position(close));
            if (close < 0)
                return;
            at = close;
        }
    }

    // What the scan before the edit tells about the text: the chain's searches found nothing
    // between where they started and what they found. Positions here are those before the edit.
    struct Known {
        int found = kNone;     ///< the answer, or kNone
        int searchFrom = 0;    ///< unless [searchFrom, searchTo) must be searched in the text first
        int searchTo = 0;
    };
    static Known nextOpen(const Chain& old, int x) {
        const auto j = size_t(std::lower_bound(old.opens.begin(), old.opens.end(), x) - old.opens.begin());
        if (j == old.opens.size()) {
            if (j == 0)
                return {};
            if (old.closes.back() == kNone) // the scan stopped at an opening never closed
                return {kNone, x, kNone};
            return {kNone, x, std::max(x, old.closes.back())};
        }
        // The search for this opening started at the previous closing.
        const int searchedFrom = j == 0 ? 0 : old.closes[j - 1];
        return {old.opens[j], x, std::max(x, searchedFrom)};
    }
    static Known nextClose(const Chain& old, int x) {
        const auto j = size_t(std::upper_bound(old.opens.begin(), old.opens.end(), x) - old.opens.begin());
        if (j > 0 && x <= old.closes[j - 1])
            return {old.closes[j - 1], x, x}; // inside a range: its closing is the next
        if (j == old.opens.size())
            return {kNone, x, kNone};
        // The search for this range's closing started at its opening.
        return {old.closes[j], x, old.opens[j]};
    }

    struct Edit {
        int position = 0;
        int removed = 0;
        int added = 0;
    } edit_;

    /// The first start of a delimiter at or after @p from in the text after the edit.
    int next(const Chain& old, bool open, int from) const {
        const QByteArrayView delimiter = open ? old.open : old.close;
        const int delta = edit_.added - edit_.removed;
        // Matches starting here can read edited characters (two, when a soft break is between).
        const int editFrom = std::max(0, edit_.position - 2);
        const int editTo = edit_.position + edit_.added;
        auto answer = [&](int x, int shift, int limit) {
            const Known k = open ? nextOpen(old, x) : nextClose(old, x);
            const int to = k.searchTo == kNone ? kNone : k.searchTo + shift;
            const int found = search(delimiter, k.searchFrom + shift, std::min(limit, to == kNone ? INT_MAX : to));
            if (found != kNone)
                return found;
            if (to == kNone)
                return kNone;
            return k.found == kNone || k.found + shift >= limit ? kNone : k.found + shift;
        };
        if (from < editFrom) {
            if (const int found = answer(from, 0, editFrom); found != kNone)
                return found;
            from = editFrom;
        }
        if (from < editTo) {
            if (const int found = search(delimiter, from, editTo); found != kNone)
                return found;
            from = editTo;
        }
        return answer(from - delta, delta, INT_MAX);
    }

    /// Brings @p chain up to date with the edit; returns the stretch whose ranges changed.
    std::pair<int, int> update(Chain& chain) {
        // The chain stays as it was (positions before the edit) while the scan asks it what the
        // old scan found; the new ranges replace the old ones only at the end.
        const Chain& old = chain;
        const int delta = edit_.added - edit_.removed;
        const int editFrom = std::max(0, edit_.position - 2);
        const int editTo = edit_.position + edit_.added;
        // Ranges closed before the edit stand; the scan goes on from the last of them.
        const auto kept = size_t(std::lower_bound(old.closes.begin(), old.closes.end(), editFrom) - old.closes.begin());
        int from = kept == 0 ? 0 : old.closes[kept - 1];
        std::vector<int> opens;
        std::vector<int> closes;
        // Where the old ranges take over again, unchanged but for the shift.
        size_t resyncedAt = old.opens.size();
        auto oldIndex = [&](const std::vector<int>& positions, int p) {
            const auto j = size_t(std::lower_bound(positions.begin(), positions.end(), p - delta) - positions.begin());
            return j < positions.size() && positions[j] == p - delta ? j : positions.size();
        };
        for (;;) {
            const int open = next(old, true, from);
            if (open == kNone)
                break;
            if (open >= editTo && (resyncedAt = oldIndex(old.opens, open)) < old.opens.size())
                break;
            const int close = next(old, false, open);
            opens.push_back(open);
            closes.push_back(close);
            if (close == kNone)
                break;
            if (close >= editTo && (resyncedAt = oldIndex(old.closes, close)) < old.closes.size()) {
                ++resyncedAt;
                break;
            }
            from = close;
        }
        // Only ranges that differ from those they replace change colours.
        auto place = [&](int p) {
            if (p == kNone)
                return kNone;
            return p < edit_.position ? p : p >= edit_.position + edit_.removed ? p + delta : edit_.position;
        };
        size_t oldFirst = kept;
        size_t oldEnd = resyncedAt;
        size_t newFirst = 0;
        size_t newEnd = opens.size();
        auto same = [&](size_t o, size_t n) { return place(old.opens[o]) == opens[n] && place(old.closes[o]) == closes[n]; };
        while (oldFirst < oldEnd && newFirst < newEnd && same(oldFirst, newFirst))
            ++oldFirst, ++newFirst;
        while (oldFirst < oldEnd && newFirst < newEnd && same(oldEnd - 1, newEnd - 1))
            --oldEnd, --newEnd;
        int first = INT_MAX;
        int last = INT_MIN;
        auto widen = [&](int open, int close) {
            first = std::min(first, open);
            last = close == kNone ? INT_MAX : std::max(last, close + 1);
        };
        for (size_t j = oldFirst; j < oldEnd; ++j)
            widen(place(old.opens[j]), place(old.closes[j]));
        for (size_t j = newFirst; j < newEnd; ++j)
            widen(opens[j], closes[j]);
        // The splice: the ranges after the resync shift, the ones between are replaced.
        for (std::vector<int>* positions : {&chain.opens, &chain.closes}) {
            for (size_t j = resyncedAt; j < positions->size(); ++j)
                if ((*positions)[j] != kNone)
                    (*positions)[j] += delta;
            const std::vector<int>& replacement = positions == &chain.opens ? opens : closes;
            positions->erase(positions->begin() + std::ptrdiff_t(kept), positions->begin() + std::ptrdiff_t(resyncedAt));
            positions->insert(positions->begin() + std::ptrdiff_t(kept), replacement.begin(), replacement.end());
        }
        if (first == INT_MAX)
            return {edit_.position, edit_.position};
        return {first, last};
    }

    /// [start, end) widened until no occurrence of an overlapping word crosses either end: the
    /// words' own scans then start and end there as they do in the whole text.
    std::pair<int, int> widenToCleanEnds(int start, int end) const {
        const int margin = pass_parts::longestWord() + 2;
        const int length = bytes_.size();
        for (bool moved = true; moved;) {
            moved = false;
            const Stretch around = stretch(std::max(0, start - margin), std::min(length, end + margin));
            qsizetype a = around.index(start);
            qsizetype b = around.index(end);
            for (const QByteArray& word : pass_parts::overlappingWords()) {
                for (qsizetype at = pass_parts::findDelimiter(around.bytes.data(), around.size, word, 0); at >= 0;
                     at = pass_parts::findDelimiter(around.bytes.data(), around.size, word, at + 1)) {
                    if (at < a && at + word.size() > a)
                        a = at, moved = true;
                    if (at < b && at + word.size() > b)
                        b = at + word.size(), moved = true;
                }
            }
            start = around.position(a);
            end = b >= around.size ? around.to : around.position(b);
        }
        return {start, end};
    }

    /// Colours [from, to) and the table words near it again from the chains and the words;
    /// returns what changed.
    std::pair<int, int> recolour(int from, int to) {
        const int margin = pass_parts::longestWord() + 2;
        const int length = bytes_.size();
        // Words within a word's length of the change may have changed; those a little further
        // out are read too, as they may reach into it.
        const auto [writeFrom, writeTo] = widenToCleanEnds(std::max(0, from - margin), std::min(length, to + margin));
        const auto [start, end] = widenToCleanEnds(std::max(0, writeFrom - margin), std::min(length, writeTo + margin));
        const Stretch s = stretch(start, end);
        std::vector<std::uint8_t> colours(size_t(s.size), Plain);
        auto paint = [&](std::uint8_t colour, int first, int last) { // document positions, last included
            const qsizetype a = s.index(first);
            const qsizetype b = s.index(last + 1);
            if (a < b)
                std::memset(colours.data() + a, colour, size_t(b - a));
        };
        auto paintChain = [&](const Chain& chain, std::uint8_t colour) {
            auto j = size_t(std::lower_bound(chain.closes.begin(), chain.closes.end(), start) - chain.closes.begin());
            for (; j < chain.opens.size() && chain.opens[j] < end; ++j)
                if (chain.closes[j] != kNone)
                    paint(colour, chain.opens[j], chain.closes[j]);
        };
        paintChain(values_, Value);
        paintChain(declarations_, Declaration);
        std::vector<std::pair<qsizetype, qsizetype>> comments;
        pass_parts::matchWords(s.bytes.data(), s.size, [&](bool comment, qsizetype at, qsizetype n) {
            if (comment)
                comments.emplace_back(at, n);
            else
                std::memset(colours.data() + at, TagWord, size_t(n));
        });
        for (auto [at, n] : comments)
            std::memset(colours.data() + at, CommentWord, size_t(n));

        std::pair<int, int> changed{0, 0};
        for (qsizetype i = s.index(writeFrom); i < s.index(writeTo); ++i) {
            const int p = s.position(i);
            const ColourModel::Index index = index_[colours[size_t(i)]];
            if (model_.at(p) == index)
                continue;
            model_.recolour(p, &index, 1);
            changed = changed.first == changed.second ? std::pair{p, p + 1}
                                                      : std::pair{std::min(changed.first, p), std::max(changed.second, p + 1)};
        }
        return changed;
    }

    const QTextDocument& document_;
    ColourModel& model_;
    /// The page's match bytes, in document positions, kept in a gap store like the colours.
    ColourModel bytes_;
    Chain values_{QByteArrayView(markup::kValueOpen), QByteArrayView(markup::kValueEnd), {}, {}};
    Chain declarations_{QByteArrayView(markup::kDeclarationOpen), QByteArrayView(markup::kTagClose), {}, {}};
    std::array<ColourModel::Index, std::size(kPassPalette)> index_{};
};
} // namespace

std::unique_ptr<LiveColouring> liveClassicColouring(const QTextDocument& document, ColourModel& model,
                                                    const std::vector<int>& softBreaks) {
    return std::make_unique<ClassicLiveColouring>(document, model, softBreaks);
}
