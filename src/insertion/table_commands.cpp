#include "insert_command.h"

namespace {
constexpr Field Q = Field::Text4;
constexpr Field EQ = Field::Text2;
constexpr Field END = Field::Text1;

const Prompt kBorder{"Insert border size (0 = to no border) :", "Add Table", "0"};
const Prompt kWidth{"Insert width :", "Add Table", "400"};
const Prompt kHeight{"Insert height :", "Add Table", "100"};
const Prompt kAlign{"Align to (left , center or right) :", "Add Table", "center"};

// clang-format off
const std::vector<InsertCommand> kTables{
    {"normazzz", {kBorder, kWidth, kHeight, kAlign},
     {Lit{"<table border"}, EQ, Answer{0}, Q, Lit{" width"}, EQ, Answer{1}, Q, Lit{" height"}, EQ, Answer{2}, Q,
      Lit{" align"}, EQ, Answer{3}, END}},
    {"withbgcolorz", {kBorder, {"Insert background color :", "Add Table", "gray"}, kWidth, kHeight, kAlign},
     {Lit{"<table border"}, EQ, Answer{0}, Q, Lit{" bgcolor"}, EQ, Answer{1}, Q, Lit{" width"}, EQ, Answer{2}, Q,
      Lit{" height"}, EQ, Answer{3}, Q, Lit{" align"}, EQ, Answer{4}, END}},
    {"withbgimgz", {kBorder, {"Insert background image :", "Add Table", "image.jpg"}, kWidth, kHeight, kAlign},
     {Lit{"<table border"}, EQ, Answer{0}, Q, Lit{" background"}, EQ, Answer{1}, Q, Lit{" width"}, EQ, Answer{2}, Q,
      Lit{" height"}, EQ, Answer{3}, Q, Lit{" align"}, EQ, Answer{4}, END}},
    {"closetablez", {}, {Lit{"</table>"}}},
    {"addrowz",
     {{"Insert row color :", "Add Table Row", "white"},
      {"Align to (left , center or right) :", "Add Table Row", "center"}},
     {Lit{"<tr bgcolor"}, EQ, Answer{0}, Q, Lit{" align"}, EQ, Answer{1}, END, CrLf{}, CrLf{}, Lit{"</tr>"}}},
    {"addcellz",
     {{"Insert cell color :", "Add Table Cell", "white"},
      {"Align to (left , center or right) :", "Add Table Cell", "center"}},
     {Lit{"<td bgcolor"}, EQ, Answer{0}, Q, Lit{" align"}, EQ, Answer{1}, END, Lit{"</td>"}}},
};
// clang-format on
} // namespace

std::span<const InsertCommand> tableCommands() {
    return kTables;
}
