#include "insert_command.h"

namespace {
constexpr Field Q = Field::Text4;
constexpr Field EQ = Field::Text2;
constexpr Field END = Field::Text1;
const Prompt kPageTitle{"Insert the title to the page", "Add HTML Basics", "Untitled Page"};

// clang-format off
const std::vector<InsertCommand> kPages{
    {"newhtmlpagezz",
     {kPageTitle,
      {"Insert background color:", "Create HTML Body", "white"},
      {"Insert text color:", "Create HTML Body", "black"},
      {"Insert link color:", "Create HTML Body", "blue"},
      {"Insert visited link color:", "Create HTML Body", "gray"},
      {"Insert active link color:", "Create HTML Body", "red"},
      {"Insert page default font (example: verdana, times, etc):", "Create HTML Body", "verdana"},
      {"Insert default font size:", "Create HTML Body", "8"}},
     {Lit{"<html>"}, CrLf{}, Lit{"<head>"}, CrLf{}, Field::Text5, CrLf{}, Lit{"<title>"}, Answer{0}, Lit{"</title>"},
      CrLf{}, Lit{"</head>"}, CrLf{}, Lit{"<body bgcolor"}, EQ, Answer{1}, Q, Lit{" text"}, EQ, Answer{2}, Q,
      Lit{" link"}, EQ, Answer{3}, Q, Lit{" vlink"}, EQ, Answer{4}, Q, Lit{" alink"}, EQ, Answer{5}, Q,
      Lit{" style"}, EQ, Lit{"font-family: "}, Answer{6}, Lit{"; font-size: "}, Answer{7}, Lit{"pt"}, END,
      CrLf{}, CrLf{}, Lit{"</body>"}, CrLf{}, Lit{"</html>"}}},
    {"basicz",
     {kPageTitle},
     {Lit{"<HTML>"}, CrLf{}, Lit{"<HEAD>"}, CrLf{}, Field::Text5, CrLf{}, Lit{"<TITLE>"}, Answer{0}, Lit{"</TITLE>"},
      CrLf{}, Lit{"</HEAD>"}, CrLf{}, Lit{"<BODY>"}, CrLf{}, WholeText{}, CrLf{}, Lit{"</BODY>"}, CrLf{},
      Lit{"</HTML>"}}},
};
// clang-format on
} // namespace

std::span<const InsertCommand> pageTemplates() {
    return kPages;
}
