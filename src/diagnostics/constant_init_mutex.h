// A lock for objects that are constant-initialised, so that they exist before
// any static constructor of the library runs.
#pragma once

#include <mutex>

namespace Nimbel {

/// A plain (non-recursive) mutex whose construction is a constant expression
/// on every platform the library builds for. std::mutex is not one with
/// mingw-w64's winpthreads, whose std::recursive_mutex is: this class holds
/// one and never enters it twice from one thread. Meets Lockable, so
/// std::lock_guard and std::unique_lock take it.
class ConstantInitMutex {
public:
    constexpr ConstantInitMutex() noexcept = default;
    ConstantInitMutex(const ConstantInitMutex&) = delete;
    ConstantInitMutex& operator=(const ConstantInitMutex&) = delete;

    void lock() { mutex_.lock(); }
    [[nodiscard]] bool try_lock() noexcept { return mutex_.try_lock(); }
    void unlock() noexcept { mutex_.unlock(); }

private:
    std::recursive_mutex mutex_;
};

}  // namespace Nimbel
