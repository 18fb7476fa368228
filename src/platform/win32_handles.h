// RAII holders for the Win32 handles the platform layer opens. Windows-only.
#pragma once

#include <windows.h>

namespace platform {

// A kernel handle closed with CloseHandle; null and INVALID_HANDLE_VALUE mean "none".
class KernelHandle {
public:
    KernelHandle() = default;
    explicit KernelHandle(HANDLE handle) : handle_(handle) {}
    ~KernelHandle() { Reset(); }
    KernelHandle(const KernelHandle&) = delete;
    KernelHandle& operator=(const KernelHandle&) = delete;

    HANDLE Get() const { return handle_; }
    HANDLE* Receive() { Reset(); return &handle_; }
    // Hands the handle over to the caller, who closes it.
    HANDLE Detach()
    {
        const HANDLE handle = handle_;
        handle_ = nullptr;
        return handle;
    }
    void Reset()
    {
        if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
        handle_ = nullptr;
    }

private:
    HANDLE handle_ = nullptr;
};

// An open registry key, closed with RegCloseKey.
class RegistryKey {
public:
    RegistryKey() = default;
    ~RegistryKey() { if (key_ != nullptr) RegCloseKey(key_); }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    HKEY Get() const { return key_; }
    HKEY* Receive() { return &key_; }

private:
    HKEY key_ = nullptr;
};

// Memory Windows allocated for the caller, freed with LocalFree.
class LocalMemory {
public:
    LocalMemory() = default;
    ~LocalMemory() { if (memory_ != nullptr) LocalFree(memory_); }
    LocalMemory(const LocalMemory&) = delete;
    LocalMemory& operator=(const LocalMemory&) = delete;

    void* Get() const { return memory_; }
    void** Receive() { return &memory_; }

private:
    void* memory_ = nullptr;
};

// The export `name` of a loaded module as a `Function`, or null when there is no module or no such
// export: functions an older Windows lacks are looked up at run time, never imported.
template <typename Function>
Function ExportOf(HMODULE module, const char* name)
{
    if (module == nullptr) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// The thread's last error, or `fallback` when a failed call left none: a failure must never be
// passed up as 0, which callers read as success.
inline DWORD LastErrorOr(DWORD fallback)
{
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : fallback;
}

}  // namespace platform
