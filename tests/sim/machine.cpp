#include "sim/machine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <memory>

#include "base/result_codes.h"
#include "platform/dialog.h"
#include "platform/files.h"
#include "platform/machine_lock.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "res/resource.h"

namespace sim {
namespace {

constexpr uint32_t kPathNotFound = 3;
constexpr uint32_t kAccessDenied = 5;
constexpr uint32_t kInvalidHandle = 6;
constexpr uint32_t kInvalidParameter = 87;
constexpr uint32_t kNoMoreItems = 259;
constexpr uint32_t kUnknownProduct = 1605;
constexpr uint32_t kPackageOpenFailed = 1619;
constexpr int kInstallStateInvalidArgument = -2;
constexpr uint32_t kMbYesNo = 0x4;

std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

bool SameText(const std::wstring& a, const std::wstring& b) { return Lower(a) == Lower(b); }

std::wstring ParentOf(const std::wstring& path)
{
    const size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring NameOf(const std::wstring& path)
{
    const size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

// The directory search's wildcards: "*" any run, "?" one character, case ignored.
bool MatchesMask(const std::wstring& name, size_t n, const std::wstring& mask, size_t m)
{
    if (m == mask.size()) return n == name.size();
    if (mask[m] == L'*') {
        for (size_t k = n; k <= name.size(); ++k) {
            if (MatchesMask(name, k, mask, m + 1)) return true;
        }
        return false;
    }
    if (n == name.size()) return false;
    if (mask[m] != L'?' && std::towlower(mask[m]) != std::towlower(name[n])) return false;
    return MatchesMask(name, n + 1, mask, m + 1);
}

std::wstring FromUtf8(const char* text)
{
    std::wstring result;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    while (*bytes != 0) {
        uint32_t c = *bytes++;
        int continuation = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (continuation > 0) c &= 0x3F >> continuation;
        while (continuation-- > 0 && *bytes != 0) c = (c << 6) | (*bytes++ & 0x3F);
        result += static_cast<wchar_t>(c);
    }
    return result;
}

struct CatalogueEntry {
    uint16_t id;
    const char* text;
};

const CatalogueEntry kCatalogue[] = {
#define MESSAGE(id, text) {id, text},
#include "res/messages.inc"
#undef MESSAGE
};

// Blocks of 16 counted strings, as the resource compiler lays out a string table.
// Laid out again only when the messages removed from it change.
const std::map<uint16_t, std::vector<uint16_t>>& StringBlocks()
{
    static std::map<uint16_t, std::vector<uint16_t>> blocks;
    static std::set<uint16_t> laidOutWithout = {0};
    if (laidOutWithout == machine().missingMessages) return blocks;
    laidOutWithout = machine().missingMessages;
    blocks.clear();
    std::map<uint16_t, std::wstring> texts;
    for (const CatalogueEntry& entry : kCatalogue) {
        if (machine().missingMessages.count(entry.id) == 0) texts[entry.id] = FromUtf8(entry.text);
    }
    std::set<uint16_t> blockIds;
    for (const auto& [id, text] : texts) blockIds.insert(static_cast<uint16_t>(id / 16 + 1));
    for (uint16_t blockId : blockIds) {
        std::vector<uint16_t>& block = blocks[blockId];
        for (uint16_t index = 0; index < 16; ++index) {
            const auto found = texts.find(static_cast<uint16_t>((blockId - 1) * 16 + index));
            const std::wstring text = found == texts.end() ? std::wstring() : found->second;
            block.push_back(static_cast<uint16_t>(text.size()));
            for (wchar_t c : text) block.push_back(static_cast<uint16_t>(c));
        }
    }
    return blocks;
}

const Machine::Entry* FindEntry(const std::wstring& path)
{
    for (const Machine::Entry& entry : machine().entries) {
        if (SameText(entry.path, path)) return &entry;
    }
    return nullptr;
}

bool IsDirectoryOnMachine(const std::wstring& path)
{
    const Machine::Entry* entry = FindEntry(path);
    return entry != nullptr && entry->isDirectory;
}

Product* FindProduct(const wchar_t* productCode)
{
    for (Product& product : machine().products) {
        if (product.productCode == productCode) return &product;
    }
    return nullptr;
}

std::map<platform::MsiHandleValue, std::wstring>& HandlePaths()
{
    static std::map<platform::MsiHandleValue, std::wstring> paths;
    return paths;
}

// Copies `value` as the Windows Installer functions do: the length needed without the NUL, and
// ERROR_MORE_DATA when the buffer cannot hold it with its NUL.
uint32_t CopyOut(const std::wstring& value, wchar_t* buffer, uint32_t& length)
{
    const uint32_t size = length;
    length = static_cast<uint32_t>(value.size());
    if (value.size() + 1 > size) return kMoreData;
    std::copy(value.begin(), value.end(), buffer);
    buffer[value.size()] = L'\0';
    return 0;
}

std::wstring LogNamedIn(const std::wstring& commandLine)
{
    const std::wstring marker = L"/Lv! \"";
    size_t start = commandLine.find(marker);
    if (start == std::wstring::npos) return std::wstring();
    start += marker.size();
    while (start < commandLine.size() && commandLine[start] == L'"') ++start;  // tripled quotes
    const size_t end = commandLine.find(L'"', start);
    return end == std::wstring::npos ? std::wstring() : commandLine.substr(start, end - start);
}

}  // namespace

Machine& machine()
{
    static Machine instance;
    return instance;
}

void Reset()
{
    machine() = Machine();
    HandlePaths().clear();
    machine().arguments = {machine().executablePath};
    machine().environment[L"TMP"] = L"C:\\Users\\admin\\AppData\\Local\\Temp";
    AddDirectory(machine().environment[L"TMP"]);
    AddDirectory(L"C:\\Layout");
    AddFile(machine().executablePath);
}

void AddDirectory(const std::wstring& path) { machine().entries.push_back({path, true}); }

void AddFile(const std::wstring& path) { machine().entries.push_back({path, false}); }

void AddPackage(const std::wstring& path, const std::wstring& productCode, const std::wstring& upgradeCode,
                const std::wstring& version, const std::wstring& name)
{
    AddFile(path);
    Package& package = machine().packages[Lower(path)];
    package.properties = {{L"ProductCode", productCode},
                          {L"UpgradeCode", upgradeCode},
                          {L"ProductVersion", version},
                          {L"ProductName", name}};
}

Package& PackageAt(const std::wstring& path) { return machine().packages.at(Lower(path)); }

bool FileExistsOnMachine(const std::wstring& path) { return FindEntry(path) != nullptr; }

void WriteToFile(const std::wstring& path)
{
    if (path.empty()) return;
    for (Machine::Entry& entry : machine().entries) {
        if (SameText(entry.path, path)) {
            entry.empty = false;
            return;
        }
    }
    AddFile(path);
}

Product& InstallProduct(const std::wstring& productCode, const std::wstring& upgradeCode, const std::wstring& version)
{
    Product product;
    product.productCode = productCode;
    product.upgradeCode = upgradeCode;
    product.versionString = version;
    product.featureStates[L"NPZAREL"] = 3;  // INSTALLSTATE_LOCAL
    machine().products.push_back(product);
    return machine().products.back();
}

bool Fails(const char* name, uint32_t& error)
{
    Faults& faults = machine().faults;
    faults.calls.push_back(name);
    const bool chosenByCount = faults.failAt != 0 && faults.calls.size() == faults.failAt;
    const bool chosenByName = !faults.failName.empty() && faults.failName == name &&
                              std::count(faults.calls.begin(), faults.calls.end(), name) == faults.occurrence;
    if (!chosenByCount && !chosenByName) return false;
    faults.failed = name;
    faults.boxesBefore = machine().boxes.size();
    error = faults.error;
    return true;
}

void FailCall(const char* name, uint32_t error, int occurrence)
{
    Faults& faults = machine().faults;
    faults.failName = name;
    faults.occurrence = static_cast<int>(std::count(faults.calls.begin(), faults.calls.end(), name)) + occurrence;
    faults.error = error;
}

void FailCallNumber(size_t k, uint32_t error)
{
    machine().faults.failAt = k;
    machine().faults.error = error;
}

bool EverythingClosed()
{
    return machine().openHandles.empty() && machine().openSearches == 0 && machine().heldFiles.empty() &&
           machine().heldLocks.empty() && machine().comEntered == 0;
}

bool MarkerExists() { return machine().registryKeys.count(L"software\\needbstrreboot") != 0; }

std::wstring CatalogueText(uint16_t id)
{
    for (const CatalogueEntry& entry : kCatalogue) {
        if (entry.id == id) return FromUtf8(entry.text);
    }
    return std::wstring();
}

}  // namespace sim

// ---------------------------------------------------------------------------------------------
// The platform layer, answered by the simulated machine.

namespace platform {

using sim::machine;

WindowHandle CreateOwnerWindow()
{
    uint32_t error = 0;
    if (sim::Fails("CreateWindowExW", error)) return nullptr;
    return reinterpret_cast<WindowHandle>(0x0B0C);
}

int ShowMessageBox(WindowHandle owner, const std::wstring& text, const std::wstring& caption, uint32_t style)
{
    uint32_t error = 0;
    if (sim::Fails("MessageBoxW", error)) {
        machine().boxes.push_back({owner, text, caption, style, false});
        return 0;
    }
    machine().boxes.push_back({owner, text, caption, style});
    if (!machine().answers.empty()) {
        const int answer = machine().answers.front();
        machine().answers.pop_front();
        return answer;
    }
    return (style & 0xF) == sim::kMbYesNo ? 6 : 1;
}

namespace {

// The block as the resource holds it, in memory of exactly its size: a read past its end is one past
// an allocation, which AddressSanitizer reports.
bool LookUpStringBlock(uint16_t blockId, StringBlock& block)
{
    static std::unique_ptr<uint16_t[]> current;
    const auto& blocks = sim::StringBlocks();
    const auto found = blocks.find(blockId);
    if (found == blocks.end()) return false;
    size_t length = found->second.size();
    const auto shortened = machine().shortenedBlocks.find(blockId);
    if (shortened != machine().shortenedBlocks.end()) length = std::min(shortened->second, length);
    current = std::make_unique<uint16_t[]>(length);
    std::copy(found->second.begin(), found->second.begin() + static_cast<std::ptrdiff_t>(length), current.get());
    block.data = current.get();
    block.length = length;
    return true;
}

}  // namespace

// The simulated table holds one language: both lookups find the same blocks.
bool FindNeutralStringBlock(uint16_t blockId, StringBlock& block)
{
    uint32_t error = 0;
    return !sim::Fails("FindResourceExW", error) && LookUpStringBlock(blockId, block);
}

bool FindStringBlock(uint16_t blockId, StringBlock& block)
{
    uint32_t error = 0;
    return !sim::Fails("FindResourceW", error) && LookUpStringBlock(blockId, block);
}

ProcessResult RunProcess(const std::wstring& commandLine)
{
    machine().commandLines.push_back(commandLine);
    machine().heldWhileRunning.push_back(machine().heldFiles);
    machine().locksWhileRunning.push_back(machine().heldLocks);
    uint32_t error = 0;
    if (sim::Fails("CreateProcessW", error)) return {error, ChildOutcome::NotStarted};
    if (machine().startError != 0) return {machine().startError, ChildOutcome::NotStarted};
    if (machine().childWritesLog) sim::WriteToFile(sim::LogNamedIn(commandLine));
    if (sim::Fails("WaitForSingleObject", error)) return {error, ChildOutcome::Lost};
    if (machine().exitCodes.empty()) return {0, ChildOutcome::Exited};
    const uint32_t code = machine().exitCodes.front();
    machine().exitCodes.pop_front();
    return {code, ChildOutcome::Exited};
}

uint32_t EnterComApartment()
{
    uint32_t error = 0;
    if (sim::Fails("CoInitializeEx", error)) return error;
    ++machine().comEntered;
    return 0;
}

void LeaveComApartment() { --machine().comEntered; }

uint32_t SetInstallerUiLevelNone()
{
    uint32_t error = 0;
    if (sim::Fails("MsiSetInternalUI", error)) return error;
    machine().installerUiDisabled = true;
    return 0;
}

uint32_t OpenMsiPackage(const wchar_t* path, uint32_t options, MsiHandleValue& handle)
{
    machine().openedPackages.push_back(path);
    if (machine().comEntered == 0) ++machine().packagesOpenedWithoutCom;
    uint32_t error = 0;
    if (sim::Fails("MsiOpenPackageExW", error)) return error;
    if (options != kOpenPackageIgnoreMachineState) return sim::kInvalidParameter;
    const auto found = machine().packages.find(sim::Lower(path));
    if (found == machine().packages.end() || !sim::FileExistsOnMachine(path)) return sim::kPackageOpenFailed;
    if (found->second.openError != 0) return found->second.openError;
    handle = machine().nextHandle++;
    machine().openHandles.insert(handle);
    sim::HandlePaths()[handle] = sim::Lower(path);
    return 0;
}

uint32_t GetMsiProperty(MsiHandleValue package, const wchar_t* name, wchar_t* buffer, uint32_t& length)
{
    uint32_t error = 0;
    if (sim::Fails("MsiGetPropertyW", error)) return error;
    if (machine().openHandles.count(package) == 0) return sim::kInvalidHandle;
    const sim::Package& opened = machine().packages.at(sim::HandlePaths().at(package));
    const auto scripted = opened.propertyErrors.find(name);
    if (scripted != opened.propertyErrors.end()) return scripted->second;
    const auto value = opened.properties.find(name);
    // An undefined property reads as an empty text, as Windows Installer answers.
    return sim::CopyOut(value == opened.properties.end() ? std::wstring() : value->second, buffer, length);
}

uint32_t GetMsiProductInfo(const wchar_t* productCode, const wchar_t* name, wchar_t* buffer, uint32_t& length)
{
    uint32_t error = 0;
    if (sim::Fails("MsiGetProductInfoW", error)) return error;
    const sim::Product* product = sim::FindProduct(productCode);
    if (product == nullptr) return sim::kUnknownProduct;
    if (std::wstring(name) != L"VersionString") return 1608;  // ERROR_UNKNOWN_PROPERTY
    if (buffer == nullptr) {
        length = static_cast<uint32_t>(product->versionString.size());
        return 0;
    }
    return sim::CopyOut(product->versionString, buffer, length);
}

uint32_t EnumRelatedProduct(const wchar_t* upgradeCode, uint32_t index, wchar_t* buffer)
{
    uint32_t error = 0;
    if (sim::Fails("MsiEnumRelatedProductsW", error)) return error;
    if (upgradeCode[0] == L'\0') return sim::kInvalidParameter;
    uint32_t seen = 0;
    for (const sim::Product& product : machine().products) {
        if (product.upgradeCode != upgradeCode || seen++ != index) continue;
        uint32_t length = kProductCodeChars;
        return sim::CopyOut(product.productCode, buffer, length);
    }
    return sim::kNoMoreItems;
}

int QueryProductState(const wchar_t* productCode)
{
    if (productCode[0] == L'\0') return sim::kInstallStateInvalidArgument;
    const sim::Product* product = sim::FindProduct(productCode);
    return product == nullptr ? kInstallStateUnknown : product->state;
}

int QueryFeatureState(const wchar_t* productCode, const wchar_t* feature)
{
    const sim::Product* product = sim::FindProduct(productCode);
    if (product == nullptr) return kInstallStateUnknown;
    const auto state = product->featureStates.find(feature);
    return state == product->featureStates.end() ? kInstallStateUnknown : state->second;
}

uint32_t ClearSourceList(const wchar_t* productCode)
{
    uint32_t error = 0;
    if (sim::Fails("MsiSourceListClearAllW", error)) return error;
    machine().sourceListCalls.push_back({L"clear", productCode, L""});
    return 0;
}

uint32_t SetSourceListPackageName(const wchar_t* productCode, const wchar_t* packageName)
{
    uint32_t error = 0;
    if (sim::Fails("MsiSourceListSetInfoW", error)) return error;
    machine().sourceListCalls.push_back({L"PackageName", productCode, packageName});
    return 0;
}

// A close fails only for a handle that was not open, so a failed close leaves nothing open either.
uint32_t CloseMsiHandle(MsiHandleValue handle)
{
    const bool wasOpen = machine().openHandles.erase(handle) != 0;
    uint32_t error = 0;
    if (sim::Fails("MsiCloseHandle", error)) return error;
    return wasOpen ? 0 : sim::kInvalidHandle;
}

uint32_t ReadExecutablePath(std::wstring& path)
{
    uint32_t error = 0;
    if (sim::Fails("GetModuleFileNameW", error)) return error;
    path = machine().executablePath;
    return 0;
}

DirectorySearch::DirectorySearch(const std::wstring& pattern)
{
    // The search state is the list of matching names, held behind the opaque handle.
    if (sim::Fails("FindFirstFileW", error_)) return;
    const std::wstring directory = sim::ParentOf(pattern);
    const std::wstring mask = sim::NameOf(pattern);
    if (!sim::IsDirectoryOnMachine(directory)) {
        error_ = sim::kPathNotFound;
        return;
    }
    auto* matches = new std::vector<sim::Machine::Entry>();
    if (sim::MatchesMask(L".", 0, mask, 0)) {
        matches->push_back({L".", true});
        matches->push_back({L"..", true});
    }
    for (const sim::Machine::Entry& entry : machine().entries) {
        if (sim::SameText(sim::ParentOf(entry.path), directory) &&
            sim::MatchesMask(sim::NameOf(entry.path), 0, mask, 0)) {
            matches->push_back({sim::NameOf(entry.path), entry.isDirectory});
        }
    }
    if (matches->empty()) {
        delete matches;
        error_ = kFileNotFound;
        return;
    }
    ++machine().openSearches;
    handle_ = matches;
    found_ = true;
    name_ = matches->front().path;
    isDirectory_ = matches->front().isDirectory;
    matches->erase(matches->begin());
}

DirectorySearch::~DirectorySearch()
{
    if (handle_ != nullptr) --machine().openSearches;
    delete static_cast<std::vector<sim::Machine::Entry>*>(handle_);
}

bool DirectorySearch::Next()
{
    if (!found_) return false;
    auto* matches = static_cast<std::vector<sim::Machine::Entry>*>(handle_);
    found_ = false;
    if (sim::Fails("FindNextFileW", error_)) return false;
    if (matches->empty()) {
        error_ = kNoMoreFiles;
        return false;
    }
    found_ = true;
    name_ = matches->front().path;
    isDirectory_ = matches->front().isDirectory;
    matches->erase(matches->begin());
    return true;
}

namespace {

// A held file's handle is its lower-cased path.
void Release(void*& handle)
{
    if (handle == nullptr) return;
    auto* path = static_cast<std::wstring*>(handle);
    machine().heldFiles.erase(machine().heldFiles.find(*path));
    delete path;
    handle = nullptr;
}

}  // namespace

HeldFile::~HeldFile() { Release(handle_); }

uint32_t HeldFile::Hold(const std::wstring& path)
{
    Release(handle_);
    uint32_t error = 0;
    if (sim::Fails("CreateFileW(OPEN_EXISTING)", error)) return error;
    if (!sim::FileExistsOnMachine(path)) return kFileNotFound;
    handle_ = new std::wstring(sim::Lower(path));
    machine().heldFiles.insert(sim::Lower(path));
    return 0;
}

// A lock's handle is its name.
MachineLock::~MachineLock() { Release(); }

void MachineLock::Release()
{
    if (handle_ == nullptr) return;
    auto* name = static_cast<std::wstring*>(handle_);
    machine().heldLocks.erase(machine().heldLocks.find(*name));
    delete name;
    handle_ = nullptr;
}

uint32_t MachineLock::TryTake(const wchar_t* name)
{
    Release();
    uint32_t error = 0;
    if (sim::Fails("CreateMutexW", error)) return error;
    const bool madeByOthers = machine().locksMadeByOthers.count(name) != 0;
    const bool heldElsewhere = machine().locksHeldElsewhere.count(name) != 0;
    if (madeByOthers || heldElsewhere) {  // an existing object: its owner is read
        if (sim::Fails("GetSecurityInfo", error)) return error;
        if (madeByOthers) return kLockMadeByAnother;
        return kLockHeldElsewhere;
    }
    handle_ = new std::wstring(name);
    machine().heldLocks.insert(name);
    return 0;
}

uint32_t CreateNewFile(const std::wstring& path)
{
    uint32_t error = 0;
    if (sim::Fails("CreateFileW(CREATE_NEW)", error)) return error;
    if (sim::FileExistsOnMachine(path)) return kFileExists;
    if (!sim::IsDirectoryOnMachine(sim::ParentOf(path))) return sim::kPathNotFound;
    machine().entries.push_back({path, false, true});
    machine().createdFiles.push_back(path);
    return 0;
}

bool FileExists(const std::wstring& path) { return sim::FileExistsOnMachine(path); }

bool FileIsEmpty(const std::wstring& path)
{
    const sim::Machine::Entry* entry = sim::FindEntry(path);
    return entry != nullptr && !entry->isDirectory && entry->empty;
}

bool RemoveFile(const std::wstring& path)
{
    uint32_t error = 0;
    if (sim::Fails("DeleteFileW", error)) return false;
    machine().removedFiles.push_back(path);
    auto& entries = machine().entries;
    const auto found = std::find_if(entries.begin(), entries.end(),
                                    [&](const sim::Machine::Entry& e) { return sim::SameText(e.path, path); });
    if (found == entries.end()) return false;
    entries.erase(found);
    return true;
}

uint32_t ReadEnvironmentVariable(const wchar_t* name, std::wstring& value)
{
    uint32_t error = 0;
    if (sim::Fails("GetEnvironmentVariableW", error)) return error;
    for (const auto& [key, text] : machine().environment) {
        if (sim::SameText(key, name)) {
            value = text;
            return 0;
        }
    }
    return kEnvironmentVariableNotFound;
}

uint32_t ReadSystemDirectory(std::wstring& directory)
{
    uint32_t error = 0;
    if (sim::Fails("GetSystemDirectoryW", error)) return error;
    directory = machine().systemDirectory;
    return 0;
}

uint32_t ReadWindowsDirectory(std::wstring& directory)
{
    uint32_t error = 0;
    if (sim::Fails("GetSystemWindowsDirectoryW", error)) return error;
    directory = machine().windowsDirectory;
    return 0;
}

LocalTime CurrentLocalTime() { return machine().now; }

uint32_t ReadCommandLineArguments(std::vector<std::wstring>& arguments)
{
    uint32_t error = 0;
    if (sim::Fails("CommandLineToArgvW", error)) return error;
    arguments = machine().arguments;
    return 0;
}

void WriteStandardOutputLine(const std::wstring& text) { machine().standardOutput.push_back(text); }

void RestrictDllSearchToSystemDirectory() {}

bool UserIsAdministrator() { return machine().administrator; }

bool IsWindowsVersion(uint16_t major, uint16_t minor)
{
    return machine().windows.major == major && machine().windows.minor == minor;
}

bool IsWindowsServicePackBelow(uint16_t major, uint16_t minor, uint16_t bound)
{
    return IsWindowsVersion(major, minor) && machine().windows.servicePack < bound;
}

ProcessArchitecture CurrentProcessArchitecture() { return machine().architecture; }

uint16_t SystemDefaultUiLanguage() { return machine().uiLanguage; }

bool RestartWindows()
{
    uint32_t error = 0;
    if (sim::Fails("ExitWindowsEx", error)) return false;
    ++machine().restartRequests;
    return machine().restartAccepted;
}

uint32_t CreateUserKey(const wchar_t* path)
{
    uint32_t error = 0;
    if (sim::Fails("RegCreateKeyExW", error)) return error;
    machine().registryKeys.insert(sim::Lower(path));
    return 0;
}

bool UserKeyExists(const wchar_t* path) { return machine().registryKeys.count(sim::Lower(path)) != 0; }

uint32_t DeleteUserSubkey(const wchar_t* parent, const wchar_t* name)
{
    uint32_t error = 0;
    if (sim::Fails("RegDeleteKeyW", error)) return error;
    const std::wstring path = sim::Lower(std::wstring(parent) + L"\\" + name);
    for (const std::wstring& key : machine().registryKeys) {
        if (key.rfind(path + L"\\", 0) == 0) return sim::kAccessDenied;
    }
    return machine().registryKeys.erase(path) ? 0 : kFileNotFound;
}

}  // namespace platform

// ---------------------------------------------------------------------------------------------
// The "CSPSetup" dialog, as its template creates it.

namespace platform {
namespace {

using Controls = std::map<uint16_t, sim::Machine::Control>;

Controls TemplateControls()
{
    return {
        {IDC_NEXT, {L"Далее", true, false}},
        {2, {L"Отмена", true, false}},
        {IDC_LANG_RUSSIAN, {L"Русский", false, false}},
        {IDC_LANG_ENGLISH, {L"English", false, false}},
        {IDC_KC1, {L"KC1", false, false}},
        {IDC_KC2, {L"KC2", false, false}},
        {IDC_KC3, {L"KC3", false, false}},
        {IDC_LANG_GROUP, {L"Язык установки:", false, false}},
        {IDC_KC_GROUP, {L"Уровень безопасности:", false, false}},
        {IDC_WELCOME_FRAME, {L"Kestrova - ключевое слово в защите информации", true, false}},
        {IDC_OPTIONS, {L"Опции", true, false}},
        {IDC_WELCOME_TEXT, {L"www.kestrova.ru", true, false}},
    };
}

const std::vector<std::vector<uint16_t>> kRadioGroups = {
    {IDC_LANG_RUSSIAN, IDC_LANG_ENGLISH}, {IDC_KC1, IDC_KC2, IDC_KC3}};

void ClickRadio(Controls& controls, uint16_t id)
{
    for (const auto& group : kRadioGroups) {
        if (std::find(group.begin(), group.end(), id) == group.end()) continue;
        for (uint16_t member : group) controls[member].checked = member == id;
    }
}

sim::Machine::Control& ControlOf(uint16_t id) { return machine().dialog.controls.at(id); }

}  // namespace

intptr_t ShowModalDialog(uint16_t templateId, DialogHandler handler, void* context)
{
    sim::Machine::Dialog& dialog = machine().dialog;
    ++dialog.timesShown;
    dialog.templateId = templateId;
    uint32_t error = 0;
    if (sim::Fails("DialogBoxParamW", error)) return -1;
    dialog.controls = TemplateControls();
    dialog.closed = false;
    DialogHandle handle = &dialog;
    dialog.initHandled = handler(handle, DialogEvent::Init, 0, context);
    for (uint16_t click : dialog.clicks) {
        if (dialog.closed) break;
        ClickRadio(dialog.controls, click);
        const bool handled = handler(handle, DialogEvent::Command, click, context);
        if (click == IDC_NEXT) dialog.nextHandled = handled;
        dialog.snapshots.push_back(dialog.controls);
    }
    if (!dialog.closed) ADD_FAILURE() << "the simulated user left the dialog open";
    handler(handle, DialogEvent::Destroy, 0, context);
    return dialog.result;
}

void CloseDialog(DialogHandle, intptr_t result)
{
    machine().dialog.closed = true;
    machine().dialog.result = result;
}

void ShowDialogControl(DialogHandle, uint16_t controlId, bool visible) { ControlOf(controlId).visible = visible; }

bool IsDialogButtonChecked(DialogHandle, uint16_t controlId) { return ControlOf(controlId).checked; }

void CheckDialogButton(DialogHandle, uint16_t controlId) { ControlOf(controlId).checked = true; }

uint32_t ReadDialogControlText(DialogHandle, uint16_t controlId, size_t maxChars, std::wstring& text)
{
    uint32_t error = 0;
    if (sim::Fails("GetWindowTextW", error)) return error;
    text = ControlOf(controlId).text.substr(0, maxChars);
    return 0;
}

void SetDialogControlText(DialogHandle, uint16_t controlId, const std::wstring& text) { ControlOf(controlId).text = text; }

IconHandle SetDialogBigIcon(DialogHandle, uint16_t iconId)
{
    uint32_t error = 0;
    if (sim::Fails("LoadImageW", error)) return nullptr;
    if (iconId != IDI_BOOTSTRAPPER) return nullptr;
    machine().dialog.iconSet = true;
    return &machine().dialog.iconSet;
}

void DestroyIcon(IconHandle icon)
{
    if (icon == &machine().dialog.iconSet) machine().dialog.iconDestroyed = true;
}

}  // namespace platform
