#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>

/// The user's options, kept with QSettings. Reading never writes: the settings file is only
/// created when the user changes an option.
namespace settings {
/// Close, Exit, New and Open offer Save / Discard / Cancel for unsaved changes (off: the
/// program's own questions).
bool offerToSave();
void setOfferToSave(bool on);
/// Open and Save As start in the page's folder, list HTML pages first and add .html to a name
/// without a suffix (off: the current folder, and every file under the program's own label).
bool webPageFileDialogs();
void setWebPageFileDialogs(bool on);
/// At start, the pages open at the last exit come back (off: the program starts with an empty page).
bool reopenLastSession();
void setReopenLastSession(bool on);
/// Typing `</` completes the end tag of the innermost open element.
bool completeEndTags();
void setCompleteEndTags(bool on);
/// The list of element, attribute, value and reference names offered as HTML is typed (on at first).
bool suggestWhileTyping();
void setSuggestWhileTyping(bool on);
/// Tab right after an abbreviation expands it (off at first).
bool expandOnTab();
void setExpandOnTab(bool on);
/// Typing in a tag's name renames its partner too (off at first).
bool keepIndent();
void setKeepIndent(bool on);
bool closeBrackets();
void setCloseBrackets(bool on);
bool renameTagPairs();
void setRenameTagPairs(bool on);
/// Check Tags also checks accessibility (off at first), at Tidy's priority level 1 to 3 (1 at
/// first), and local links (on at first).
bool checkAccessibility();
void setCheckAccessibility(bool on);
int accessibilityLevel();
void setAccessibilityLevel(int level);
bool checkLinks();
void setCheckLinks(bool on);
/// The page is checked once typing pauses, its problems marked in the text (off at first).
bool checkAsYouType();
/// Check Spelling (off at first), and the language of text a page gives none (en at first).
bool checkSpelling();
void setCheckSpelling(bool on);
QString spellingLanguage();
void setSpellingLanguage(const QString& language);
void setCheckAsYouType(bool on);
/// Ctrl+H leaves the caret, the selection and the view as they were (off: it selects the last comment).
bool keepPlaceWhenColouring();
void setKeepPlaceWhenColouring(bool on);
/// Every edit keeps the colours of the last Ctrl+H true (off: they go stale until the next one).
bool colourAsYouType();
void setColourAsYouType(bool on);
/// The colouring Ctrl+H gives: the classic pass (false) or the HTML5 scheme, which is always live.
bool html5Scheme();
void setHtml5Scheme(bool on);
/// View options: the status bar and line numbers (both hidden at first), the zoom in points
/// added to the edit font, and the edit font itself (empty: the program's own).
bool statusBarShown();
void setStatusBarShown(bool on);
bool lineNumbersShown();
void setLineNumbersShown(bool on);
/// Format Document: the indent (-1 as the page has it, 0 a tab, else spaces), the line length
/// past which tags wrap between attributes (0: never), and whether style sheets and scripts in
/// pages are re-indented too (no, at first).
int formatIndent();
void setFormatIndent(int indent);
int wrapAttributesAt();
void setWrapAttributesAt(int columns);
bool formatCodeBlocks();
void setFormatCodeBlocks(bool on);
/// Fold markers in the gutter (hidden at first).
bool foldMarkersShown();
void setFoldMarkersShown(bool on);
int zoom();
void setZoom(int steps);
QString editFont();
void setEditFont(const QString& description);
/// Tidy's keys of the message kinds Check Tags leaves out.
QSet<QString> ignoredTagMessages();
void setIgnoredTagMessages(const QSet<QString>& keys);
/// The live preview: on the left of the text (off: the right), the split between them (empty:
/// half each), whether the page's scripts run (on at first) and whether remote content is
/// blocked (off at first).
bool livePreviewOnLeft();
void setLivePreviewOnLeft(bool on);
QByteArray livePreviewSizes();
void setLivePreviewSizes(const QByteArray& state);
bool livePreviewRunsJavaScript();
void setLivePreviewRunsJavaScript(bool on);
bool livePreviewBlocksRemoteContent();
void setLivePreviewBlocksRemoteContent(bool on);
/// Scripts of a previewed page may read the files of its folder (fetch, XMLHttpRequest, frames):
/// for pages that load their own data. Off: each file is an origin of its own, as a browser
/// treats pages opened from disk.
bool livePreviewScriptsReadSiteFiles();
void setLivePreviewScriptsReadSiteFiles(bool on);
} // namespace settings
