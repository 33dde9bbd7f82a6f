#pragma once

#include "text_position.h"

#include <QString>
#include <vector>

class QTextDocument;
class SoftBreakIndex;

/// Converts between the two position spaces of the edit area: the page's text as a file holds
/// it (CrlfPosition: a line end counts two, a soft break none) and the QTextDocument that shows
/// it (DocumentPosition: a line end counts one, and so does a soft break).
class CrlfPositions {
public:
    CrlfPositions(const QTextDocument& document, const SoftBreakIndex& softBreaks)
        : document_(document), softBreaks_(softBreaks) {}

    /// A position on the CR or the LF of a line end lands on the document's one separator.
    DocumentPosition toDocument(CrlfPosition position) const;
    CrlfPosition toCrlf(DocumentPosition position) const;
    /// toDocument() of many positions in ascending order, in one walk down the lines.
    std::vector<DocumentPosition> toDocumentAscending(const std::vector<CrlfPosition>& positions) const;
    /// Where block @p blockNumber starts in the CR LF text.
    CrlfPosition blockStart(int blockNumber) const;

    /// @p raw (a document's text with one U+2029 per line end) with CR LF line ends, in one pass.
    static QString crlfFromRaw(QStringView raw);

private:
    const QTextDocument& document_;
    const SoftBreakIndex& softBreaks_;
};
