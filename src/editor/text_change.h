#pragma once

/// One edit of the document, described once for every part of the edit area that follows edits
/// (colours, soft breaks, repaint narrowing, completion points): @p removed characters at
/// document position @p position were replaced by @p added, and the edit now spans the blocks
/// [firstBlock, lastBlock]. The parts are told in one order, by the edit area.
struct TextChange {
    int position = 0;
    int removed = 0;
    int added = 0;
    int firstBlock = 0;
    int lastBlock = 0;
};
