#pragma once

#include <string>

namespace sundra::synclib {

// The journal shows every code unit of a text: printable ASCII as it is, "\\" for a backslash,
// "\n", "\r", "\t", "\xNN" for other units below 0x100 and "\uNNNN" above. One record stays on
// one line, so a test can compare a request byte for byte.
std::string EscapeForJournal(const std::u16string& text);

// The scenario's texts use the same escapes; any other byte stands for the code unit of its
// value (0x00..0xFF).
std::u16string UnescapeScenarioText(const std::string& text);

// Characters special to XML written as references, for the texts the service puts into its
// documents.
std::u16string EscapeXml(const std::u16string& text);

std::u16string AsciiToU16(const std::string& text);

}  // namespace sundra::synclib
