// Keys under HKEY_CURRENT_USER, always in the 32-bit registry view.
#pragma once

#include <cstdint>

namespace platform {

// Creates the key if it is missing (an existing key is simply opened), then closes it.
// Returns 0 or the registry error.
uint32_t CreateUserKey(const wchar_t* path);

// True when the key can be opened for reading.
bool UserKeyExists(const wchar_t* path);

// Deletes the subkey `name` of the key `parent`. Returns 0 or the registry error.
uint32_t DeleteUserSubkey(const wchar_t* parent, const wchar_t* name);

}  // namespace platform
