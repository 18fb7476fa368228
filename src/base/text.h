// Small operations on wide strings that the C runtime would otherwise provide with locale,
// formatting and import baggage.
#pragma once

#include <cstdint>
#include <string>

// Compares folding the ASCII letters only, as the runtime's case-insensitive comparison does in
// the C locale.
bool EqualsIgnoringAsciiCase(const std::wstring& a, const wchar_t* b);

// Case-sensitive substring test.
bool Contains(const std::wstring& text, const wchar_t* part);

// The unsigned decimal form of `value`, as "%u" writes it.
std::wstring ToDecimal(uint32_t value);

// Replaces each "%s" of `format`, left to right, with the next of `values`; the values are data and
// are inserted as they stand, whatever they contain. A "%s" without a value is left as it is.
std::wstring FillPlaceholders(const std::wstring& format, const std::wstring* values, size_t count);

// The part after the last backslash (the whole text when there is none).
std::wstring FileNameOf(const std::wstring& path);

// Everything up to and including the last backslash (empty when there is none).
std::wstring DirectoryOf(const std::wstring& path);

// True for a path that names its drive and root ("C:\\...") or a network share ("\\\\server\\..."):
// one that does not depend on the current drive or directory.
bool IsAbsolutePath(const std::wstring& path);

// Cuts `text` at its first NUL: the length a Windows call left in a buffer.
void TrimAtNul(std::wstring& text);
