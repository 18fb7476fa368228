// The few pieces of the C++ runtime the program needs, without exceptions: allocation failure and
// library precondition failures end the process at once. Defining them here keeps libstdc++'s
// exception machinery and name demangler out of the executable; should a library upgrade ever
// rename them, the link fails loudly with a duplicate symbol.
//
// Also the stack protection's runtime (-fstack-protector-strong): every function with an array or
// an address-taken local compares a copy of __stack_chk_guard before it returns and calls
// __stack_chk_fail on a mismatch. GCC's libssp would supply both, but sets the guard in a
// constructor of no particular order and, on a mismatch, writes to a console and then traps.
#include <windows.h>
#include <wincrypt.h>

#include <cstddef>
#include <cstdint>
#include <new>

#include "platform/system.h"
#include "platform/win32_handles.h"

namespace {

[[noreturn]] void FatalExit() { ExitProcess(ERROR_NOT_ENOUGH_MEMORY); }

void* Allocate(std::size_t size)
{
    void* block = HeapAlloc(GetProcessHeap(), 0, size == 0 ? 1 : size);
    if (block == nullptr) FatalExit();
    return block;
}

void Release(void* block)
{
    if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* block) noexcept { Release(block); }
void operator delete[](void* block) noexcept { Release(block); }
void operator delete(void* block, std::size_t) noexcept { Release(block); }
void operator delete[](void* block, std::size_t) noexcept { Release(block); }

namespace std {
void __throw_bad_alloc() { FatalExit(); }
void __throw_bad_array_new_length() { FatalExit(); }
void __throw_length_error(const char*) { FatalExit(); }
void __throw_logic_error(const char*) { FatalExit(); }
void __throw_out_of_range(const char*) { FatalExit(); }
void __throw_out_of_range_fmt(const char*, ...) { FatalExit(); }
void __throw_invalid_argument(const char*) { FatalExit(); }
}  // namespace std

namespace {

// The status Windows' own stack check ends a process with, so tools and callers know it.
constexpr UINT kStackSmashedExitCode = STATUS_STACK_BUFFER_OVERRUN;
// Any value but 0 (the guard before start-up), should every source below mix to 0.
constexpr uintptr_t kGuardOfLastResort = 0x2B992DDF;

template <typename Function>
Function Advapi32Export(const char* name)
{
    return platform::ExportOf<Function>(GetModuleHandleW(L"advapi32.dll"), name);  // an import of the exe: loaded
}

// A value of RtlGenRandom (advapi32's SystemFunction036, from Windows XP on), or 0. It draws from
// the system's generator without loading a CryptoAPI provider, which costs every start its DLLs.
uintptr_t SystemRandom()
{
    using RtlGenRandomFunction = BOOLEAN(WINAPI*)(PVOID, ULONG);
    const auto generate = Advapi32Export<RtlGenRandomFunction>("SystemFunction036");
    uintptr_t value = 0;
    if (generate == nullptr || !generate(&value, sizeof value)) return 0;
    return value;
}

// A value of CryptoAPI's random generator, or 0: Windows 2000, which lacks RtlGenRandom, has it.
// Looked up at run time, so that a system without it still loads the exe and keeps the noise below.
uintptr_t CryptoApiRandom()
{
    const auto acquire = Advapi32Export<decltype(&CryptAcquireContextW)>("CryptAcquireContextW");
    const auto generate = Advapi32Export<decltype(&CryptGenRandom)>("CryptGenRandom");
    const auto release = Advapi32Export<decltype(&CryptReleaseContext)>("CryptReleaseContext");
    if (acquire == nullptr || generate == nullptr || release == nullptr) return 0;
    HCRYPTPROV provider = 0;
    if (!acquire(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT | CRYPT_SILENT)) return 0;
    uintptr_t value = 0;
    if (!generate(provider, sizeof value, reinterpret_cast<BYTE*>(&value))) value = 0;
    release(provider, 0);
    return value;
}

// The system's randomness: RtlGenRandom where Windows has it, CryptoAPI only where it does not.
uintptr_t SecureRandom()
{
    const uintptr_t value = SystemRandom();
    return value != 0 ? value : CryptoApiRandom();
}

// What Microsoft's C runtime mixes into its stack cookie: time, ids, counters, and the stack's
// address, which Windows randomises from Vista on.
uintptr_t StartupNoise()
{
    FILETIME now = {};
    GetSystemTimeAsFileTime(&now);
    LARGE_INTEGER counter = {};
    QueryPerformanceCounter(&counter);
    return now.dwLowDateTime ^ now.dwHighDateTime ^ GetCurrentProcessId() ^ GetCurrentThreadId() ^
           GetTickCount() ^ counter.LowPart ^ static_cast<uintptr_t>(counter.HighPart) ^
           reinterpret_cast<uintptr_t>(&counter);
}

}  // namespace

extern "C" {

// Referenced only by code the compiler adds after link-time optimisation has chosen what is used,
// hence externally visible.
__attribute__((externally_visible)) uintptr_t __stack_chk_guard;

[[noreturn]] __attribute__((externally_visible)) void __stack_chk_fail()
{
    // The stack is not to be trusted: end at once, with no atexit handler and no DLL notification.
    TerminateProcess(GetCurrentProcess(), kStackSmashedExitCode);
    ExitProcess(kStackSmashedExitCode);  // keeps the promise of [[noreturn]], should TerminateProcess return
}

// The program's first constructor (101: the first priority a program may take), which mingw's
// __main runs before the program's other constructors and before wWinMain. Never protected, whatever
// link-time optimisation inlines into it: it would return through a check of the guard it found.
// Externally visible, so that the link's map shows it (tests/binary).
__attribute__((constructor(101), no_stack_protector, externally_visible)) void InitializeStackGuard()
{
    // First of all: the generators load DLLs of their own (RtlGenRandom's forwarder on Windows 7,
    // CryptoAPI's provider), and nothing may be taken from beside the exe.
    platform::RestrictDllSearchToSystemDirectory();
    const uintptr_t guard = SecureRandom() ^ StartupNoise();
    __stack_chk_guard = guard != 0 ? guard : kGuardOfLastResort;
}

}  // extern "C"
