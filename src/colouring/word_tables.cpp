#include "word_tables.h"

#include "base/markup.h"

// The order is the order of application; repeated words are repeated on purpose.
// clang-format off
const std::array<const char*, 207> kTagWords{{
    "<html>", "</html>", "<head>", "</head>", "<title>",
    "</title>", "<body", "</body>", "<br>", "<p>",
    "</p>", "</font>", "<font>", "<font", "<p",
    "<hr>", "<td>", "</td>", "<a", "</a>",
    "href=", "<table", "<tr>", "</table>", "face=",
    "</form>", "<form", "</center>", "<center>", "bgcolor=",
    "</b>", "<b>", "</i>", "<i>", "<input",
    "type=", "value=", "name=", "id=", "action=",
    "method=", "size=", "vlink=", "link=", "text=",
    "<strong>", "</strong>", "</div>", "<div", "<meta http-equiv=",
    "content=", "align=", "charset=", "</script>", "<script>",
    "<h3>", "</h3>", "<h2>", "</h2>", "<h1>",
    "</h1>", "<pre>", "</pre>", "<address>", "</address>",
    "<menu>", "</menu>", "<h4>", "</h4>", "</h5>",
    "<h5>", "</h6>", "<h6>", "<dl>", "</dl>",
    "<li>", "</li>", "<dd>", "</dd>", "<img ",
    "border=", "src=", "width=", "height=", "leftmargin=",
    "topmargin=", "marginwidth=", "marginheight=", "cellpadding=", "cellspacing=",
    "colspan=", "alt=", "usemap=", "<span", "class=",
    "background=", "rowspan=", "<map name=", "<area shape=", "</map>",
    "coords=", "alink", "</tr>", "<td ", "<embed",
    "</embed>", markup::kValueEnd, "style=", "<meta", "</td>",
    markup::kValueOpen, "bordercolor=", "bordercolordark=", "bordercolorlight=", "</marquee>",
    "<marquee>", "<marquee", "color=", "<input>", "<big>",
    "<center>", "<dl>", "<dt>", "<em>", "<I>",
    "scrollamount=", "loop=", "<menu>", "<ol>", "<option>",
    "<small>", "<strong>", "<th>", "<tt>", "<u>",
    "</u>", "<ul>", "<script", "<object", "</object",
    "target=", "<bgsound", "<BLOCKQUOTE", "<BUTTON", "<code",
    "<cite", "<caption", "<colgroup", "<del", "<dfn",
    "<dir", "<em", "<fieldset", "<font", "<frame",
    "<iframe", "<frameset", "<ilayer", "<ins", "<isindex",
    "<kbd", "<label", "<legend", "<map", "<menu",
    "<nobr", "<noframes", "<noscript", "<option", "<param",
    "<plaintext", "<samp", "<span", "<strike", "<sub",
    "<sup", "<tbody", "<textarea", "</textarea>", "<tfoot",
    "<var", "</option>", "</select>", "<select", "</ol>",
    "</ul>", "cols=", "wrap=", "rows=", "font-family:",
    "font-size:", "enctype", "<tr", "<td", "<blockquote>",
    "</blockquote>", "</code>", "<code>", "<s>", "</s>",
    "</cite>", "<cite>", "behavior=", "direction=", "autostart=",
    "hidden=", "volume=",
}};

const std::array<const char*, 10> kCommentWords{{
    "--WEBBOT-SELF--", "webbot", "bot=", "<!--", "-->",
    "<!", "W3C", "DTD HTML 4.01 Transitional", "DOCTYPE HTML PUBLIC", "DOCTYPE",
}};
// clang-format on
