// The squat mode: a user's process that makes the plug-in's installation lock before any installing
// run does, under a descriptor of its own, and holds it.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <string>

#include "helper.h"
#include "platform/win32_handles.h"

namespace helper {
namespace {

// The owner of the object behind `handle` as an "S-1-..." string, or why it cannot be read.
std::wstring OwnerOf(HANDLE handle) {
    PSID owner = nullptr;
    platform::LocalMemory descriptor;
    if (GetSecurityInfo(handle, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        descriptor.Receive()) != ERROR_SUCCESS || owner == nullptr)
        return L"(unreadable)";
    platform::LocalMemory text;
    if (!ConvertSidToStringSidW(owner, reinterpret_cast<LPWSTR*>(text.Receive()))) return L"(unreadable)";
    return static_cast<const wchar_t*>(text.Get());
}

}  // namespace

int Squat(const wchar_t* name, const wchar_t* sddl, DWORD seconds) {
    platform::LocalMemory descriptor;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, descriptor.Receive(), nullptr)) {
        EmitLine("{\"error\": \"the descriptor does not convert\", \"code\": " + std::to_string(GetLastError()) + "}");
        return 2;
    }
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor.Get(), FALSE};
    SetLastError(ERROR_SUCCESS);
    const platform::KernelHandle mutex(CreateMutexW(&attributes, TRUE, name));
    const DWORD created = GetLastError();
    if (mutex.Get() == nullptr || created == ERROR_ALREADY_EXISTS) {
        EmitLine("{\"error\": \"the name was not made here\", \"code\": " + std::to_string(created) + "}");
        return 2;
    }
    EmitLine("{\"squatted\": " + JsonString(name) + ", \"owner\": " + JsonString(OwnerOf(mutex.Get())) + "}");
    Sleep(seconds * 1000);
    return 0;
}

}  // namespace helper
