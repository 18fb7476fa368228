#include "base/text.h"

namespace {

wchar_t FoldAscii(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

}  // namespace

bool EqualsIgnoringAsciiCase(const std::wstring& a, const wchar_t* b)
{
    size_t i = 0;
    for (; i < a.size(); ++i) {
        if (b[i] == L'\0' || FoldAscii(a[i]) != FoldAscii(b[i])) return false;
    }
    return b[i] == L'\0';
}

bool Contains(const std::wstring& text, const wchar_t* part) { return text.find(part) != std::wstring::npos; }

std::wstring ToDecimal(uint32_t value)
{
    wchar_t digits[10];
    size_t count = 0;
    do {
        digits[count++] = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    std::wstring text;
    while (count > 0) text += digits[--count];
    return text;
}

std::wstring FillPlaceholders(const std::wstring& format, const std::wstring* values, size_t count)
{
    std::wstring text;
    size_t used = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == L'%' && i + 1 < format.size() && format[i + 1] == L's' && used < count) {
            text += values[used++];
            ++i;
        } else {
            text += format[i];
        }
    }
    return text;
}

std::wstring FileNameOf(const std::wstring& path)
{
    const size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring DirectoryOf(const std::wstring& path)
{
    const size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

bool IsAbsolutePath(const std::wstring& path)
{
    const auto isSeparator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    const auto isDriveLetter = [](wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); };
    if (path.size() >= 3 && isDriveLetter(path[0]) && path[1] == L':' && isSeparator(path[2])) return true;
    return path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1]);
}

void TrimAtNul(std::wstring& text)
{
    const size_t nul = text.find(L'\0');
    if (nul != std::wstring::npos) text.resize(nul);
}
