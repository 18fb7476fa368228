// Keys under HKEY_CURRENT_USER, always in the 32-bit registry view.
#pragma once

#include <cstdint>

#include "platform/system.h"

namespace platform {

// Creates the key if it is missing (an existing key is simply opened), then closes it.
// Returns 0 or the registry error.
uint32_t CreateUserKey(const wchar_t* path);

// True when the key can be opened for reading.
bool UserKeyExists(const wchar_t* path);

// Deletes the subkey `name` of the key `parent`. Returns 0 or the registry error.
uint32_t DeleteUserSubkey(const wchar_t* parent, const wchar_t* name);

// `rights` for a key of the 32-bit view. Only a process under WOW64 has two views to choose from,
// and Windows 2000 does not support KEY_WOW64_32KEY: the flag is added only under WOW64.
constexpr uint32_t kKeyWow64View32 = 0x0200;  // KEY_WOW64_32KEY
constexpr uint32_t In32BitView(uint32_t rights, ProcessArchitecture architecture)
{
    return architecture == ProcessArchitecture::X86OnWow64 ? rights | kKeyWow64View32 : rights;
}

}  // namespace platform
