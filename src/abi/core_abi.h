/*
 * The binary boundary between the platform core and a plug-in.
 *
 * Plain C, included by the core (which may be written in C) and by the C++
 * framework. Every record is packed, little-endian, and built from machine
 * words (`KzoWord`, the size of a pointer: 4 bytes in a 32-bit build, 8 in a
 * 64-bit build) and single bytes. Pointers, counts, kinds, lengths and 32-bit
 * numbers each take one word. A 64-bit number carried in a `CoreValue` is
 * split in both builds: word A holds its low 32 bits, word B its high 32 bits.
 *
 * Ownership is stated per record below. Nothing here throws: every function
 * the plug-in hands to the core catches everything and reports failures in
 * the records it fills.
 */
#ifndef KZO_CORE_ABI_H
#define KZO_CORE_ABI_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#else
#include <stdbool.h>
#endif

typedef uintptr_t KzoWord;

/* The records below are packed, so their own alignment is 1 and fields after a
 * single byte sit off word boundaries. Read and write fields by value; never
 * bind a C++ reference or pointer to a field (a misaligned access). Whoever
 * owns a record should still place it on a word boundary (alignas(KzoWord)). */

#pragma pack(push, 1)

/* ---- Values ------------------------------------------------------------ */

/* Kinds of a CoreValue. */
enum {
    kCoreValueEmpty = 0,
    kCoreValueBool = 1,           /* A: 0 or 1 in its low byte */
    kCoreValueSigned = 2,         /* A: low 32 bits, B: high 32 bits */
    kCoreValueUnsigned = 3,       /* A: low 32 bits, B: high 32 bits */
    kCoreValueDouble = 4,         /* A: low 32 bits of the IEEE bits, B: high */
    kCoreValueStringBorrowed = 5, /* A: NUL-terminated text, not owned */
    kCoreValueStringOwned = 6,    /* A: NUL-terminated text, owned; B: length */
    kCoreValueBlobBorrowed = 7,   /* A: bytes, not owned; B: count */
    kCoreValueBlobOwned = 8,      /* A: bytes, owned; B: count */
    kCoreValueCollection = 9,     /* A: owned array of B CoreValue records */
    kCoreValueStructure = 10      /* A: owned array of B CoreStructEntry records */
};

/* A value crossing the boundary. Owned buffers come from the plug-in's
 * counting allocator and are freed by CoreValueRelease. */
typedef struct CoreValue {
    KzoWord kind;
    KzoWord a;
    KzoWord b;
} CoreValue;

/* A member of a structure value. The name is owned when `ownsName` is 1. */
typedef struct CoreStructEntry {
    const char* name;
    CoreValue value;
    uint8_t ownsName;
} CoreStructEntry;

/* A typed argument of a request: an optional name, then its value. */
typedef struct CoreArgumentEntry {
    const char* name; /* null for an argument given by position */
    CoreValue value;
} CoreArgumentEntry;

/* A header of a request or response. */
typedef struct CoreHeaderPair {
    const char* name;
    const char* value;
} CoreHeaderPair;

/* ---- Requests and responses ------------------------------------------- */

/* Method codes: 1 DELETE, 2 GET, 3 HEAD, 4 OPTIONS, 5 PATCH, 6 POST, 7 PUT,
 * 8 other (named by `methodName`). */
typedef struct CoreRequest {
    KzoWord method;
    const char* path;                   /* may carry a query after "?" */
    const CoreArgumentEntry* arguments; /* owned by whoever filled the record */
    KzoWord argumentCount;
    void* endpointContext; /* incoming: the endpoint record's context */
    const CoreHeaderPair* headers;
    KzoWord headerCount;
    const char* contentType;
    const uint8_t* body; /* not NUL-terminated */
    KzoWord bodySize;
    KzoWord handle;         /* outbound: plug-in handle; inbound: user context */
    const char* methodName; /* method 8 only */
} CoreRequest;

struct CoreResponse;

typedef bool (*CoreStreamReadFn)(KzoWord stream, uint8_t* buffer, uint32_t* size, uint8_t* more);
typedef void (*CoreStreamCloseFn)(KzoWord stream);
typedef void (*CoreResponseReleaseFn)(struct CoreResponse* response);

/* The answer to a request. Whoever filled it owns its buffers; the reader
 * calls `release` with the record's address once it has read the record. */
typedef struct CoreResponse {
    CoreValue value;       /* the body, when it is not streamed */
    const char* errorText; /* null on success */
    uint8_t ownsErrorText; /* 1 when errorText is an owned copy */
    uint8_t flag;          /* the handler's flag byte */
    KzoWord kind;          /* the handler's result kind: 1, 2, 3 or 0 */
    KzoWord status;        /* HTTP status */
    const char* text;      /* the handler's text; never null once filled */
    const CoreHeaderPair* headers;
    KzoWord headerCount;
    CoreStreamReadFn streamRead; /* null unless the body is streamed */
    CoreStreamCloseFn streamClose;
    KzoWord expectedSize; /* of a streamed body */
    KzoWord reserved;     /* 0 */
    KzoWord stream;       /* stream handle; owned by the record */
    CoreResponseReleaseFn release;
} CoreResponse;

/* ---- Core functions and plug-in callbacks ----------------------------- */

struct CoreFunctions;
struct EventCallbackRecord;

typedef void (*CoreEventCallback)(const struct EventCallbackRecord* record);

typedef KzoWord (*CoreSendRequestFn)(const struct CoreFunctions* table, CoreResponse* response,
                                     const CoreRequest* request);
typedef KzoWord (*CoreUnnamed1Fn)(const struct CoreFunctions* table, KzoWord a, KzoWord b);
typedef KzoWord (*CoreUnnamed2Fn)(const struct CoreFunctions* table, KzoWord a);
typedef KzoWord (*CoreSubscribeFn)(const struct CoreFunctions* table, const char* event,
                                   KzoWord handle, CoreEventCallback callback,
                                   void* callbackContext, KzoWord flags);
typedef KzoWord (*CoreUnsubscribeFn)(const struct CoreFunctions* table, const char* event,
                                     KzoWord handle);
typedef KzoWord (*CoreUnnamed5Fn)(const struct CoreFunctions* table, KzoWord a, KzoWord b,
                                  KzoWord c, uint64_t d, KzoWord e);
typedef KzoWord (*CoreYieldFn)(const struct CoreFunctions* table);
typedef KzoWord (*CoreBeginWaitFn)(const struct CoreFunctions* table, const char* label,
                                   KzoWord zero);
typedef KzoWord (*CoreEndWaitFn)(const struct CoreFunctions* table);
typedef KzoWord (*CoreLogFn)(const struct CoreFunctions* table, KzoWord level, const char* text);

/* The core's functions, each called with the table's address first. The
 * plug-in ignores their return values. Entries 1, 2 and 5 are never called. */
typedef struct CoreFunctions {
    CoreSendRequestFn sendRequest; /* returns when the response is filled */
    CoreUnnamed1Fn unnamed1;
    CoreUnnamed2Fn unnamed2;
    CoreSubscribeFn subscribe;
    CoreUnsubscribeFn unsubscribe;
    CoreUnnamed5Fn unnamed5;
    CoreYieldFn yield; /* runs pending work of the core, then returns */
    CoreBeginWaitFn beginWait;
    CoreEndWaitFn endWait;
    CoreLogFn log; /* takes the text during the call */
} CoreFunctions;

typedef struct CoreContext {
    const CoreFunctions* functions;
    KzoWord pluginHandle; /* passed back wherever the core asks for it */
} CoreContext;

/* What the core hands to a subscription callback. */
typedef struct EventCallbackRecord {
    const char* eventName;
    CoreValue payload;
    KzoWord unused;
    void* callbackContext;
} EventCallbackRecord;

typedef bool (*PluginStartFn)(void* module, const CoreContext* context);
typedef void (*PluginStopFn)(void* module);
/* Writes the six memory counters, then a zero: seven uint64_t in any build. */
typedef void (*PluginMemoryStatsFn)(void* module, uint64_t out[7]);

typedef struct PluginCallbacks {
    PluginStartFn start;
    PluginStopFn stop;
    PluginMemoryStatsFn getMemoryStats;
} PluginCallbacks;

struct ApiDescriptionRoot;

/* In: words 0 to 2, the core's plug-in API version. Out, after a successful
 * check: the plug-in's version, its callbacks, its module, its short name and
 * its API description. All pointers stay valid until Stop returns. */
typedef struct PluginLoadRecord {
    KzoWord major;
    KzoWord minor;
    KzoWord patch;
    const PluginCallbacks* callbacks;
    void* module;
    const char* shortName;
    const struct ApiDescriptionRoot* apiDescription;
} PluginLoadRecord;

/* The one export of a plug-in. */
typedef void (*PluginLoadFn)(PluginLoadRecord* record);

/* ---- API description -------------------------------------------------- */
/* Every array of records is contiguous and also chained: the first word of
 * each record points at the next one, 0 in the last. Texts and arrays are
 * owned by the plug-in's registry and stay valid until it is rebuilt or the
 * plug-in stops. */

typedef struct ArgumentRecord {
    const struct ArgumentRecord* next;
    const char* name;
    const char* description;
    KzoWord kind;
    KzoWord elementKind;
    const char* typeName;
    uint8_t optional;
} ArgumentRecord;

typedef struct FunctionRecord {
    const struct FunctionRecord* next;
    KzoWord reserved0;
    KzoWord reserved1;
    const char* name;
    const char* nameSpace;
    const ArgumentRecord* arguments;
    KzoWord argumentCount;
    KzoWord resultKind;
    KzoWord resultElementKind;
    const char* resultTypeName;
    const char* description;
    const char* help;
    uint8_t threadSafe;
    const char* asyncTypeName;
    const char* const* tags;
    KzoWord tagCount;
} FunctionRecord;

typedef struct FieldRecord {
    const struct FieldRecord* next;
    const char* name;
    const char* description;
    KzoWord offset;
    KzoWord kind;
    KzoWord elementKind;
    const char* typeName;
    uint8_t optional;
} FieldRecord;

typedef struct EnumeratorRecord {
    const struct EnumeratorRecord* next;
    const char* name;
    const char* description;
    KzoWord value; /* a 32-bit signed value */
} EnumeratorRecord;

typedef struct TypeRecord {
    const struct TypeRecord* next;
    const char* name;
    const char* nameSpace;
    KzoWord size;
    const char* description;
    const char* const* tags;
    KzoWord tagCount;
    const FieldRecord* fields;           /* set when the type has fields */
    const EnumeratorRecord* enumerators; /* set when it has none */
    KzoWord memberCount;
} TypeRecord;

typedef struct EventRecord {
    const struct EventRecord* next;
    const char* name;
    const char* nameSpace;
    const char* typeName;
    const char* description;
    const char* const* tags;
    KzoWord tagCount;
} EventRecord;

/* Where an endpoint takes an argument from: 0 anywhere, 1 query, 2 path,
 * 4 header, 5 body. */
typedef struct ArgumentLocationEntry {
    KzoWord reserved;
    KzoWord location;
} ArgumentLocationEntry;

typedef struct EndpointTextListEntry {
    KzoWord words[3];
} EndpointTextListEntry;

typedef void (*EndpointRequestFn)(CoreResponse* response, const CoreRequest* request);

/* An endpoint: a copy of its function record whose first word chains the
 * endpoint records and whose third word points at the endpoint's context
 * (two words: the registry and the endpoint), then how to reach it. */
typedef struct EndpointRecord {
    FunctionRecord function;
    EndpointRequestFn onRequest;
    const ArgumentLocationEntry* argumentLocations;
    const char* pathTemplate;
    KzoWord method;
    uint8_t flag;
    const EndpointTextListEntry* textLists;
    KzoWord textListCount;
    const char* methodName;
} EndpointRecord;

typedef struct ApiDescriptionRoot {
    const EndpointRecord* endpoints;
    KzoWord endpointCount;
    const TypeRecord* types;
    KzoWord typeCount;
    const EventRecord* events;
    KzoWord eventCount;
} ApiDescriptionRoot;

#pragma pack(pop)

/* ---- Layout checks ---------------------------------------------------- */
/* W words plus B single bytes; the 32-bit figures are the platform's own. */
#define KZO_LAYOUT(words, bytes) ((words) * sizeof(KzoWord) + (bytes))

#ifdef __cplusplus
#define KZO_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define KZO_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

#define KZO_CHECK_SIZE(type, words, bytes, size32)                              \
    KZO_STATIC_ASSERT(sizeof(type) == KZO_LAYOUT(words, bytes), #type " size"); \
    KZO_STATIC_ASSERT(sizeof(KzoWord) != 4 || sizeof(type) == (size32), #type " 32-bit size")
#define KZO_CHECK_OFFSET(type, field, words, bytes, offset32)                               \
    KZO_STATIC_ASSERT(offsetof(type, field) == KZO_LAYOUT(words, bytes), #type "." #field); \
    KZO_STATIC_ASSERT(sizeof(KzoWord) != 4 || offsetof(type, field) == (offset32),          \
                      #type "." #field " 32-bit offset")

KZO_CHECK_SIZE(CoreValue, 3, 0, 12);
KZO_CHECK_SIZE(CoreStructEntry, 4, 1, 17);
KZO_CHECK_OFFSET(CoreStructEntry, ownsName, 4, 0, 16);
KZO_CHECK_SIZE(CoreArgumentEntry, 4, 0, 16);
KZO_CHECK_SIZE(CoreHeaderPair, 2, 0, 8);
KZO_CHECK_SIZE(CoreRequest, 12, 0, 48);
KZO_CHECK_OFFSET(CoreRequest, endpointContext, 4, 0, 16);
KZO_CHECK_OFFSET(CoreRequest, handle, 10, 0, 40);
KZO_CHECK_OFFSET(CoreRequest, methodName, 11, 0, 44);
KZO_CHECK_SIZE(CoreResponse, 15, 2, 62);
KZO_CHECK_OFFSET(CoreResponse, errorText, 3, 0, 12);
KZO_CHECK_OFFSET(CoreResponse, ownsErrorText, 4, 0, 16);
KZO_CHECK_OFFSET(CoreResponse, flag, 4, 1, 17);
KZO_CHECK_OFFSET(CoreResponse, kind, 4, 2, 18);
KZO_CHECK_OFFSET(CoreResponse, status, 5, 2, 22);
KZO_CHECK_OFFSET(CoreResponse, text, 6, 2, 26);
KZO_CHECK_OFFSET(CoreResponse, headers, 7, 2, 30);
KZO_CHECK_OFFSET(CoreResponse, headerCount, 8, 2, 34);
KZO_CHECK_OFFSET(CoreResponse, streamRead, 9, 2, 38);
KZO_CHECK_OFFSET(CoreResponse, streamClose, 10, 2, 42);
KZO_CHECK_OFFSET(CoreResponse, expectedSize, 11, 2, 46);
KZO_CHECK_OFFSET(CoreResponse, stream, 13, 2, 54);
KZO_CHECK_OFFSET(CoreResponse, release, 14, 2, 58);
KZO_CHECK_SIZE(CoreFunctions, 10, 0, 40);
KZO_CHECK_OFFSET(CoreFunctions, subscribe, 3, 0, 12);
KZO_CHECK_OFFSET(CoreFunctions, yield, 6, 0, 24);
KZO_CHECK_OFFSET(CoreFunctions, log, 9, 0, 36);
KZO_CHECK_SIZE(CoreContext, 2, 0, 8);
KZO_CHECK_SIZE(EventCallbackRecord, 6, 0, 24);
KZO_CHECK_OFFSET(EventCallbackRecord, payload, 1, 0, 4);
KZO_CHECK_OFFSET(EventCallbackRecord, callbackContext, 5, 0, 20);
KZO_CHECK_SIZE(PluginCallbacks, 3, 0, 12);
KZO_CHECK_SIZE(PluginLoadRecord, 7, 0, 28);
KZO_CHECK_OFFSET(PluginLoadRecord, apiDescription, 6, 0, 24);
KZO_CHECK_SIZE(ArgumentRecord, 6, 1, 25);
KZO_CHECK_OFFSET(ArgumentRecord, optional, 6, 0, 24);
KZO_CHECK_SIZE(FunctionRecord, 15, 1, 61);
KZO_CHECK_OFFSET(FunctionRecord, name, 3, 0, 12);
KZO_CHECK_OFFSET(FunctionRecord, resultKind, 7, 0, 28);
KZO_CHECK_OFFSET(FunctionRecord, threadSafe, 12, 0, 48);
KZO_CHECK_OFFSET(FunctionRecord, asyncTypeName, 12, 1, 49);
KZO_CHECK_OFFSET(FunctionRecord, tags, 13, 1, 53);
KZO_CHECK_OFFSET(FunctionRecord, tagCount, 14, 1, 57);
KZO_CHECK_SIZE(FieldRecord, 7, 1, 29);
KZO_CHECK_OFFSET(FieldRecord, offset, 3, 0, 12);
KZO_CHECK_OFFSET(FieldRecord, optional, 7, 0, 28);
KZO_CHECK_SIZE(EnumeratorRecord, 4, 0, 16);
KZO_CHECK_SIZE(TypeRecord, 10, 0, 40);
KZO_CHECK_OFFSET(TypeRecord, fields, 7, 0, 28);
KZO_CHECK_OFFSET(TypeRecord, enumerators, 8, 0, 32);
KZO_CHECK_OFFSET(TypeRecord, memberCount, 9, 0, 36);
KZO_CHECK_SIZE(EventRecord, 7, 0, 28);
KZO_CHECK_SIZE(ArgumentLocationEntry, 2, 0, 8);
KZO_CHECK_SIZE(EndpointTextListEntry, 3, 0, 12);
KZO_CHECK_SIZE(EndpointRecord, 22, 2, 90);
KZO_CHECK_OFFSET(EndpointRecord, function.reserved1, 2, 0, 8);
KZO_CHECK_OFFSET(EndpointRecord, onRequest, 15, 1, 61);
KZO_CHECK_OFFSET(EndpointRecord, argumentLocations, 16, 1, 65);
KZO_CHECK_OFFSET(EndpointRecord, pathTemplate, 17, 1, 69);
KZO_CHECK_OFFSET(EndpointRecord, method, 18, 1, 73);
KZO_CHECK_OFFSET(EndpointRecord, flag, 19, 1, 77);
KZO_CHECK_OFFSET(EndpointRecord, textLists, 19, 2, 78);
KZO_CHECK_OFFSET(EndpointRecord, textListCount, 20, 2, 82);
KZO_CHECK_OFFSET(EndpointRecord, methodName, 21, 2, 86);
KZO_CHECK_SIZE(ApiDescriptionRoot, 6, 0, 24);

#ifdef __cplusplus
} /* extern "C" */
#endif

#endif /* KZO_CORE_ABI_H */
