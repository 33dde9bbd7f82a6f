#pragma once

#include <span>

class MainWindow;

/// A command of the main window that a menu item calls.
using WindowCommand = void (MainWindow::*)();

/// What a menu item runs: an insertion command by its id, or a command of the main window.
struct MenuRun {
    const char* insertion = nullptr;
    WindowCommand command = nullptr;
    bool checkable = false; ///< an option the item shows ticked while it is on
};
constexpr MenuRun insertion(const char* id) {
    return {id, nullptr};
}
constexpr MenuRun call(WindowCommand command) {
    return {nullptr, command};
}
constexpr MenuRun option(WindowCommand command) {
    return {nullptr, command, true};
}

/// One item of the menu bar, in display order. Level 1 items stand in the menu bar; every other
/// item belongs to the submenu of the nearest earlier item with a smaller level.
struct MenuItem {
    int level;
    const char* objectName; ///< stable name for tests and accessibility tools
    const char* caption;    ///< nullptr for a separator line
    const char* shortcut;   ///< portable key text, or nullptr
    MenuRun run = {};       ///< nothing for submenus and separators
};

std::span<const MenuItem> menuTable();
