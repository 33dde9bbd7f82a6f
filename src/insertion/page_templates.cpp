#include "insert_command.h"

namespace {
const Prompt kPageTitle{"Insert the title to the page", "Add HTML Basics", "Untitled Page"};

// clang-format off
const std::vector<InsertCommand> kPages{
    {"html-page",
     {kPageTitle,
      {"Insert background color:", "Create HTML Body", "white"},
      {"Insert text color:", "Create HTML Body", "black"},
      {"Insert link color:", "Create HTML Body", "blue"},
      {"Insert visited link color:", "Create HTML Body", "gray"},
      {"Insert active link color:", "Create HTML Body", "red"},
      {"Insert page default font (example: verdana, times, etc):", "Create HTML Body", "verdana"},
      {"Insert default font size:", "Create HTML Body", "8"}},
     {Lit{"<html>"}, CrLf{}, Lit{"<head>"}, CrLf{}, Lit{markup::kGeneratorMeta}, CrLf{}, Lit{"<title>"}, Answer{0}, Lit{"</title>"},
      CrLf{}, Lit{"</head>"}, CrLf{}, Lit{"<body bgcolor"}, ValueOpen, Answer{1}, Quote, Lit{" text"}, ValueOpen, Answer{2}, Quote,
      Lit{" link"}, ValueOpen, Answer{3}, Quote, Lit{" vlink"}, ValueOpen, Answer{4}, Quote, Lit{" alink"}, ValueOpen, Answer{5}, Quote,
      Lit{" style"}, ValueOpen, Lit{"font-family: "}, Answer{6}, Lit{"; font-size: "}, Answer{7}, Lit{"pt"}, ValueEnd,
      CrLf{}, CrLf{}, Lit{"</body>"}, CrLf{}, Lit{"</html>"}}},
    {"page-basics",
     {kPageTitle},
     {Lit{"<HTML>"}, CrLf{}, Lit{"<HEAD>"}, CrLf{}, Lit{markup::kGeneratorMeta}, CrLf{}, Lit{"<TITLE>"}, Answer{0}, Lit{"</TITLE>"},
      CrLf{}, Lit{"</HEAD>"}, CrLf{}, Lit{"<BODY>"}, CrLf{}, WholeText{}, CrLf{}, Lit{"</BODY>"}, CrLf{},
      Lit{"</HTML>"}}},
        {"html5-page",
     {{"Language of the page (for example en, fr or pt-BR):", "HTML5 Page", "en"},
      {"Title of the page:", "HTML5 Page", "Untitled Page"},
      {"Stylesheet to link:", "HTML5 Page", "style.css"}},
     {Lit{"<!DOCTYPE html>"}, CrLf{}, Lit{"<html lang=\""}, Escaped{0}, Lit{"\">"}, CrLf{}, Lit{"<head>"}, CrLf{},
      Lit{"<meta charset=\"utf-8\">"}, CrLf{}, Lit{"<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"}, CrLf{},
      Lit{"<title>"}, Escaped{1}, Lit{"</title>"}, CrLf{}, Lit{"<link rel=\"stylesheet\" href=\""}, Escaped{2}, Lit{"\">"}, CrLf{},
      Lit{"</head>"}, CrLf{}, Lit{"<body>"}, CrLf{}, Caret{}, WholeText{}, CrLf{}, Lit{"</body>"}, CrLf{}, Lit{"</html>"}},
     true},
};
// clang-format on
} // namespace

std::span<const InsertCommand> pageTemplates() {
    return kPages;
}
