#include "insert_command.h"

namespace {
// clang-format off
const std::vector<InsertCommand> kInsertMenu{
    {"image",
     {{"Insert image name or link", "Add Image", "image.jpg"}},
     {Lit{"<img src="}, Quote, Answer{0}, Quote, Lit{">"}}},
    {"font-open",
     {{"Insert font size here:", "Add Font ", "2"},
      {"Define font (use common fonts as - verdana, times, courier, etc..):", "Add Font ", "verdana"}},
     {Lit{"<font size"}, ValueOpen, Answer{0}, Quote, Lit{" face"}, ValueOpen, Answer{1}, ValueEnd}},
    {"font-close", {}, {Lit{"</font>"}}},
    {"audio",
     {{"Insert height here:", "Add Audio ", "20"},
      {"Insert link to audio here (if on same folder just add music name - example: music.mp3):", "Add Audio ", "music.mp3"},
      {"Insert volume here (from 0 to 100):", "Add Audio ", "50"},
      {"Want loop? (true or false):", "Add Audio", "true"},
      {"Want it hidden? (true or false)", "Add Audio", "true"},
      {"Want it to autostart? (true or false):", "Add Audio", "true"},
      {"Insert width here", "Add Audio", "128"}},
     {Lit{"<EMBED height"}, ValueOpen, Answer{0}, Quote, Lit{" src"}, ValueOpen, Answer{1}, Quote, Lit{" volume"}, ValueOpen, Answer{2}, Quote,
      Lit{" loop"}, ValueOpen, Answer{3}, Quote, Lit{" hidden"}, ValueOpen, Answer{4}, Quote, Lit{" autostart"}, ValueOpen, Answer{5}, Quote,
      Lit{" width"}, ValueOpen, Answer{6}, ValueEnd}},
    {"movie",
     {{"Insert movie name or link", "Add Movie", "movie.mov"}},
     {Lit{"<embed src="}, Quote, Answer{0}, Quote, Lit{"></embed>"}}},
    {"link",
     {{"Insert the link", "Add Link", "http://"},
      {"Insert the text to link", "Add Link", "Click here to"}},
     {Lit{"<a href="}, Quote, Answer{0}, Quote, Lit{">"}, Answer{1}, Lit{"</a>"}}},
    {"marquee",
     {{"Insert the marquee direction!(right , left)", "Add Marquee", "right"},
      {"Insert Your Marquee behavior here (scroll , slide or alternate)", "Add Marquee", "alternate"},
      {"Insert Your Marquee Text Here", "Add Marquee", "My Sliding Marquee"}},
     {Lit{"<marquee direction="}, Quote, Answer{0}, Quote, Lit{" behavior="}, Quote, Answer{1}, Quote, Lit{">"}, Answer{2},
      Lit{"</marquee>"}}},
    {"email-link",
     {{"Insert your email", "Add Email Link", "someone@example.com"},
      {"Insert the text to the email link", "Add Email Link", "Click here to mail me!"}},
     {Lit{"<a href="}, Quote, Lit{"mailto:"}, Answer{0}, Quote, Lit{">"}, Answer{1}, Lit{"</a>"}}},
    {"blockquote", {}, {Lit{"<blockquote>"}, CrLf{}, CrLf{}, Lit{"</blockquote>"}, CrLf{}}},
    {"paragraph", {}, {Lit{"<p>"}, CrLf{}, CrLf{}, Lit{"</p>"}, CrLf{}}},
    {"line-break", {}, {Lit{"<br>"}, CrLf{}}},
    {"horizontal-line", {}, {Lit{"<hr>"}}},
    {"underlined-text",
     {{"Insert here the text to Underline", "Add Underlined Text", "your underline text"}},
     {Lit{"<u>"}, Answer{0}, Lit{"</u>"}}},
    {"italic-text",
     {{"Insert here the text to Italic", "Add Italic Text", "your italic text"}},
     {Lit{"<i>"}, Answer{0}, Lit{"</i>"}}},
    {"bold-text",
     {{"Insert here the text to Bold", "Add Bold Text", "your bold text"}},
     {Lit{"<b>"}, Answer{0}, Lit{"</b>"}}},
};
// clang-format on
} // namespace

std::span<const InsertCommand> insertMenuCommands() {
    return kInsertMenu;
}
