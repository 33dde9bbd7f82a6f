#include "insert_command.h"

namespace {
const Prompt kListItem{"Insert text to list", "Add Bullited List", "Listed text"};

// clang-format off
const std::vector<InsertCommand> kText{
    {"wrap-bold", {}, {Lit{"<b>"}, Selected{}, Lit{"</b>"}}},
    {"wrap-italic", {}, {Lit{"<i>"}, Selected{}, Lit{"</i>"}}},
    {"wrap-underline", {}, {Lit{"<u>"}, Selected{}, Lit{"</u>"}}},
    {"wrap-strike", {}, {Lit{"<s>"}, Selected{}, Lit{"</s>"}}},
    {"wrap-citation", {}, {Lit{"<cite>"}, Selected{}, Lit{"</cite>"}}},
    {"wrap-code", {}, {Lit{"<code>"}, Selected{}, Lit{"</code>"}}},
    {"align-left", {}, {Lit{"<p align=left>"}, Selected{}, Lit{"</p>"}}},
    {"align-center", {}, {Lit{"<p align=center>"}, Selected{}, Lit{"</p>"}}},
    {"align-right", {}, {Lit{"<p align=right>"}, Selected{}, Lit{"</p>"}}},
    {"numbered-list-open", {}, {Lit{"<ol>"}}},
    {"list-item", {kListItem}, {Lit{"<li>"}, Answer{0}, Lit{"</li>"}}},
    {"numbered-list-close", {}, {Lit{"</ol>"}}},
    {"bullet-list-open", {}, {Lit{"<ul>"}}},
    {"bullet-list-close", {}, {Lit{"</ul>"}}},
};
// clang-format on
} // namespace

std::span<const InsertCommand> textCommands() {
    return kText;
}
