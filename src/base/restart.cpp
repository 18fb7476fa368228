#include "base/restart.h"

#include "base/result_codes.h"
#include "platform/registry.h"
#include "platform/system.h"

namespace {

const wchar_t kMarkerPath[] = L"Software\\NeedBstrReboot";
const wchar_t kMarkerParent[] = L"Software";
const wchar_t kMarkerName[] = L"NeedBstrReboot";

}  // namespace

uint32_t SetRestartMarker() { return platform::CreateUserKey(kMarkerPath); }

bool RestartMarkerExists() { return platform::UserKeyExists(kMarkerPath); }

uint32_t ClearRestartMarker()
{
    const uint32_t deleted = platform::DeleteUserSubkey(kMarkerParent, kMarkerName);
    return deleted == kFileNotFound ? kSuccess : deleted;
}

bool RestartComputer() { return platform::RestartWindows(); }
