// A trace consumer for tests: exports the trace-registration functions that a
// plug-in library looks up when it is loaded, enables every provider at level
// 0, loads the library given as its argument and prints each event written.
#include <dlfcn.h>

#include <cstdio>
#include <cstring>

#include "abi/trace_abi.h"

namespace {
KzoTraceRegistration g_nextRegistration = 1;
}

extern "C" __attribute__((visibility("default"))) uint32_t KzoTraceRegister(
    const KzoTraceProviderId* provider, KzoTraceEnableCallback callback, void* context,
    KzoTraceRegistration* registration) {
    *registration = g_nextRegistration++;
    callback(provider, kKzoTraceEnable, 0, ~uint64_t{0}, 0, context);
    return 0;
}

extern "C" __attribute__((visibility("default"))) uint32_t KzoTraceWrite(
    KzoTraceRegistration registration, const KzoTraceEventDescriptor* event, uint32_t itemCount,
    const KzoTraceDataItem* items) {
    std::printf("registration %llu event %u opcode %u task %u keyword %llu items %u",
                static_cast<unsigned long long>(registration), event->id, event->opcode,
                event->task, static_cast<unsigned long long>(event->keyword), itemCount);
    for (uint32_t i = 0; i < itemCount; ++i) {
        const void* data = reinterpret_cast<const void*>(static_cast<uintptr_t>(items[i].pointer));
        if (items[i].size == 4) {
            uint32_t value = 0;
            std::memcpy(&value, data, 4);
            std::printf(" [u32 %u]", value);
        } else {
            std::printf(" [text %.*s]", static_cast<int>(items[i].size),
                        static_cast<const char*>(data));
        }
    }
    std::printf("\n");
    return 0;
}

extern "C" __attribute__((visibility("default"))) uint32_t KzoTraceUnregister(
    KzoTraceRegistration) {
    return 0;
}

int main(int argc, char** argv) {
    if (argc != 2) return 2;
#ifdef KZO_KEEP_PLUGINS_MAPPED  // see host/plugin_library.cpp
    void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
#else
    void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
#endif
    if (library == nullptr) {
        std::printf("cannot load: %s\n", dlerror());
        return 1;
    }
    dlclose(library);
    return 0;
}
