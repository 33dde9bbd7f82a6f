#include "settings.h"

#include <algorithm>

#include <QSettings>

namespace settings {
namespace {
const QString kOfferToSave = QStringLiteral("files/offerToSave");
const QString kWebPageFileDialogs = QStringLiteral("files/webPageDialogs");
const QString kReopenLastSession = QStringLiteral("files/reopenLastSession");
const QString kCompleteEndTags = QStringLiteral("editing/completeEndTags");
const QString kSuggestWhileTyping = QStringLiteral("editing/suggestWhileTyping");
const QString kExpandOnTab = QStringLiteral("editing/expandAbbreviationsOnTab");
const QString kRenameTagPairs = QStringLiteral("editing/renameTagPairs");
const QString kKeepIndent = QStringLiteral("editing/keepIndent");
const QString kCloseBrackets = QStringLiteral("editing/closeBrackets");
const QString kCheckAccessibility = QStringLiteral("checkTags/accessibility");
const QString kAccessibilityLevel = QStringLiteral("checkTags/accessibilityLevel");
const QString kCheckLinks = QStringLiteral("checkTags/links");
const QString kCheckAsYouType = QStringLiteral("checkTags/asYouType");
const QString kIgnoredTagMessages = QStringLiteral("checkTags/ignoredMessages");
const QString kStatusBar = QStringLiteral("view/statusBar");
const QString kKeepPlace = QStringLiteral("colouring/keepPlace");
const QString kColourAsYouType = QStringLiteral("colouring/asYouType");
const QString kScheme = QStringLiteral("colouring/scheme");
const QString kLineNumbers = QStringLiteral("view/lineNumbers");
const QString kFoldMarkers = QStringLiteral("view/foldMarkers");
const QString kCheckSpelling = QStringLiteral("editing/checkSpelling");
const QString kSpellingLanguage = QStringLiteral("editing/spellingLanguage");
const QString kFormatIndent = QStringLiteral("format/indent");
const QString kWrapAttributesAt = QStringLiteral("format/wrapAttributesAt");
const QString kFormatCodeBlocks = QStringLiteral("format/codeBlocks");
const QString kZoom = QStringLiteral("view/zoom");
const QString kEditFont = QStringLiteral("view/font");
const QString kPreviewOnLeft = QStringLiteral("livePreview/onLeft");
const QString kPreviewSizes = QStringLiteral("livePreview/sizes");
const QString kPreviewJavaScript = QStringLiteral("livePreview/javaScript");
const QString kPreviewBlocksRemote = QStringLiteral("livePreview/blockRemoteContent");
const QString kPreviewScriptsReadFiles = QStringLiteral("livePreview/scriptsReadSiteFiles");
} // namespace

bool offerToSave() {
    return QSettings().value(kOfferToSave, false).toBool();
}

void setOfferToSave(bool on) {
    QSettings().setValue(kOfferToSave, on);
}
bool webPageFileDialogs() {
    return QSettings().value(kWebPageFileDialogs, false).toBool();
}

void setWebPageFileDialogs(bool on) {
    QSettings().setValue(kWebPageFileDialogs, on);
}

bool reopenLastSession() {
    return QSettings().value(kReopenLastSession, false).toBool();
}

void setReopenLastSession(bool on) {
    QSettings().setValue(kReopenLastSession, on);
}

bool completeEndTags() {
    return QSettings().value(kCompleteEndTags, false).toBool();
}

void setCompleteEndTags(bool on) {
    QSettings().setValue(kCompleteEndTags, on);
}

bool suggestWhileTyping() {
    return QSettings().value(kSuggestWhileTyping, true).toBool();
}

void setSuggestWhileTyping(bool on) {
    QSettings().setValue(kSuggestWhileTyping, on);
}

bool expandOnTab() {
    return QSettings().value(kExpandOnTab, false).toBool();
}

void setExpandOnTab(bool on) {
    QSettings().setValue(kExpandOnTab, on);
}

bool keepIndent() {
    return QSettings().value(kKeepIndent, false).toBool();
}

void setKeepIndent(bool on) {
    QSettings().setValue(kKeepIndent, on);
}

bool closeBrackets() {
    return QSettings().value(kCloseBrackets, false).toBool();
}

void setCloseBrackets(bool on) {
    QSettings().setValue(kCloseBrackets, on);
}

bool renameTagPairs() {
    return QSettings().value(kRenameTagPairs, false).toBool();
}

void setRenameTagPairs(bool on) {
    QSettings().setValue(kRenameTagPairs, on);
}

bool checkAccessibility() {
    return QSettings().value(kCheckAccessibility, false).toBool();
}

void setCheckAccessibility(bool on) {
    QSettings().setValue(kCheckAccessibility, on);
}

int accessibilityLevel() {
    return std::clamp(QSettings().value(kAccessibilityLevel, 1).toInt(), 1, 3);
}

void setAccessibilityLevel(int level) {
    QSettings().setValue(kAccessibilityLevel, level);
}

bool checkLinks() {
    return QSettings().value(kCheckLinks, true).toBool();
}

void setCheckLinks(bool on) {
    QSettings().setValue(kCheckLinks, on);
}

bool checkAsYouType() {
    return QSettings().value(kCheckAsYouType, false).toBool();
}

void setCheckAsYouType(bool on) {
    QSettings().setValue(kCheckAsYouType, on);
}

bool keepPlaceWhenColouring() {
    return QSettings().value(kKeepPlace, false).toBool();
}

void setKeepPlaceWhenColouring(bool on) {
    QSettings().setValue(kKeepPlace, on);
}

bool colourAsYouType() {
    return QSettings().value(kColourAsYouType, false).toBool();
}

void setColourAsYouType(bool on) {
    QSettings().setValue(kColourAsYouType, on);
}

bool html5Scheme() {
    return QSettings().value(kScheme).toString() == u"html5";
}

void setHtml5Scheme(bool on) {
    QSettings().setValue(kScheme, on ? QStringLiteral("html5") : QStringLiteral("classic"));
}

bool statusBarShown() {
    return QSettings().value(kStatusBar, false).toBool();
}

void setStatusBarShown(bool on) {
    QSettings().setValue(kStatusBar, on);
}

bool lineNumbersShown() {
    return QSettings().value(kLineNumbers, false).toBool();
}

void setLineNumbersShown(bool on) {
    QSettings().setValue(kLineNumbers, on);
}

bool checkSpelling() {
    return QSettings().value(kCheckSpelling, false).toBool();
}
void setCheckSpelling(bool on) {
    QSettings().setValue(kCheckSpelling, on);
}
QString spellingLanguage() {
    return QSettings().value(kSpellingLanguage, QStringLiteral("en")).toString();
}
void setSpellingLanguage(const QString& language) {
    QSettings().setValue(kSpellingLanguage, language);
}

int formatIndent() {
    return QSettings().value(kFormatIndent, -1).toInt();
}
void setFormatIndent(int indent) {
    QSettings().setValue(kFormatIndent, indent);
}
int wrapAttributesAt() {
    return QSettings().value(kWrapAttributesAt, 0).toInt();
}
void setWrapAttributesAt(int columns) {
    QSettings().setValue(kWrapAttributesAt, columns);
}
bool formatCodeBlocks() {
    return QSettings().value(kFormatCodeBlocks, false).toBool();
}
void setFormatCodeBlocks(bool on) {
    QSettings().setValue(kFormatCodeBlocks, on);
}

bool foldMarkersShown() {
    return QSettings().value(kFoldMarkers, false).toBool();
}

void setFoldMarkersShown(bool on) {
    QSettings().setValue(kFoldMarkers, on);
}

int zoom() {
    return QSettings().value(kZoom, 0).toInt();
}

void setZoom(int steps) {
    QSettings().setValue(kZoom, steps);
}

QString editFont() {
    return QSettings().value(kEditFont).toString();
}

void setEditFont(const QString& description) {
    QSettings().setValue(kEditFont, description);
}

QSet<QString> ignoredTagMessages() {
    const QStringList keys = QSettings().value(kIgnoredTagMessages).toStringList();
    return {keys.begin(), keys.end()};
}

void setIgnoredTagMessages(const QSet<QString>& keys) {
    QStringList list(keys.begin(), keys.end());
    list.sort();
    QSettings().setValue(kIgnoredTagMessages, list);
}

bool livePreviewOnLeft() {
    return QSettings().value(kPreviewOnLeft, false).toBool();
}

void setLivePreviewOnLeft(bool on) {
    QSettings().setValue(kPreviewOnLeft, on);
}

QByteArray livePreviewSizes() {
    return QSettings().value(kPreviewSizes).toByteArray();
}

void setLivePreviewSizes(const QByteArray& state) {
    QSettings().setValue(kPreviewSizes, state);
}

bool livePreviewRunsJavaScript() {
    return QSettings().value(kPreviewJavaScript, true).toBool();
}

void setLivePreviewRunsJavaScript(bool on) {
    QSettings().setValue(kPreviewJavaScript, on);
}

bool livePreviewBlocksRemoteContent() {
    return QSettings().value(kPreviewBlocksRemote, false).toBool();
}

void setLivePreviewBlocksRemoteContent(bool on) {
    QSettings().setValue(kPreviewBlocksRemote, on);
}

bool livePreviewScriptsReadSiteFiles() {
    return QSettings().value(kPreviewScriptsReadFiles, false).toBool();
}

void setLivePreviewScriptsReadSiteFiles(bool on) {
    QSettings().setValue(kPreviewScriptsReadFiles, on);
}

} // namespace settings
