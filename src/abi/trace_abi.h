/*
 * The binary boundary between the framework's trace providers and a trace
 * consumer living in the same process (a tracing agent, the host, a test).
 *
 * Plain C. On Linux the consumer exports three functions under the names
 * below; the framework looks them up at run time in the process's global
 * symbol scope and, when any of them is missing, registers and writes
 * nothing. On Windows the consumer is the system's Event Tracing, whose
 * records have these layouts, and the names below are not looked up. Records use
 * natural alignment and fixed-size fields, so their layout is the same in
 * 32-bit and 64-bit builds.
 *
 * Ownership: every pointer handed to the consumer is borrowed for the duration
 * of the call only, except the enable callback's context, which stays valid
 * until the provider is unregistered.
 */
#ifndef KZO_TRACE_ABI_H
#define KZO_TRACE_ABI_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Identifies one provider; fixed for the life of the program. */
typedef struct KzoTraceProviderId {
    uint8_t bytes[16];
} KzoTraceProviderId;

/* A registration, as returned by the consumer; 0 is never a valid one. */
typedef uint64_t KzoTraceRegistration;

/* Values of `isEnabled` in the enable callback. Other values (requests that
 * are not about enablement) leave the provider's state unchanged. */
enum { kKzoTraceDisable = 0, kKzoTraceEnable = 1 };

/* Called by the consumer during registration and whenever a session changes
 * what it wants from the provider, on any thread. `level` 0 asks for every
 * level; an event is wanted when its keyword meets `matchAnyKeyword` and holds
 * every bit of `matchAllKeyword`. */
typedef void (*KzoTraceEnableCallback)(const KzoTraceProviderId* provider, uint32_t isEnabled,
                                       uint8_t level, uint64_t matchAnyKeyword,
                                       uint64_t matchAllKeyword, void* context);

/* Describes one kind of event. */
typedef struct KzoTraceEventDescriptor {
    uint16_t id;
    uint8_t version;
    uint8_t channel;
    uint8_t level;
    uint8_t opcode;
    uint16_t task;
    uint64_t keyword;
} KzoTraceEventDescriptor;

/* One item of an event's payload: `size` bytes at the address `pointer`. */
typedef struct KzoTraceDataItem {
    uint64_t pointer;
    uint32_t size;
    uint32_t reserved; /* 0 */
} KzoTraceDataItem;

/* Registers a provider. Returns 0 and stores a non-zero registration on
 * success; any other result means nothing was registered. The callback may
 * run before this function returns. */
typedef uint32_t (*KzoTraceRegisterFn)(const KzoTraceProviderId* provider,
                                       KzoTraceEnableCallback callback, void* context,
                                       KzoTraceRegistration* registration);
/* Writes one event with `itemCount` payload items. Returns 0 on success. */
typedef uint32_t (*KzoTraceWriteFn)(KzoTraceRegistration registration,
                                    const KzoTraceEventDescriptor* event, uint32_t itemCount,
                                    const KzoTraceDataItem* items);
/* Unregisters a provider; its callback is not called afterwards. */
typedef uint32_t (*KzoTraceUnregisterFn)(KzoTraceRegistration registration);

#define KZO_TRACE_REGISTER_SYMBOL "KzoTraceRegister"
#define KZO_TRACE_WRITE_SYMBOL "KzoTraceWrite"
#define KZO_TRACE_UNREGISTER_SYMBOL "KzoTraceUnregister"

#ifdef __cplusplus
#define KZO_TRACE_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define KZO_TRACE_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

KZO_TRACE_STATIC_ASSERT(sizeof(KzoTraceProviderId) == 16, "KzoTraceProviderId size");
KZO_TRACE_STATIC_ASSERT(sizeof(KzoTraceEventDescriptor) == 16, "KzoTraceEventDescriptor size");
KZO_TRACE_STATIC_ASSERT(offsetof(KzoTraceEventDescriptor, task) == 6,
                        "KzoTraceEventDescriptor.task");
KZO_TRACE_STATIC_ASSERT(offsetof(KzoTraceEventDescriptor, keyword) == 8,
                        "KzoTraceEventDescriptor.keyword");
KZO_TRACE_STATIC_ASSERT(sizeof(KzoTraceDataItem) == 16, "KzoTraceDataItem size");
KZO_TRACE_STATIC_ASSERT(offsetof(KzoTraceDataItem, size) == 8, "KzoTraceDataItem.size");

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* KZO_TRACE_ABI_H */
