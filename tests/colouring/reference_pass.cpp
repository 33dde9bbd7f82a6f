#include "reference_pass.h"

namespace {
QString lowerEachCharacter(const QString& s) {
    QString out = s;
    for (QChar& c : out)
        c = c.toLower();
    return out;
}
} // namespace

void ReferenceBox::plainText() {
    colours.assign(size_t(text.size()), kDefault);
    selStart = 0;
    selLength = 0;
}

void ReferenceBox::colourSelection(Colour c) {
    for (int i = selStart; i < selStart + selLength && i < int(text.size()); ++i)
        colours[size_t(i)] = c;
}

void ReferenceBox::colourWord(const QString& word, Colour colour) {
    const int savedStart = selStart, savedLength = selLength;
    const QString lowWord = lowerEachCharacter(word);
    if (lowWord.isEmpty())
        return;
    // The text never changes during colouring, so one lower-cased copy serves every search.
    const QString low = lowerEachCharacter(text);
    qsizetype p = low.indexOf(lowWord, 0);
    while (p >= 0) {
        selStart = int(p);
        selLength = int(lowWord.size());
        colourSelection(colour);
        if (p + lowWord.size() >= text.size())
            break;
        p = low.indexOf(lowWord, p + lowWord.size());
    }
    selStart = savedStart;
    selLength = savedLength;
}

void ReferenceBox::colourDelimited(const QString& open, const QString& close, Colour colour) {
    qsizetype s = 0;
    for (;;) {
        const qsizetype o = text.indexOf(open, s);
        if (o < 0)
            return;
        const qsizetype c = text.indexOf(close, o);
        if (c < 0) {
            selStart = int(o);
            selLength = 0;
            return;
        }
        selStart = int(o);
        selLength = int(c - o + 1);
        colourSelection(colour);
        s = c;
    }
}

void ReferenceBox::htmlPass() {
    plainText();
    colourDelimited(QStringLiteral("=\""), QStringLiteral("\">"), kPureRed);
    colourDelimited(QStringLiteral("<!"), QStringLiteral(">"), kSystemGreyText);
    for (const QString& w : tableWords(true))
        colourWord(w, kRoyalBlue);
    for (const QString& w : tableWords(false))
        colourWord(w, kDimGrey);
}
