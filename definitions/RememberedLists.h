#pragma once
// The texts of the remembered operators, models and serial numbers, as the report information
// dialog takes them and the settings file gives them back: without the blanks around them, so
// "M-100 " is the entry "M-100", and a text of blanks only is empty (no entry at all).

#include <string>
#include <string_view>

namespace definitions {

// The text without blanks at either end: spaces, tabs and the other white space of Unicode
// (a no-break space pasted with a name). UTF-8 in and out.
std::string ListEntryText(std::string_view text);

} // namespace definitions
