#include "api/internal/response_record.h"

#include <memory>
#include <string>

#include "binding/core_value.h"
#include "diagnostics/allocator.h"

namespace Nimbel::internal {
namespace {

constexpr char kSharedEmptyText[] = "";
constexpr char kInternalErrorText[] = "Internal server error";

[[nodiscard]] char* CopyOrThrow(const std::string& text) {
    char* copy = DuplicateText(text.c_str());
    if (copy == nullptr) ThrowBadAlloc();
    return copy;
}

[[nodiscard]] ResponseStream* StreamOf(KzoWord handle) noexcept {
    return reinterpret_cast<ResponseStream*>(handle);
}

bool ReadStream(KzoWord handle, uint8_t* buffer, uint32_t* size, uint8_t* more) {
    if (handle == 0 || size == nullptr || more == nullptr) return false;
    try {
        return StreamOf(handle)->Read(buffer, *size, *more);
    } catch (...) {
        return false;
    }
}

void CloseStream(KzoWord handle) {
    std::unique_ptr<ResponseStream> closed(StreamOf(handle));
}

[[nodiscard]] KzoWord PassedOnKind(uint32_t kind) noexcept {
    return kind >= 1 && kind <= 3 ? kind : 0;
}

void FreeHeaders(CoreResponse& response) noexcept {
    const CoreHeaderPair* pairs = response.headers;
    const KzoWord count = response.headerCount;
    for (KzoWord i = 0; pairs != nullptr && i < count; ++i) {
        const CoreHeaderPair pair = pairs[i];
        Free(const_cast<char*>(pair.name));
        Free(const_cast<char*>(pair.value));
    }
    Free(const_cast<CoreHeaderPair*>(pairs));
}

// The pairs are published in the record before they are filled, so that a
// copy failing half-way leaves everything made so far to ReleaseResponse.
void CopyHeaders(CoreResponse& response, const std::map<std::string, std::string>& headers) {
    if (headers.empty()) return;
    void* block = Allocate(headers.size() * sizeof(CoreHeaderPair));
    if (block == nullptr) ThrowBadAlloc();
    auto* pairs = static_cast<CoreHeaderPair*>(block);
    for (size_t i = 0; i < headers.size(); ++i) pairs[i] = CoreHeaderPair{nullptr, nullptr};
    response.headers = pairs;
    response.headerCount = headers.size();
    size_t i = 0;
    for (const auto& [name, value] : headers) {
        pairs[i].name = CopyOrThrow(name);
        pairs[i].value = CopyOrThrow(value);
        ++i;
    }
}

void HandOverStream(CoreResponse& response, std::unique_ptr<ResponseStream> stream) {
    if (stream == nullptr) return;
    response.expectedSize = static_cast<KzoWord>(stream->ExpectedSize());
    response.streamRead = &ReadStream;
    response.streamClose = &CloseStream;
    response.stream = reinterpret_cast<KzoWord>(stream.release());
}

}  // namespace

namespace {

/// How a record's value was written, which only its release function knows:
/// the core may clear the record's release field before calling it.
enum class ValueLayout { PerNode, OneBlock };

// The shared internal-error text stands in the record with its flag set, and
// is the one error text that is never freed.
void ReleaseErrorText(CoreResponse& response) noexcept {
    if (response.errorText == kInternalErrorText) {
        response.errorText = nullptr;
        response.ownsErrorText = 0;
        return;
    }
    CoreResultReleaseError(response);
}

void Release(CoreResponse* response, ValueLayout layout) noexcept {
    if (response == nullptr) return;
    if (layout == ValueLayout::OneBlock) {
        CoreValueReleaseBlock(response->value);
    } else {
        CoreValueRelease(response->value);
    }
    ReleaseErrorText(*response);
    const char* text = response->text;
    if (text != kSharedEmptyText) Free(const_cast<char*>(text));
    FreeHeaders(*response);
    *response = CoreResponse{};
}

}  // namespace

void ReleaseResponse(CoreResponse* response) noexcept {
    Release(response, ValueLayout::PerNode);
}

void ReleaseResponseWithValueBlock(CoreResponse* response) noexcept {
    Release(response, ValueLayout::OneBlock);
}

void ResetResponse(CoreResponse& response) noexcept {
    response = CoreResponse{};
    response.text = kSharedEmptyText;
    response.release = &ReleaseResponse;
}

void AnswerError(CoreResponse& response, uint32_t status, std::string_view message) {
    CoreResultSetFailure(response, message);
    response.status = status;
}

void AnswerInternalError(CoreResponse& response) noexcept {
    const KzoWord stream = response.stream;
    if (stream != 0) CloseStream(stream);
    // The record is still the library's own here, so its release field is
    // the one FillResponse chose.
    Release(&response, response.release == &ReleaseResponseWithValueBlock ? ValueLayout::OneBlock
                                                                          : ValueLayout::PerNode);
    ResetResponse(response);
    response.errorText = kInternalErrorText;
    response.ownsErrorText = 1;
    response.status = 500;
}

namespace {

// Writes the answer's value as one block: a native answer straight from the
// native value; if that fails, through the generic value, which then says why.
void WriteAnswerValue(CoreResponse& response, CallResult& result, const EnumNameLookup* enumNames) {
    if (result.nativeAnswer != nullptr) {
        CoreValue written{};
        if (result.nativeAnswer->WriteCoreValue(written, enumNames)) {
            response.value = written;
            return;
        }
        result.nativeAnswer->WriteValue(result.status);
        if (!result.status.Ok()) return;
    }
    PropertyToCoreValueBlock(response.value, result.status.Value(), enumNames);
}

}  // namespace

void FillResponse(CoreResponse& response, CallResult& result, const EnumNameLookup* enumNames) {
    if (result.status.Ok()) {
        // One allocation for the whole answer; the record's release function
        // then says how its value is freed.
        response.release = &ReleaseResponseWithValueBlock;
        WriteAnswerValue(response, result, enumNames);
    }
    if (!result.status.Ok()) CoreResultSetFailure(response, result.status.ErrorMessage());
    response.flag = result.flag;
    response.kind = PassedOnKind(result.kind);
    response.status = result.httpStatus;
    if (!result.text.empty()) response.text = CopyOrThrow(result.text);
    CopyHeaders(response, result.headers);
    HandOverStream(response, std::move(result.stream));
}

}  // namespace Nimbel::internal
