#pragma once

#include "colouring/tag_matching.h"

#include <QFutureWatcher>
#include <QObject>
#include <QTimer>

class EditArea;

/// Shows the partner of the tag the caret is on, and marks a tag that has none. The tag map
/// of the page is built in a worker once typing pauses with the caret on a tag; until then
/// nothing is shown, so a keystroke never waits for it.
class MatchingTags : public QObject {
    Q_OBJECT
public:
    explicit MatchingTags(EditArea* area);
    ~MatchingTags() override;

    /// Moves the caret to the partner of the tag it is on (onto its name). Returns false when
    /// the caret is on no tag or the tag has no partner.
    bool jumpToPartner();
    /// The map of the current text, built now if the worker's is not ready.
    const TagMap& currentMap();
    bool isCurrent() const { return !stale_; }

    /// How long typing must pause before the map is rebuilt.
    static constexpr int kIdleMs = 250;

signals:
    /// The highlight follows the caret and a fresh map.
    void highlighted();

private:
    void textChanged();
    void caretMoved();
    bool caretLooksOnTag() const;
    void rebuild();
    void adopt();
    void highlight();

    EditArea* area_;
    TagMap map_;
    bool stale_ = true;
    quint64 generation_ = 0;   ///< counts edits
    quint64 building_ = 0;     ///< the generation the worker builds
    QTimer idle_;
    QFutureWatcher<TagMap> watcher_;
};
