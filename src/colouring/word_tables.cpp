#include "word_tables.h"

// The order is the order of application; repeated words are repeated on purpose.
// clang-format off
const std::array<TableWord, 207> kTagWords{{
    {WordSource::Literal, "<html>"}, {WordSource::Literal, "</html>"}, {WordSource::Literal, "<head>"}, {WordSource::Literal, "</head>"}, {WordSource::Literal, "<title>"},
    {WordSource::Literal, "</title>"}, {WordSource::Literal, "<body"}, {WordSource::Literal, "</body>"}, {WordSource::Literal, "<br>"}, {WordSource::Literal, "<p>"},
    {WordSource::Literal, "</p>"}, {WordSource::Literal, "</font>"}, {WordSource::Literal, "<font>"}, {WordSource::Literal, "<font"}, {WordSource::Literal, "<p"},
    {WordSource::Literal, "<hr>"}, {WordSource::Literal, "<td>"}, {WordSource::Literal, "</td>"}, {WordSource::Literal, "<a"}, {WordSource::Literal, "</a>"},
    {WordSource::Literal, "href="}, {WordSource::Literal, "<table"}, {WordSource::Literal, "<tr>"}, {WordSource::Literal, "</table>"}, {WordSource::Literal, "face="},
    {WordSource::Literal, "</form>"}, {WordSource::Literal, "<form"}, {WordSource::Literal, "</center>"}, {WordSource::Literal, "<center>"}, {WordSource::Literal, "bgcolor="},
    {WordSource::Literal, "</b>"}, {WordSource::Literal, "<b>"}, {WordSource::Literal, "</i>"}, {WordSource::Literal, "<i>"}, {WordSource::Literal, "<input"},
    {WordSource::Literal, "type="}, {WordSource::Literal, "value="}, {WordSource::Literal, "name="}, {WordSource::Literal, "id="}, {WordSource::Literal, "action="},
    {WordSource::Literal, "method="}, {WordSource::Literal, "size="}, {WordSource::Literal, "vlink="}, {WordSource::Literal, "link="}, {WordSource::Literal, "text="},
    {WordSource::Literal, "<strong>"}, {WordSource::Literal, "</strong>"}, {WordSource::Literal, "</div>"}, {WordSource::Literal, "<div"}, {WordSource::Literal, "<meta http-equiv="},
    {WordSource::Literal, "content="}, {WordSource::Literal, "align="}, {WordSource::Literal, "charset="}, {WordSource::Literal, "</script>"}, {WordSource::Literal, "<script>"},
    {WordSource::Literal, "<h3>"}, {WordSource::Literal, "</h3>"}, {WordSource::Literal, "<h2>"}, {WordSource::Literal, "</h2>"}, {WordSource::Literal, "<h1>"},
    {WordSource::Literal, "</h1>"}, {WordSource::Literal, "<pre>"}, {WordSource::Literal, "</pre>"}, {WordSource::Literal, "<address>"}, {WordSource::Literal, "</address>"},
    {WordSource::Literal, "<menu>"}, {WordSource::Literal, "</menu>"}, {WordSource::Literal, "<h4>"}, {WordSource::Literal, "</h4>"}, {WordSource::Literal, "</h5>"},
    {WordSource::Literal, "<h5>"}, {WordSource::Literal, "</h6>"}, {WordSource::Literal, "<h6>"}, {WordSource::Literal, "<dl>"}, {WordSource::Literal, "</dl>"},
    {WordSource::Literal, "<li>"}, {WordSource::Literal, "</li>"}, {WordSource::Literal, "<dd>"}, {WordSource::Literal, "</dd>"}, {WordSource::Literal, "<img "},
    {WordSource::Literal, "border="}, {WordSource::Literal, "src="}, {WordSource::Literal, "width="}, {WordSource::Literal, "height="}, {WordSource::Literal, "leftmargin="},
    {WordSource::Literal, "topmargin="}, {WordSource::Literal, "marginwidth="}, {WordSource::Literal, "marginheight="}, {WordSource::Literal, "cellpadding="}, {WordSource::Literal, "cellspacing="},
    {WordSource::Literal, "colspan="}, {WordSource::Literal, "alt="}, {WordSource::Literal, "usemap="}, {WordSource::Literal, "<span"}, {WordSource::Literal, "class="},
    {WordSource::Literal, "background="}, {WordSource::Literal, "rowspan="}, {WordSource::Literal, "<map name="}, {WordSource::Literal, "<area shape="}, {WordSource::Literal, "</map>"},
    {WordSource::Literal, "coords="}, {WordSource::Literal, "alink"}, {WordSource::Literal, "</tr>"}, {WordSource::Literal, "<td "}, {WordSource::Literal, "<embed"},
    {WordSource::Literal, "</embed>"}, {WordSource::Text1, nullptr}, {WordSource::Literal, "style="}, {WordSource::Literal, "<meta"}, {WordSource::Literal, "</td>"},
    {WordSource::Text2, nullptr}, {WordSource::Literal, "bordercolor="}, {WordSource::Literal, "bordercolordark="}, {WordSource::Literal, "bordercolorlight="}, {WordSource::Literal, "</marquee>"},
    {WordSource::Literal, "<marquee>"}, {WordSource::Literal, "<marquee"}, {WordSource::Literal, "color="}, {WordSource::Literal, "<input>"}, {WordSource::Literal, "<big>"},
    {WordSource::Literal, "<center>"}, {WordSource::Literal, "<dl>"}, {WordSource::Literal, "<dt>"}, {WordSource::Literal, "<em>"}, {WordSource::Literal, "<I>"},
    {WordSource::Literal, "scrollamount="}, {WordSource::Literal, "loop="}, {WordSource::Literal, "<menu>"}, {WordSource::Literal, "<ol>"}, {WordSource::Literal, "<option>"},
    {WordSource::Literal, "<small>"}, {WordSource::Literal, "<strong>"}, {WordSource::Literal, "<th>"}, {WordSource::Literal, "<tt>"}, {WordSource::Literal, "<u>"},
    {WordSource::Literal, "</u>"}, {WordSource::Literal, "<ul>"}, {WordSource::Literal, "<script"}, {WordSource::Literal, "<object"}, {WordSource::Literal, "</object"},
    {WordSource::Literal, "target="}, {WordSource::Literal, "<bgsound"}, {WordSource::Literal, "<BLOCKQUOTE"}, {WordSource::Literal, "<BUTTON"}, {WordSource::Literal, "<code"},
    {WordSource::Literal, "<cite"}, {WordSource::Literal, "<caption"}, {WordSource::Literal, "<colgroup"}, {WordSource::Literal, "<del"}, {WordSource::Literal, "<dfn"},
    {WordSource::Literal, "<dir"}, {WordSource::Literal, "<em"}, {WordSource::Literal, "<fieldset"}, {WordSource::Literal, "<font"}, {WordSource::Literal, "<frame"},
    {WordSource::Literal, "<iframe"}, {WordSource::Literal, "<frameset"}, {WordSource::Literal, "<ilayer"}, {WordSource::Literal, "<ins"}, {WordSource::Literal, "<isindex"},
    {WordSource::Literal, "<kbd"}, {WordSource::Literal, "<label"}, {WordSource::Literal, "<legend"}, {WordSource::Literal, "<map"}, {WordSource::Literal, "<menu"},
    {WordSource::Literal, "<nobr"}, {WordSource::Literal, "<noframes"}, {WordSource::Literal, "<noscript"}, {WordSource::Literal, "<option"}, {WordSource::Literal, "<param"},
    {WordSource::Literal, "<plaintext"}, {WordSource::Literal, "<samp"}, {WordSource::Literal, "<span"}, {WordSource::Literal, "<strike"}, {WordSource::Literal, "<sub"},
    {WordSource::Literal, "<sup"}, {WordSource::Literal, "<tbody"}, {WordSource::Literal, "<textarea"}, {WordSource::Literal, "</textarea>"}, {WordSource::Literal, "<tfoot"},
    {WordSource::Literal, "<var"}, {WordSource::Literal, "</option>"}, {WordSource::Literal, "</select>"}, {WordSource::Literal, "<select"}, {WordSource::Literal, "</ol>"},
    {WordSource::Literal, "</ul>"}, {WordSource::Literal, "cols="}, {WordSource::Literal, "wrap="}, {WordSource::Literal, "rows="}, {WordSource::Literal, "font-family:"},
    {WordSource::Literal, "font-size:"}, {WordSource::Literal, "enctype"}, {WordSource::Literal, "<tr"}, {WordSource::Literal, "<td"}, {WordSource::Literal, "<blockquote>"},
    {WordSource::Literal, "</blockquote>"}, {WordSource::Literal, "</code>"}, {WordSource::Literal, "<code>"}, {WordSource::Literal, "<s>"}, {WordSource::Literal, "</s>"},
    {WordSource::Literal, "</cite>"}, {WordSource::Literal, "<cite>"}, {WordSource::Literal, "behavior="}, {WordSource::Literal, "direction="}, {WordSource::Literal, "autostart="},
    {WordSource::Literal, "hidden="}, {WordSource::Literal, "volume="},
}};

const std::array<TableWord, 10> kCommentWords{{
    {WordSource::Literal, "--WEBBOT-SELF--"}, {WordSource::Literal, "webbot"}, {WordSource::Literal, "bot="}, {WordSource::Literal, "<!--"}, {WordSource::Literal, "-->"},
    {WordSource::Literal, "<!"}, {WordSource::Literal, "W3C"}, {WordSource::Literal, "DTD HTML 4.01 Transitional"}, {WordSource::Literal, "DOCTYPE HTML PUBLIC"}, {WordSource::Literal, "DOCTYPE"},
}};
// clang-format on
