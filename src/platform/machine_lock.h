// A lock that one process of the machine holds at a time, whatever session or account it runs in.
#pragma once

#include <cstdint>

namespace platform {

// The result of TryTake while an installing run holds the lock (WAIT_TIMEOUT).
constexpr uint32_t kLockHeldElsewhere = 258;
// The result of TryTake when the name belongs to an object that no installing run made: someone made
// it first, held or not, to keep every installation waiting (ERROR_INVALID_OWNER).
constexpr uint32_t kLockMadeByAnother = 1307;

// A named mutex in the global namespace, owned by the Administrators group, which Administrators and
// SYSTEM may take and nobody else may open. Released and closed by the destructor on every path; a
// process that ends while it holds the lock leaves it to the next one to take it.
class MachineLock {
public:
    MachineLock() = default;
    ~MachineLock();
    MachineLock(const MachineLock&) = delete;
    MachineLock& operator=(const MachineLock&) = delete;

    // Takes the lock `name` without waiting. Returns 0 when this process holds it now,
    // kLockHeldElsewhere while an installing run holds it, kLockMadeByAnother when the name is an
    // object that neither an administrator nor SYSTEM made, or the Windows error that kept it from
    // being made, checked or taken; nothing is held then.
    uint32_t TryTake(const wchar_t* name);

private:
    void Release();

    void* handle_ = nullptr;
};

}  // namespace platform
