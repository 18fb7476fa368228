// How every mode of the helper reports: JSON objects, one a line, UTF-8, on standard output.
#pragma once

#include <string>

namespace helper {

// A JSON string literal, quotes included, of a Windows (UTF-16) text.
std::string JsonString(const std::wstring& text);
const char* JsonBool(bool value);

// One line on standard output, written at once and unbuffered.
void EmitLine(const std::string& line);

}  // namespace helper
