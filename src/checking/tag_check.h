#pragma once

#include <QSet>
#include <QString>
#include <vector>

/// One problem HTML Tidy found in a page.
struct TagProblem {
    enum class Kind { Error, Warning };
    int line = 0;   ///< 1-based; 0 when the problem concerns the whole page
    int column = 0; ///< 1-based, in UTF-16 code units of the line, as Qt counts
    Kind kind = Kind::Warning;
    QString message;
    QString key; ///< Tidy's name for the kind of message, e.g. MISSING_ENDTAG_FOR
};

/// Checks @p text as HTML5 with HTML Tidy. Lines end at CR LF, LF or a lone CR, as in the page;
/// positions are converted from Tidy's count (code points, tabs expanded) to the text's own.
/// Messages whose key is in @p ignoredKeys are left out. With @p accessibility 1 to 3, Tidy's
/// accessibility checks of that priority level run too (as warnings). Safe to call from any thread.
std::vector<TagProblem> checkTags(const QString& text, const QSet<QString>& ignoredKeys = {}, int accessibility = 0);

/// Tidy's accessibility notes that find no fault, only ask for a test by hand ("style sheets
/// require testing", "missing longdesc and d-link"): left out below level 3 unless named.
const QSet<QString>& handCheckKeys();

/// The stretch a problem names: the whole tag when @p position is on a '<', else one character.
qsizetype problemLength(const QString& text, qsizetype position);
