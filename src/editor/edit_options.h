#pragma once

#include <QFont>
#include <QKeySequence>
#include <QList>

/// What the user chose for every edit area, given to each new one as one value and to every
/// open one when an option changes.
struct EditOptions {
    bool completeEndTags = false;
    bool suggestWhileTyping = true;
    bool expandOnTab = false;
    bool renameTagPairs = false;
    bool keepIndent = false;
    bool closeBrackets = false;
    bool lineNumbers = false;
    bool foldMarkers = false;
    QFont font;
    /// The zoom a new edit area starts at (each keeps its own after that).
    int zoom = 0;
    /// The menu's keys, which no edit area may take for itself.
    QList<QKeySequence> reservedShortcuts;
};
