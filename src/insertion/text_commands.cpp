#include "insert_command.h"

namespace {
const Prompt kListItem{"Insert text to list", "Add Bullited List", "Listed text"};

// clang-format off
const std::vector<InsertCommand> kText{
    {"boldzz", {}, {Lit{"<b>"}, Selected{}, Lit{"</b>"}}},
    {"italiczz", {}, {Lit{"<i>"}, Selected{}, Lit{"</i>"}}},
    {"underlinezz", {}, {Lit{"<u>"}, Selected{}, Lit{"</u>"}}},
    {"strikez", {}, {Lit{"<s>"}, Selected{}, Lit{"</s>"}}},
    {"citationz", {}, {Lit{"<cite>"}, Selected{}, Lit{"</cite>"}}},
    {"codez", {}, {Lit{"<code>"}, Selected{}, Lit{"</code>"}}},
    {"leftz", {}, {Lit{"<p align=left>"}, Selected{}, Lit{"</p>"}}},
    {"centerzz", {}, {Lit{"<p align=center>"}, Selected{}, Lit{"</p>"}}},
    {"rigth", {}, {Lit{"<p align=right>"}, Selected{}, Lit{"</p>"}}},
    {"opencreate", {}, {Lit{"<ol>"}}},
    {"addtexttolitz", {kListItem}, {Lit{"<li>"}, Answer{0}, Lit{"</li>"}}},
    {"closrlistwithnumbersz", {}, {Lit{"</ol>"}}},
    {"opencreatelistzxa", {}, {Lit{"<ul>"}}},
    {"adddtextlistzz", {kListItem}, {Lit{"<li>"}, Answer{0}, Lit{"</li>"}}},
    {"closelistzzz", {}, {Lit{"</ul>"}}},
    {"break2z", {}, {Lit{"<br>"}, CrLf{}}},
    {"paragraph2z", {}, {Lit{"<p>"}, CrLf{}, CrLf{}, Lit{"</p>"}, CrLf{}}},
    {"blockquote2z", {}, {Lit{"<blockquote>"}, CrLf{}, CrLf{}, Lit{"</blockquote>"}, CrLf{}}},
};
// clang-format on
} // namespace

std::span<const InsertCommand> textCommands() {
    return kText;
}
