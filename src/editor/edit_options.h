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
    /// Format Document's indent: -1 as the page has it, 0 a tab, else that many spaces.
    int formatIndent = -1;
    /// Format Document wraps a start tag's attributes on lines longer than this; 0: never.
    int wrapAttributesAt = 0;
    /// Format Document re-indents a page's style sheets and scripts too.
    bool formatCodeBlocks = false;
    QFont font;
    /// The zoom a new edit area starts at (each keeps its own after that).
    int zoom = 0;
    /// The menu's keys, which no edit area may take for itself.
    QList<QKeySequence> reservedShortcuts;
};
