#pragma once

#include <span>

/// One item of the menu bar, in display order. Level 1 items stand in the menu bar; every other
/// item belongs to the submenu of the nearest earlier item with a smaller level.
struct MenuItem {
    int level;
    const char* control;  ///< the item's control name; commands run <control>_Click
    const char* caption;  ///< nullptr for a separator line
    const char* shortcut; ///< portable key text, or nullptr
};

std::span<const MenuItem> menuTable();
