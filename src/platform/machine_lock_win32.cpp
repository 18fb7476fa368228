#include "platform/machine_lock.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include "platform/win32_handles.h"

namespace platform {
namespace {

// Owned by the Administrators group; full access for SYSTEM and Administrators, nothing for anyone
// else: a deployment tool's SYSTEM run and an elevated user's run take the same lock, and a user's
// process can neither hold it nor open it. Windows names a group the owner of a new object only for a
// token that holds the group with SE_GROUP_OWNER (not for deny only), or SeRestorePrivilege: SYSTEM
// and an elevated administrator do, a standard user and an administrator's filtered token do not.
// The owner is written out rather than left to the token's default, which for an administrator on
// XP and 2003 is a policy setting (the user on XP unless changed).
const wchar_t kLockDescriptor[] = L"O:BAD:(A;;GA;;;SY)(A;;GA;;;BA)";

// Windows 2000 has it, but today's documentation names XP as the oldest system: looked up at run
// time, which costs nothing. Where it is missing the mutex gets the default descriptor, whose owner
// is then the token's default.
using StringToDescriptorFunction = decltype(&ConvertStringSecurityDescriptorToSecurityDescriptorW);

// The owners an installing run's lock can have, as SID structures: Administrators (S-1-5-32-544),
// and SYSTEM (S-1-5-18) for a lock made with the default descriptor.
struct WellKnownSid {
    BYTE revision;
    BYTE subAuthorityCount;
    SID_IDENTIFIER_AUTHORITY authority;
    DWORD subAuthority[2];
};
const WellKnownSid kInstallingOwners[] = {
    {SID_REVISION, 2, SECURITY_NT_AUTHORITY, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS}},
    {SID_REVISION, 1, SECURITY_NT_AUTHORITY, {SECURITY_LOCAL_SYSTEM_RID, 0}},
};

// 0 when the object behind `mutex` was made by an installing run (its owner is one of
// kInstallingOwners), kLockMadeByAnother when it was not, or the error that kept its owner unread.
uint32_t CheckMadeByInstallingRun(HANDLE mutex)
{
    PSID owner = nullptr;
    LocalMemory descriptor;
    const DWORD error = GetSecurityInfo(mutex, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr,
                                        nullptr, nullptr, descriptor.Receive());
    if (error != ERROR_SUCCESS) return error;
    if (owner == nullptr) return kLockMadeByAnother;
    for (const WellKnownSid& installing : kInstallingOwners) {
        if (EqualSid(owner, const_cast<WellKnownSid*>(&installing))) return ERROR_SUCCESS;
    }
    return kLockMadeByAnother;
}

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
    if (toDescriptor != nullptr && !toDescriptor(kLockDescriptor, SDDL_REVISION_1, descriptor.Receive(), nullptr)) {
        return LastErrorOr(ERROR_INVALID_SECURITY_DESCR);
    }
    SECURITY_ATTRIBUTES attributes = {sizeof(attributes), descriptor.Get(), FALSE};
    SetLastError(ERROR_SUCCESS);
    KernelHandle mutex(CreateMutexW(&attributes, FALSE, name));
    if (mutex.Get() == nullptr) return LastErrorOr(ERROR_INVALID_HANDLE);
    // An existing object kept its own descriptor: whoever made it first decides whether it is obeyed.
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        const uint32_t made = CheckMadeByInstallingRun(mutex.Get());
        if (made != ERROR_SUCCESS) return made;
    }
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
