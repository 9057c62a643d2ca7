#pragma once
// How the main window's fields and controls read as text for the scenario harness and tests.

#include <cstdint>
#include <string>

class QWidget;

// A text between double quotes on one line: \n, \t, \r, \\, \" and other control characters
// escaped; bytes from 0x80 (UTF-8) pass as they are.
std::string QuoteText(const std::string& text);

// A colour value as the program keeps it, 0x00BBGGRR or a system colour 0xFF0000nn.
std::string ColourText(uint32_t colour);

// A control's caption and states as `show` prints them; visibility is taken within top.
std::string DescribeControl(const QWidget* widget, const QWidget* top);
