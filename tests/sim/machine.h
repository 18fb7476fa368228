// The simulated Windows machine the unit tests link instead of the Win32 platform layer.
// A test sets up files, packages, products, registry keys and answers in a few lines, runs one
// operation, and checks the boxes, command lines and codes it left behind.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/dialog.h"
#include "platform/environment.h"
#include "platform/msi_api.h"
#include "platform/system.h"
#include "platform/ui.h"

namespace sim {

struct Box {
    platform::WindowHandle owner;
    std::wstring text;
    std::wstring caption;
    uint32_t style;
    bool shown = true;  // false: MessageBoxW failed and answered 0
};

// One mechanism makes any platform call that can report a failure fail: every such call counts
// itself in `calls` under its Win32 name, and the `failAt`-th call of the run (from 1), or the
// `occurrence`-th call named `failName`, fails as the real call reports a failure, with `error`
// where it reports one. Calls that answer a question (the Windows version, a product's state, a
// file's or a key's existence, the administrator check) have no failure apart from their answer
// and are never made to fail; void calls cannot report one.
struct Faults {
    size_t failAt = 0;
    std::string failName;
    int occurrence = 1;
    uint32_t error = 0;

    std::vector<std::string> calls;  // every call that could have failed, in order
    std::string failed;              // the call that was made to fail ("" when none was)
    size_t boxesBefore = 0;          // the message boxes asked for before it failed
};

struct Package {
    std::map<std::wstring, std::wstring> properties;
    uint32_t openError = 0;                         // MsiOpenPackageExW fails with this when nonzero
    std::map<std::wstring, uint32_t> propertyErrors;  // MsiGetPropertyW fails for these names
};

struct Product {
    std::wstring productCode;
    std::wstring upgradeCode;
    std::wstring versionString;
    int state = platform::kInstallStateDefault;
    std::map<std::wstring, int> featureStates;  // absent names answer INSTALLSTATE_UNKNOWN
};

struct WindowsVersion {
    uint16_t major = 6;
    uint16_t minor = 1;
    uint16_t servicePack = 1;
};

struct Machine {
    // Windows and the account.
    WindowsVersion windows;
    platform::ProcessArchitecture architecture = platform::ProcessArchitecture::X86OnWow64;
    uint16_t uiLanguage = 0x0419;
    bool administrator = true;
    bool restartAccepted = true;
    int restartRequests = 0;

    // The process.
    std::wstring executablePath = L"C:\\Layout\\bootstrapper.exe";
    std::vector<std::wstring> arguments;  // element 0 is the program name
    std::map<std::wstring, std::wstring> environment;  // names compared case-insensitively
    std::wstring systemDirectory = L"C:\\Windows\\system32";
    std::wstring windowsDirectory = L"C:\\Windows";
    platform::LocalTime now = {2026, 12, 7, 2, 17, 32};
    std::vector<std::wstring> standardOutput;
    Faults faults;

    // Files and folders in listing order; parents are implied. A file created by the program is
    // empty until a child writes it.
    struct Entry {
        std::wstring path;
        bool isDirectory;
        bool empty = false;
    };
    std::vector<Entry> entries;
    std::vector<std::wstring> removedFiles;
    std::vector<std::wstring> createdFiles;
    std::multiset<std::wstring> heldFiles;  // lower-cased paths, while held
    // Machine-wide locks: those this process holds, those another installing run holds, and names
    // someone else made first (a user squatting on the lock's name, whether holding it or not).
    std::multiset<std::wstring> heldLocks;
    std::set<std::wstring> locksHeldElsewhere;
    std::set<std::wstring> locksMadeByOthers;
    int openSearches = 0;
    std::map<std::wstring, Package> packages;  // by full path, lower-cased

    // Windows Installer.
    std::vector<Product> products;  // in enumeration order
    std::set<platform::MsiHandleValue> openHandles;
    platform::MsiHandleValue nextHandle = 100;
    std::vector<std::wstring> openedPackages;
    bool installerUiDisabled = false;
    int comEntered = 0;             // COM initialisations not yet left
    int packagesOpenedWithoutCom = 0;
    struct SourceListCall {
        std::wstring what;
        std::wstring productCode;
        std::wstring packageName;
    };
    std::vector<SourceListCall> sourceListCalls;

    // HKEY_CURRENT_USER in the 32-bit view. A key with subkeys cannot be deleted, as RegDeleteKeyW answers.
    std::set<std::wstring> registryKeys;  // lower-cased

    // Child processes: each run records its command line and takes the next scripted exit code
    // (0 when none is left); `startError` makes the start fail instead.
    std::vector<std::wstring> commandLines;
    std::vector<std::multiset<std::wstring>> heldWhileRunning;  // the held files, for each child started
    std::vector<std::multiset<std::wstring>> locksWhileRunning;  // the held locks, for each child started
    std::deque<uint32_t> exitCodes;
    uint32_t startError = 0;
    bool childWritesLog = true;  // the child creates the file named after "/Lv! "

    // Message boxes and their scripted answers (IDOK for OK boxes, IDYES for Yes/No when none is left).
    std::vector<Box> boxes;
    std::deque<int> answers;

    // The string table: every message of the catalogue unless removed.
    std::set<uint16_t> missingMessages;
    std::map<uint16_t, size_t> shortenedBlocks;  // block id: the 16-bit units its resource still holds

    // The modal dialog: its controls as the template creates them, then the user's clicks in order
    // (a radio button checks itself and clears its group, as an auto radio button does).
    struct Control {
        std::wstring text;
        bool visible;
        bool checked;
    };
    struct Dialog {
        std::vector<uint16_t> clicks;
        int timesShown = 0;
        uint16_t templateId = 0;
        std::map<uint16_t, Control> controls;
        std::vector<std::map<uint16_t, Control>> snapshots;  // the controls after each click
        bool closed = false;
        intptr_t result = -1;
        bool iconSet = false;
        bool iconDestroyed = false;
        bool initHandled = false;
        bool nextHandled = false;
    } dialog;
};

Machine& machine();

// Counts a call that can fail under `name` and answers whether it is the one to fail; `error` is
// then the error to report. For the simulated platform functions.
bool Fails(const char* name, uint32_t& error);

// Makes the `occurrence`-th call named `name` from now on fail with `error`.
void FailCall(const char* name, uint32_t error, int occurrence = 1);
// Makes the `k`-th call that can fail (from 1) fail with `error`.
void FailCallNumber(size_t k, uint32_t error);

// Every handle, key, search, held file and lock the program opened has been closed again, and COM left.
bool EverythingClosed();

// A fresh machine: Windows 7 SP1 x64 with a Russian UI, an administrator, TMP set to a folder that
// exists, the layout folder holding the executable, no packages and no products.
void Reset();

// File-system set-up.
void AddDirectory(const std::wstring& path);
void AddFile(const std::wstring& path);
void AddPackage(const std::wstring& path, const std::wstring& productCode, const std::wstring& upgradeCode,
                const std::wstring& version, const std::wstring& name = L"Kestrova Pellaris");
Package& PackageAt(const std::wstring& path);
bool FileExistsOnMachine(const std::wstring& path);
// Writes something into the file, as a child writes its log (a missing file is created).
void WriteToFile(const std::wstring& path);

// Windows Installer set-up.
Product& InstallProduct(const std::wstring& productCode, const std::wstring& upgradeCode, const std::wstring& version);

bool MarkerExists();

// The catalogue text of message `id`, decoded from the same source as the resource script.
std::wstring CatalogueText(uint16_t id);

}  // namespace sim
