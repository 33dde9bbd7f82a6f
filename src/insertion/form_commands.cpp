#include "insert_command.h"

namespace {
// clang-format off
const std::vector<InsertCommand> kForms{
    {"form-open",
     {{"Insert form name:", "Add Form", "myform"},
      {"Insert action:", "Add Form", "html_form_action.asp"},
      {"Insert method (get or post):", "Add Form", "post"}},
     {Lit{"<form name"}, ValueOpen, Answer{0}, Quote, Lit{" action"}, ValueOpen, Answer{1}, Quote, Lit{" method"}, ValueOpen, Answer{2}, Quote,
      Lit{" enctype"}, ValueOpen, Lit{"text/plain"}, ValueEnd}},
    {"form-close", {}, {Lit{"</form>"}}},
    {"text-box",
     {{"Insert the input type (you can use: text , hidden or password):", "Add Form", "text"},
      {"Insert textbox name:", "Add Input Text Box", "textbox"},
      {"Insert default value:", "Add Input Text Box", "Fill This Please"}},
     {Lit{"<input type"}, ValueOpen, Answer{0}, Quote, Lit{" name"}, ValueOpen, Answer{1}, Quote, Lit{" value"}, ValueOpen, Answer{2}, Quote,
      Lit{"/>"}}},
    {"button",
     {{"Insert button type (use Button , Submit or Reset):", "Add Button", "Submit"},
      {"Insert button label:", "Add Button", "Submit"}},
     {Lit{"<input type"}, ValueOpen, Answer{0}, Quote, Lit{" value"}, ValueOpen, Answer{1}, Quote, Lit{"/>"}}},
    {"text-area",
     {{"Insert number of rows:", "Add Text Area", "10"},
      {"Insert number of cols:", "Add Text Area", "30"},
      {"Insert textbox name:", "Add Text Area", "textarea"},
      {"Wrap text? (true or false):", "Add Text Area", "true"},
      {"Insert default text:", "Add Text Area", "This is a text area for forms!"}},
     {Lit{"<textarea rows"}, ValueOpen, Answer{0}, Quote, Lit{" cols"}, ValueOpen, Answer{1}, Quote, Lit{" name"}, ValueOpen, Answer{2}, Quote,
      Lit{" wrap"}, ValueOpen, Answer{3}, ValueEnd, Answer{4}, Lit{" </textarea>"}}},
    {"checkbox",
     {{"Insert name for checkbox:", "Add Checkbox", "mycheckbox"},
      {"Insert value:", "Add Checkbox", "MyCheckBox"}},
     {Lit{"<input type"}, ValueOpen, Lit{"checkbox"}, Quote, Lit{" name"}, ValueOpen, Answer{0}, Quote, Lit{" value"}, ValueOpen, Answer{1}, ValueEnd}},
    {"radio-button",
     {{"Insert name for radio:", "Add Radio", "myradio"},
      {"Insert value:", "Add Radio", "MyRadio"}},
     {Lit{"<input type"}, ValueOpen, Lit{"radio"}, Quote, Lit{" name"}, ValueOpen, Answer{0}, Quote, Lit{" value"}, ValueOpen, Answer{1}, ValueEnd}},
    {"drop-down-open",
     {{"Insert name for dropdown box:", "Add Dropdown Box", "mydropdownbox"}},
     {Lit{"<select"}, Lit{" name"}, ValueOpen, Answer{0}, ValueEnd}},
    {"drop-down-option",
     {{"Insert value for option on dropdown:", "Add Option for Dropdown Box", "mydropdownboxoption"},
      {"Insert text for option on dropdown:", "Add Option for Dropdown Box", "mydropdownboxoptiontext"}},
     {Lit{"<option value"}, ValueOpen, Answer{0}, ValueEnd, Answer{1}, Lit{"</option>"}}},
    {"drop-down-close", {}, {Lit{"</select>"}}},
};
// clang-format on
} // namespace

std::span<const InsertCommand> formCommands() {
    return kForms;
}
