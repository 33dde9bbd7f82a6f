#pragma once

class EditArea;
class QKeyEvent;

/// Renames a tag's partner as its name is typed: with the caret in the name of a start tag that
/// has an end tag (or the other way round), each key that edits the name puts the same name in
/// the partner, in the same undo step. The pair comes from the page's tag map; a name that stops
/// being a name (a space, a `>`) ends the renaming, as does any edit that is not a key in the name.
class TagPairRename {
public:
    explicit TagPairRename(EditArea& area) : area_(area) {}

    /// A key that edits the text: when it types in, or deletes from, the name of a tag that has a
    /// partner, makes that edit and gives the partner the same name, as one undo step, and
    /// returns true. Otherwise leaves the key to the editor.
    bool type(const QKeyEvent* e);

    /// The tag map is built at once for the first key only on pages up to this size; a bigger
    /// page waits for the map the editor builds once typing pauses on a tag.
    static constexpr int kBuildMapUpTo = 1 << 20;

private:
    struct Name {
        int start = 0; ///< document positions
        int length = 0;
    };
    EditArea& area_;
    bool active_ = false;
    Name edited_, partner_;
    int revision_ = 0; ///< the document's after the last renaming
    /// Notes the pair the caret's name belongs to, unless the one noted still holds.
    void findPair();
};
