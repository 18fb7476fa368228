#include "platform/machine_lock.h"

#include <windows.h>
#include <sddl.h>

#include "platform/win32_handles.h"

namespace platform {
namespace {

// Full access for SYSTEM and the Administrators group, nothing for anyone else: a deployment tool's
// SYSTEM run and an elevated user's run take the same lock, and a user's process can neither hold it
// nor open it. Without a descriptor of its own the mutex would carry its creator's default DACL,
// which from SYSTEM grants Administrators too little to take it.
const wchar_t kAdministratorsAndSystemOnly[] = L"D:(A;;GA;;;SY)(A;;GA;;;BA)";

// Looked up at run time: Windows 2000 is not listed among the systems that have it. Where it is
// missing the mutex gets the default descriptor, as every object did there.
using StringToDescriptorFunction = decltype(&ConvertStringSecurityDescriptorToSecurityDescriptorW);

}  // namespace

MachineLock::~MachineLock() { Release(); }

void MachineLock::Release()
{
    if (handle_ == nullptr) return;
    ReleaseMutex(static_cast<HANDLE>(handle_));
    CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
}

uint32_t MachineLock::TryTake(const wchar_t* name)
{
    Release();
    LocalMemory descriptor;
    const auto toDescriptor = ExportOf<StringToDescriptorFunction>(
        GetModuleHandleW(L"advapi32.dll"), "ConvertStringSecurityDescriptorToSecurityDescriptorW");
    if (toDescriptor != nullptr &&
        !toDescriptor(kAdministratorsAndSystemOnly, SDDL_REVISION_1, descriptor.Receive(), nullptr)) {
        return LastErrorOr(ERROR_INVALID_SECURITY_DESCR);
    }
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor.Get(), FALSE};
    KernelHandle mutex(CreateMutexW(&attributes, FALSE, name));
    if (mutex.Get() == nullptr) return LastErrorOr(ERROR_INVALID_HANDLE);
    switch (WaitForSingleObject(mutex.Get(), 0)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:  // its last holder ended without releasing it: the lock is this process's now
        break;
    case WAIT_TIMEOUT:
        return kLockHeldElsewhere;
    default:
        return LastErrorOr(ERROR_INVALID_HANDLE);
    }
    handle_ = mutex.Detach();
    return ERROR_SUCCESS;
}

}  // namespace platform
