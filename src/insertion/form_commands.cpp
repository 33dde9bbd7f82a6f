#include "insert_command.h"

namespace {
constexpr Field Q = Field::Text4;
constexpr Field EQ = Field::Text2;
constexpr Field END = Field::Text1;

// clang-format off
const std::vector<InsertCommand> kForms{
    {"addformz",
     {{"Insert form name:", "Add Form", "myform"},
      {"Insert action:", "Add Form", "html_form_action.asp"},
      {"Insert method (get or post):", "Add Form", "post"}},
     {Lit{"<form name"}, EQ, Answer{0}, Q, Lit{" action"}, EQ, Answer{1}, Q, Lit{" method"}, EQ, Answer{2}, Q,
      Lit{" enctype"}, EQ, Lit{"text/plain"}, END}},
    {"closeformz", {}, {Lit{"</form>"}}},
    {"addtextboxformz",
     {{"Insert the input type (you can use: text , hidden or password):", "Add Form", "text"},
      {"Insert textbox name:", "Add Input Text Box", "textbox"},
      {"Insert default value:", "Add Input Text Box", "Fill This Please"}},
     {Lit{"<input type"}, EQ, Answer{0}, Q, Lit{" name"}, EQ, Answer{1}, Q, Lit{" value"}, EQ, Answer{2}, Q,
      Lit{"/>"}}},
    {"addbuttonformz",
     {{"Insert button type (use Button , Submit or Reset):", "Add Button", "Submit"},
      {"Insert button label:", "Add Button", "Submit"}},
     {Lit{"<input type"}, EQ, Answer{0}, Q, Lit{" value"}, EQ, Answer{1}, Q, Lit{"/>"}}},
    {"addtextareaz",
     {{"Insert number of rows:", "Add Text Area", "10"},
      {"Insert number of cols:", "Add Text Area", "30"},
      {"Insert textbox name:", "Add Text Area", "textarea"},
      {"Wrap text? (true or false):", "Add Text Area", "true"},
      {"Insert default text:", "Add Text Area", "This is a text area for forms!"}},
     {Lit{"<textarea rows"}, EQ, Answer{0}, Q, Lit{" cols"}, EQ, Answer{1}, Q, Lit{" name"}, EQ, Answer{2}, Q,
      Lit{" wrap"}, EQ, Answer{3}, END, Answer{4}, Lit{" </textarea>"}}},
    {"addcheckboxz",
     {{"Insert name for checkbox:", "Add Checkbox", "mycheckbox"},
      {"Insert value:", "Add Checkbox", "MyCheckBox"}},
     {Lit{"<input type"}, EQ, Lit{"checkbox"}, Q, Lit{" name"}, EQ, Answer{0}, Q, Lit{" value"}, EQ, Answer{1}, END}},
    {"addradizbuttonz",
     {{"Insert name for radio:", "Add Radio", "myradio"},
      {"Insert value:", "Add Radio", "MyRadio"}},
     {Lit{"<input type"}, EQ, Lit{"radio"}, Q, Lit{" name"}, EQ, Answer{0}, Q, Lit{" value"}, EQ, Answer{1}, END}},
    {"startdropdownbox",
     {{"Insert name for dropdown box:", "Add Dropdown Box", "mydropdownbox"}},
     {Lit{"<select"}, Lit{" name"}, EQ, Answer{0}, END}},
    {"addoptionsdropdownbox",
     {{"Insert value for option on dropdown:", "Add Option for Dropdown Box", "mydropdownboxoption"},
      {"Insert text for option on dropdown:", "Add Option for Dropdown Box", "mydropdownboxoptiontext"}},
     {Lit{"<option value"}, EQ, Answer{0}, END, Answer{1}, Lit{"</option>"}}},
    {"enddropdownboxz", {}, {Lit{"</select>"}}},
};
// clang-format on
} // namespace

std::span<const InsertCommand> formCommands() {
    return kForms;
}
