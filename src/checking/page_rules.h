#pragma once

#include "safe_check.h"
#include "tag_check.h"

#include <QSet>
#include <QString>
#include <optional>
#include <vector>

/// Checks of our own, beside Tidy's: what users of assistive technology need most, and links.
/// They read the page with the HTML tokenizer, so they run in a few milliseconds on a big page.
///
/// Accessibility (keys): img-alt (an image without alt), field-label (a form field without a
/// label), html-lang (a page without lang), link-text and button-text (a link or button with no
/// text a screen reader could say), heading-order (a heading level skipped), duplicate-id.
/// Links: missing-file (a local href, src, srcset, poster, object data, CSS url() or @import
/// naming no file), missing-anchor (a #fragment naming no id or name in this page), image-size
/// (an <img> of a local image without width and height, or with other proportions than it has).
namespace page_rules {

/// A link to another local file, for the checks across a site.
struct Link {
    QString target;   ///< absolute, clean path of the file it names
    QString fragment; ///< without '#', empty for none
    int line = 0;
    int column = 0;
};

struct Facts {
    std::vector<TagProblem> problems;
    QSet<QString> anchors;   ///< ids and a-names of the page
    std::vector<Link> links; ///< to other local files
};

struct Options {
    bool accessibility = false;
    bool links = false;
    /// The page's own path: relative links are resolved from its folder. Empty for an unsaved
    /// page, whose links to files are not checked.
    QString pagePath;
    /// The folder root-relative links (`/img/a.png`) start from: the site's; the page's own
    /// folder when empty.
    QString siteRoot;
    /// Checks by hand (handCheckKeys()) that the site's settings ask for below level 3.
    QSet<QString> handChecks;
};

Facts check(const QString& text, const Options& options);

/// A style sheet's own checks: with links, missing-file for its url() and @import.
std::vector<TagProblem> checkStyleSheet(const QString& text, const Options& options);

/// Tidy's problems and ours in page order, where a Tidy message that says what one of ours says
/// about the same place (an image without alt, a duplicate id, a page without a language) is
/// left out: each fault is reported once.
std::vector<TagProblem> merged(std::vector<TagProblem> tidy, const std::vector<TagProblem>& ours);

/// Tidy (in safe_check's child process, at accessibility level @p accessibility) and our rules
/// on one page, each fault once, the kinds in @p ignored left out. The facts hold the page's
/// anchors and links when @p options asks for links.
struct Checked {
    safe_check::Result result;
    Facts facts;
};
Checked checkPage(const QString& text, const QSet<QString>& ignored, int accessibility, const Options& options);

/// A local link taken apart.
struct LocalTarget {
    bool samePage = false; ///< only a #fragment (or nothing): the page itself
    /// The file it names, resolved from the page's folder (a folder names its index.html);
    /// empty for the page itself, or when the page has no file to start from.
    QString file;
    QString fragment; ///< without '#', percent-decoded
};
/// @p url taken apart, or nothing when it is not local. A root-relative URL starts from
/// @p siteRoot (the page's folder when empty): a site's / is never the disk's.
std::optional<LocalTarget> resolveLocal(QStringView url, const QString& pagePath, const QString& siteRoot = {});

} // namespace page_rules
