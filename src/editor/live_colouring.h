#pragma once

#include "colour_model.h"
#include "colouring/language.h"

#include <memory>
#include <utility>
#include <vector>

class QTextDocument;

/// Keeps a coloured page's colours what a full colouring of its current text would give, edit
/// after edit, by colouring again only the stretch an edit can change.
class LiveColouring {
public:
    virtual ~LiveColouring() = default;
    /// The document replaced @p removed characters at @p position with @p added (document
    /// positions), and the colour model has been shifted to match. Returns the stretch
    /// [first, last) whose colours it changed, empty when none.
    virtual std::pair<int, int> textChanged(int position, int removed, int added) = 0;
};

/// The colouring pass of Ctrl+H, kept true. The model must hold that pass's colours already.
/// @p softBreaks are the document positions of the separators that are no line ends.
std::unique_ptr<LiveColouring> liveClassicColouring(const QTextDocument& document, ColourModel& model,
                                                    const std::vector<int>& softBreaks);
/// The HTML5 scheme, for a document in @p language (a style sheet or a script with the colours of
/// the code inside a page). Colours the whole document into @p model at once; lines keep the
/// state they start in, so an edit is read again from its line until the state is as before.
std::unique_ptr<LiveColouring> liveHtml5Colouring(const QTextDocument& document, ColourModel& model,
                                                  Language language = Language::Html);
