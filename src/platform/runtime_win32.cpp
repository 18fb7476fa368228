// The few pieces of the C++ runtime the program needs, without exceptions: allocation failure and
// library precondition failures end the process at once. Defining them here keeps libstdc++'s
// exception machinery and name demangler out of the executable; should a library upgrade ever
// rename them, the link fails loudly with a duplicate symbol.
#include <windows.h>

#include <cstddef>
#include <new>

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
