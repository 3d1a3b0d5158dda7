#include "plugin/outbound_request.h"

#include <algorithm>
#include <array>
#include <atomic>

#include "api/owned_response.h"
#include "binding/core_value.h"
#include "codecs/json_reader.h"

namespace Nimbel {
namespace {

constexpr const char* kParameterTemplate =
    "Request not sent: Error converting parameters for {method} {url}: {error}";
constexpr const char* kErrorResponseTemplate = "Error response for {method} {url}: {error}";
constexpr const char* kStreamTemplate =
    "Error reading streamed response for {method} {url}: {error}";
constexpr const char* kConversionTemplate = "Error converting response for {method} {url}: {error}";

/// Each stream read asks for this much.
constexpr uint32_t kStreamChunk = 4096;
constexpr size_t kMaxStreamReserve = size_t{1} << 20;

[[nodiscard]] Failure MakeFailure(int32_t code, const char* tmpl, RequestMethod method,
                                  std::string_view path, std::string_view error) {
    return Failure::FromTemplate(code, tmpl, std::string_view(MethodWord(method)), path, error);
}

[[nodiscard]] CoreRequest MakeRequest(const AppModule& module, RequestMethod method,
                                      const std::string& path, const OutboundArguments& arguments) {
    CoreRequest request{};
    request.method = static_cast<KzoWord>(RequestMethodFromCode(static_cast<KzoWord>(method)));
    request.path = path.c_str();
    const std::span<const CoreArgumentEntry> entries = arguments.Entries();
    request.arguments = entries.empty() ? nullptr : entries.data();
    request.argumentCount = static_cast<KzoWord>(entries.size());
    request.handle = module.PluginHandle();
    return request;
}

std::atomic<internal::StreamClock> streamClock{&std::chrono::steady_clock::now};

[[nodiscard]] BindingStatus StreamReadError() {
    BindingStatus failed;
    failed.SetError("Stream read error");
    return failed;
}

/// Reads a streamed body 4096 bytes at a time, yielding to the core when a
/// read brings less while more is to come, and parses the text as JSON. A
/// failed read, or no byte for internal::kMaxStreamStall, is a "Stream read
/// error".
[[nodiscard]] BindingStatus ReadStreamedBody(AppModule& module, const CoreResponse& response) {
    const CoreStreamReadFn read = response.streamRead;
    const KzoWord stream = response.stream;
    const internal::StreamClock now = streamClock.load(std::memory_order_relaxed);
    std::string text;
    text.reserve(internal::InitialStreamCapacity(response.expectedSize));
    std::array<uint8_t, kStreamChunk> buffer{};
    uint8_t more = 1;
    std::chrono::steady_clock::time_point lastByte = now();
    while (more != 0) {
        uint32_t size = kStreamChunk;
        if (!read(stream, buffer.data(), &size, &more)) return StreamReadError();
        size = std::min(size, kStreamChunk);  // a reader never delivers more than asked
        text.append(reinterpret_cast<const char*>(buffer.data()), size);
        if (more == 0) break;
        if (size != 0) {
            lastByte = now();
        } else if (now() - lastByte >= internal::kMaxStreamStall) {
            return StreamReadError();
        }
        if (size < kStreamChunk) module.Yield();
    }
    return JsonToValue(text.data(), text.size());
}

/// The body given as a value, converted with "<result>" as its root's name.
[[nodiscard]] BindingStatus ReadBodyValue(const CoreResponse& response) {
    BindingStatus status;
    CoreResponse conversion{};
    if (!CoreValueToProperty(&conversion, status.Value(), response.value, "<result>")) {
        status.SetError(conversion.errorText != nullptr ? conversion.errorText : "");
        CoreResultReleaseError(conversion);
    }
    return status;
}

}  // namespace

// ---- OutboundArguments ----

OutboundArguments::~OutboundArguments() {
    for (CoreArgumentEntry& entry : entries_) CoreValueRelease(entry.value);
}

void OutboundArguments::Append(const BindingProperty& value, const EnumNameLookup* enumNames,
                               std::string_view name) {
    CoreArgumentEntry entry{};
    if (!name.empty()) entry.name = names_.emplace_back(name).c_str();
    entries_.push_back(entry);
    PropertyToCoreValue(entries_.back().value, value, enumNames);
}

// ---- The exchange ----

namespace internal {

void SetStreamClockForTesting(StreamClock clock) noexcept {
    streamClock.store(clock != nullptr ? clock : &std::chrono::steady_clock::now,
                      std::memory_order_relaxed);
}

size_t InitialStreamCapacity(KzoWord announcedSize) noexcept {
    return std::min<size_t>(announcedSize, kMaxStreamReserve);
}

Failure ParameterFailure(RequestMethod method, std::string_view path, std::string_view error) {
    return MakeFailure(400, kParameterTemplate, method, path, error);
}

Failure ResponseConversionFailure(RequestMethod method, std::string_view path,
                                  std::string_view error) {
    return MakeFailure(0, kConversionTemplate, method, path, error);
}

MaybeType<Failure, BindingProperty> ExchangeRequest(AppModule& module, RequestMethod method,
                                                    std::string_view path,
                                                    const OutboundArguments& arguments) {
    const std::string pathText(path);
    const CoreRequest request = MakeRequest(module, method, pathText, arguments);
    // Whatever path the reading takes, the stream is closed and the record
    // released exactly once.
    OwnedResponse owned;
    const CoreResponse& response = owned.Record();
    module.SendRequest(&owned.Record(), &request);

    if (response.errorText != nullptr) {
        return MakeFailure(static_cast<int32_t>(response.status), kErrorResponseTemplate, method,
                           path, response.errorText);
    }
    if (response.streamRead != nullptr) {
        BindingStatus body = ReadStreamedBody(module, response);
        owned.CloseStream();
        if (!body.Ok()) return MakeFailure(0, kStreamTemplate, method, path, body.ErrorMessage());
        return std::move(body.Value());
    }
    BindingStatus body = ReadBodyValue(response);
    if (!body.Ok()) return ResponseConversionFailure(method, path, body.ErrorMessage());
    return std::move(body.Value());
}

}  // namespace internal
}  // namespace Nimbel
