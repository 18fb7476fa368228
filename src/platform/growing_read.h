// Reading a Windows value of unknown length into a buffer that grows until the value fits.
#pragma once

#include <cstddef>
#include <string>

namespace platform {

// `read(buffer, size)` fills at most `size` characters and returns the length written; a result of
// `size` or more means the value was cut (GetModuleFileNameW on XP then leaves no NUL, on later
// systems it also sets ERROR_INSUFFICIENT_BUFFER). Returns the whole value, or an empty text when
// the read fails (0) or the value would exceed `limit` characters.
template <typename Read>
std::wstring ReadGrowing(Read read, size_t initialSize, size_t limit)
{
    std::wstring buffer(initialSize, L'\0');
    for (;;) {
        const size_t length = read(&buffer[0], buffer.size());
        if (length == 0) return std::wstring();
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        if (buffer.size() >= limit) return std::wstring();
        buffer.resize(buffer.size() * 2 < limit ? buffer.size() * 2 : limit);
    }
}

}  // namespace platform
