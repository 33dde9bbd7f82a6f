#include "insert_command.h"

namespace {
const Prompt kBorder{"Insert border size (0 = to no border) :", "Add Table", "0"};
const Prompt kWidth{"Insert width :", "Add Table", "400"};
const Prompt kHeight{"Insert height :", "Add Table", "100"};
const Prompt kAlign{"Align to (left , center or right) :", "Add Table", "center"};

// clang-format off
const std::vector<InsertCommand> kTables{
    {"table-open", {kBorder, kWidth, kHeight, kAlign},
     {Lit{"<table border"}, ValueOpen, Answer{0}, Quote, Lit{" width"}, ValueOpen, Answer{1}, Quote, Lit{" height"}, ValueOpen, Answer{2}, Quote,
      Lit{" align"}, ValueOpen, Answer{3}, ValueEnd}},
    {"table-open-bgcolor", {kBorder, {"Insert background color :", "Add Table", "gray"}, kWidth, kHeight, kAlign},
     {Lit{"<table border"}, ValueOpen, Answer{0}, Quote, Lit{" bgcolor"}, ValueOpen, Answer{1}, Quote, Lit{" width"}, ValueOpen, Answer{2}, Quote,
      Lit{" height"}, ValueOpen, Answer{3}, Quote, Lit{" align"}, ValueOpen, Answer{4}, ValueEnd}},
    {"table-open-bgimage", {kBorder, {"Insert background image :", "Add Table", "image.jpg"}, kWidth, kHeight, kAlign},
     {Lit{"<table border"}, ValueOpen, Answer{0}, Quote, Lit{" background"}, ValueOpen, Answer{1}, Quote, Lit{" width"}, ValueOpen, Answer{2}, Quote,
      Lit{" height"}, ValueOpen, Answer{3}, Quote, Lit{" align"}, ValueOpen, Answer{4}, ValueEnd}},
    {"table-close", {}, {Lit{"</table>"}}},
    {"table-row",
     {{"Insert row color :", "Add Table Row", "white"},
      {"Align to (left , center or right) :", "Add Table Row", "center"}},
     {Lit{"<tr bgcolor"}, ValueOpen, Answer{0}, Quote, Lit{" align"}, ValueOpen, Answer{1}, ValueEnd, CrLf{}, CrLf{}, Lit{"</tr>"}}},
    {"table-cell",
     {{"Insert cell color :", "Add Table Cell", "white"},
      {"Align to (left , center or right) :", "Add Table Cell", "center"}},
     {Lit{"<td bgcolor"}, ValueOpen, Answer{0}, Quote, Lit{" align"}, ValueOpen, Answer{1}, ValueEnd, Lit{"</td>"}}},
};
// clang-format on
} // namespace

std::span<const InsertCommand> tableCommands() {
    return kTables;
}
