#include "insert_command.h"

namespace {
constexpr Field Q = Field::Text4;   // one double quote
constexpr Field EQ = Field::Text2;  // =" before a value
constexpr Field END = Field::Text1; // "> after the last value

// clang-format off
const std::vector<InsertCommand> kInsertMenu{
    {"addimagez",
     {{"Insert image name or link", "Add Image", "image.jpg"}},
     {Lit{"<img src="}, Q, Answer{0}, Q, Lit{">"}}},
    {"addspecificfontz",
     {{"Insert font size here:", "Add Font ", "2"},
      {"Define font (use common fonts as - verdana, times, courier, etc..):", "Add Font ", "verdana"}},
     {Lit{"<font size"}, EQ, Answer{0}, Q, Lit{" face"}, EQ, Answer{1}, END}},
    {"closespecificfontz", {}, {Lit{"</font>"}}},
    {"addaudioz",
     {{"Insert height here:", "Add Audio ", "20"},
      {"Insert link to audio here (if on same folder just add music name - example: music.mp3):", "Add Audio ", "music.mp3"},
      {"Insert volume here (from 0 to 100):", "Add Audio ", "50"},
      {"Want loop? (true or false):", "Add Audio", "true"},
      {"Want it hidden? (true or false)", "Add Audio", "true"},
      {"Want it to autostart? (true or false):", "Add Audio", "true"},
      {"Insert width here", "Add Audio", "128"}},
     {Lit{"<EMBED height"}, EQ, Answer{0}, Q, Lit{" src"}, EQ, Answer{1}, Q, Lit{" volume"}, EQ, Answer{2}, Q,
      Lit{" loop"}, EQ, Answer{3}, Q, Lit{" hidden"}, EQ, Answer{4}, Q, Lit{" autostart"}, EQ, Answer{5}, Q,
      Lit{" width"}, EQ, Answer{6}, END}},
    {"addmoviez",
     {{"Insert movie name or link", "Add Movie", "movie.mov"}},
     {Lit{"<embed src="}, Q, Answer{0}, Q, Lit{"></embed>"}}},
    {"addlinkz",
     {{"Insert the link", "Add Link", "http://"},
      {"Insert the text to link", "Add Link", "Click here to"}},
     {Lit{"<a href="}, Q, Answer{0}, Q, Lit{">"}, Answer{1}, Lit{"</a>"}}},
    {"addmarke",
     {{"Insert the marquee direction!(right , left)", "Add Marquee", "right"},
      {"Insert Your Marquee behavior here (scroll , slide or alternate)", "Add Marquee", "alternate"},
      {"Insert Your Marquee Text Here", "Add Marquee", "My Sliding Marquee"}},
     {Lit{"<marquee direction="}, Q, Answer{0}, Q, Lit{" behavior="}, Q, Answer{1}, Q, Lit{">"}, Answer{2},
      Lit{"</marquee>"}}},
    {"addemaillink",
     {{"Insert your email", "Add Email Link", "someone@example.com"},
      {"Insert the text to the email link", "Add Email Link", "Click here to mail me!"}},
     {Lit{"<a href="}, Q, Lit{"mailto:"}, Answer{0}, Q, Lit{">"}, Answer{1}, Lit{"</a>"}}},
    {"addblockquotez", {}, {Lit{"<blockquote>"}, CrLf{}, CrLf{}, Lit{"</blockquote>"}, CrLf{}}},
    {"addparagraphz", {}, {Lit{"<p>"}, CrLf{}, CrLf{}, Lit{"</p>"}, CrLf{}}},
    {"addbreak", {}, {Lit{"<br>"}, CrLf{}}},
    {"addhline", {}, {Lit{"<hr>"}}},
    {"addunderlinedtext",
     {{"Insert here the text to Underline", "Add Underlined Text", "your underline text"}},
     {Lit{"<u>"}, Answer{0}, Lit{"</u>"}}},
    {"additalictextz",
     {{"Insert here the text to Italic", "Add Italic Text", "your italic text"}},
     {Lit{"<i>"}, Answer{0}, Lit{"</i>"}}},
    {"addboltextz",
     {{"Insert here the text to Bold", "Add Bold Text", "your bold text"}},
     {Lit{"<b>"}, Answer{0}, Lit{"</b>"}}},
};
// clang-format on
} // namespace

std::span<const InsertCommand> insertMenuCommands() {
    return kInsertMenu;
}
