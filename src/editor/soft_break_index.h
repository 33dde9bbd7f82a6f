#pragma once

#include <QTextFormat>
#include <vector>

class QTextBlock;
class QTextDocument;

/// Which blocks of the document start after a soft break: the cut of a long line into pieces,
/// which is no line end of the page. A block carries its mark as a block-format property, which
/// undo and redo keep; this index lists the marked blocks, built again after a change only when
/// it is next asked, and not at all while the document cannot hold soft breaks.
class SoftBreakIndex {
public:
    /// The block property that marks a block whose separator before it is a soft break.
    static constexpr int kSoftStart = QTextFormat::UserProperty + 1;
    /// Whether the separator before @p block is a soft break.
    static bool startsSoft(const QTextBlock& block);

    explicit SoftBreakIndex(const QTextDocument* document) : document_(document) {}

    /// The document changed: the list is built again when next asked for.
    void changed() { stale_ = true; }
    /// Soft breaks went in (@p any), or the document may have held some before.
    void softBreaksAdded(bool any) {
        mayHave_ = mayHave_ || any;
        stale_ = true;
    }
    /// The document holds a fresh text, with soft breaks or (@p any false) without any.
    void reset(bool any) {
        mayHave_ = any;
        stale_ = true;
    }
    /// Once a soft break went in, undo may bring one back: the document may hold some.
    bool mayHaveSoftBreaks() const { return mayHave_; }

    /// The block numbers that start after a soft break, ascending.
    const std::vector<int>& blocks() const;
    /// How many of the blocks up to and including @p blockNumber start after a soft break.
    int before(int blockNumber) const;

private:
    const QTextDocument* document_;
    bool mayHave_ = false;
    mutable bool stale_ = false;
    mutable std::vector<int> blocks_;
};
