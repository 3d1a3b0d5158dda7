// Runs a function on a thread with a small stack, so that a test proves a
// reader does not recurse over the nesting of its input.
#pragma once

#include <pthread.h>

#include <cstddef>
#include <functional>

namespace Nimbel::testing {

/// The stack the depth tests give their work: 256 KiB, a quarter of a
/// default thread's. The address sanitizer's red zones make every frame up to
/// five times larger (RapidJSON's reader takes over 1 KiB a level), and so
/// does building without optimisation, so those builds give eight times as
/// much: the tests still prove that nesting is bounded, not how large one
/// frame is.
#if defined(__SANITIZE_ADDRESS__) || !defined(__OPTIMIZE__)
inline constexpr size_t kSmallStackBytes = size_t{2048} * 1024;
#else
inline constexpr size_t kSmallStackBytes = size_t{256} * 1024;
#endif

/// Runs `work` on a new thread whose stack is `stackBytes` long and waits for
/// it. False when the thread could not be started.
[[nodiscard]] inline bool RunOnSmallStack(size_t stackBytes, std::function<void()> work) {
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return false;
    pthread_t thread;
    const bool started = pthread_attr_setstacksize(&attributes, stackBytes) == 0 &&
                         pthread_create(
                             &thread, &attributes,
                             [](void* argument) -> void* {
                                 (*static_cast<std::function<void()>*>(argument))();
                                 return nullptr;
                             },
                             &work) == 0;
    pthread_attr_destroy(&attributes);
    return started && pthread_join(thread, nullptr) == 0;
}

}  // namespace Nimbel::testing
