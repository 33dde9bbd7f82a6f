#include "byte_search.h"

#include "document/text_encoding.h"

#include <QRegularExpression>
#include <algorithm>
#include <bit>
#include <cstring>

namespace {
using Lookalikes = std::array<std::vector<char32_t>, 26>;

/// One letter's lookalikes as they are written in each encoding a file's bytes are searched in.
struct EncodedLookalikes {
    std::vector<QByteArray> utf8;
    std::array<bool, 256> windows1252{};
    std::array<bool, 256> latin1{};
};

// For each letter a to z, the characters past ASCII that a search in any case may take for it:
// those Qt's case mappings give it (the whole-word search compares folded characters), and
// those the expression engine's case sets join to it. Worked out once, from the engines
// themselves, so that no table here can fall behind them.
const Lookalikes& lookalikeTable() {
    static const Lookalikes table = [] {
        Lookalikes found;
        const auto add = [&](char32_t c, char32_t ascii) {
            if (ascii >= U'A' && ascii <= U'Z')
                ascii += U'a' - U'A';
            if (ascii < U'a' || ascii > U'z')
                return;
            std::vector<char32_t>& list = found[ascii - U'a'];
            if (std::find(list.begin(), list.end(), c) == list.end())
                list.push_back(c);
        };
        QString everyCharacter;
        everyCharacter.reserve(2 * 0x110000);
        for (char32_t c = 0x80; c <= 0x10FFFF; ++c) {
            if (c >= 0xD800 && c <= 0xDFFF)
                continue;
            for (char32_t mapped : {QChar::toCaseFolded(c), QChar::toLower(c), QChar::toUpper(c)})
                if (mapped < 0x80)
                    add(c, mapped);
            if (QChar::requiresSurrogates(c)) {
                everyCharacter += QChar(QChar::highSurrogate(c));
                everyCharacter += QChar(QChar::lowSurrogate(c));
            } else {
                everyCharacter += QChar(char16_t(c));
            }
        }
        const auto caseless = QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption;
        const QRegularExpression letters(QStringLiteral("[a-z]"), caseless);
        for (auto it = letters.globalMatch(everyCharacter); it.hasNext();) {
            const QString character = it.next().captured();
            for (char letter = 'a'; letter <= 'z'; ++letter)
                if (QRegularExpression(QString(QChar(letter)), caseless).match(character).hasMatch())
                    add(character.toUcs4().value(0), char32_t(letter));
        }
        return found;
    }();
    return table;
}

// lookalikeTable() written out in each encoding, once.
const std::array<EncodedLookalikes, 26>& encodedLookalikes() {
    static const std::array<EncodedLookalikes, 26> table = [] {
        std::array<EncodedLookalikes, 26> encoded;
        for (int letter = 0; letter < 26; ++letter) {
            const std::vector<char32_t>& characters = lookalikeTable()[size_t(letter)];
            const auto isLookalike = [&](const QString& decoded) {
                return std::find(characters.begin(), characters.end(), char32_t(decoded.at(0).unicode())) != characters.end();
            };
            for (char32_t c : characters)
                encoded[size_t(letter)].utf8.push_back(QString::fromUcs4(&c, 1).toUtf8());
            for (int b = 0x80; b < 0x100; ++b) {
                const char byte = char(b);
                encoded[size_t(letter)].windows1252[size_t(b)] =
                    isLookalike(text_encoding::decodeWindows1252(QByteArrayView(&byte, 1)));
                encoded[size_t(letter)].latin1[size_t(b)] = isLookalike(QString::fromLatin1(&byte, 1));
            }
        }
        return encoded;
    }();
    return table;
}
} // namespace

std::optional<ByteSearch> ByteSearch::of(const TextSearch& search) {
    const QString& pattern = search.pattern();
    if (pattern.isEmpty() || search.options().regularExpression || !search.error().isEmpty())
        return std::nullopt;
    const bool matchCase = search.options().matchCase;
    ByteSearch bytes;
    for (QChar c : pattern) {
        if (c.unicode() >= 0x80 || c == u'\r' || c == u'\n')
            return std::nullopt;
        bytes.pattern_ += char(matchCase ? c.unicode() : c.toLower().unicode());
    }
    for (int b = 0; b < 256; ++b)
        bytes.fold_[b] = uchar(!matchCase && b >= 'A' && b <= 'Z' ? b + ('a' - 'A') : b);
    // Horspool's shifts: how far the window may move when its last byte is this one.
    const qsizetype length = bytes.pattern_.size();
    bytes.shift_.fill(length);
    for (qsizetype i = 0; i + 1 < length; ++i)
        bytes.shift_[uchar(bytes.pattern_[i])] = length - 1 - i;
    if (!matchCase) {
        // Each letter once: a letter the pattern repeats is looked for once.
        std::array<bool, 26> letters{};
        for (char c : bytes.pattern_)
            if (c >= 'a' && c <= 'z')
                letters[size_t(c - 'a')] = true;
        for (size_t letter = 0; letter < letters.size(); ++letter) {
            if (!letters[letter])
                continue;
            const EncodedLookalikes& encoded = encodedLookalikes()[letter];
            bytes.utf8Lookalikes_.insert(bytes.utf8Lookalikes_.end(), encoded.utf8.begin(), encoded.utf8.end());
            for (size_t b = 0; b < 256; ++b) {
                bytes.windows1252Lookalikes_[b] = bytes.windows1252Lookalikes_[b] || encoded.windows1252[b];
                bytes.latin1Lookalikes_[b] = bytes.latin1Lookalikes_[b] || encoded.latin1[b];
            }
        }
    }
    return bytes;
}

qsizetype ByteSearch::find(QByteArrayView bytes, qsizetype from) const {
    const auto* data = reinterpret_cast<const uchar*>(bytes.data());
    const auto* pattern = reinterpret_cast<const uchar*>(pattern_.data());
    const qsizetype length = pattern_.size();
    const qsizetype last = length - 1;
    for (qsizetype at = from; at + length <= bytes.size();) {
        const uchar tail = fold_[data[at + last]];
        if (tail == pattern[last]) {
            qsizetype i = last - 1;
            while (i >= 0 && fold_[data[at + i]] == pattern[i])
                --i;
            if (i < 0)
                return at;
        }
        at += shift_[tail];
    }
    return -1;
}

bool ByteSearch::hasLookalikes(QByteArrayView body, document_file::AsciiReading::Encoding encoding) const {
    using Encoding = document_file::AsciiReading::Encoding;
    if (encoding == Encoding::Utf8) {
        for (const QByteArray& sequence : utf8Lookalikes_) {
            const char* data = body.data();
            const char* end = data + body.size();
            for (const char* at = data; at < end;) {
                at = static_cast<const char*>(std::memchr(at, sequence[0], size_t(end - at)));
                if (!at)
                    break;
                if (end - at >= sequence.size() && std::memcmp(at, sequence.data(), size_t(sequence.size())) == 0)
                    return true;
                ++at;
            }
        }
        return false;
    }
    const std::array<bool, 256>& table = encoding == Encoding::Windows1252 ? windows1252Lookalikes_ : latin1Lookalikes_;
    if (std::find(table.begin(), table.end(), true) == table.end())
        return false;
    return std::any_of(body.begin(), body.end(), [&](char c) { return table[uchar(c)]; });
}

qsizetype countLineEnds(QByteArrayView bytes, qsizetype from, qsizetype to) {
    const char* data = bytes.data();
    const auto crBeforeLf = [&](qsizetype i) { return i + 1 < bytes.size() && data[i + 1] == '\n'; };
    qsizetype lf = 0, cr = 0, crlf = 0;
    qsizetype i = from;
    if constexpr (std::endian::native == std::endian::little) {
        // Eight bytes at a time: the high bit of each byte that equals the one looked for.
        const auto equalBytes = [](quint64 word, quint64 repeated) {
            const quint64 x = word ^ repeated;
            constexpr quint64 kLow7 = 0x7F7F7F7F7F7F7F7FULL;
            return ~(((x & kLow7) + kLow7) | x | kLow7);
        };
        for (; i + 8 <= to; i += 8) {
            quint64 word;
            std::memcpy(&word, data + i, 8);
            const quint64 lfs = equalBytes(word, 0x0A0A0A0A0A0A0A0AULL);
            const quint64 crs = equalBytes(word, 0x0D0D0D0D0D0D0D0DULL);
            lf += std::popcount(lfs);
            if (crs) {
                cr += std::popcount(crs);
                crlf += std::popcount(crs & (lfs >> 8)) + ((crs >> 63) && crBeforeLf(i + 7));
            }
        }
    }
    for (; i < to; ++i) {
        if (data[i] == '\n') {
            ++lf;
        } else if (data[i] == '\r') {
            ++cr;
            crlf += crBeforeLf(i);
        }
    }
    return lf + cr - crlf;
}
