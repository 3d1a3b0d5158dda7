// JsonValueWriter: one RapidJSON writer call per node, for both layouts.
#include "codecs/internal/json_value_writer.h"

#include <optional>
#include <string>

#include "binding/internal/base64.h"

namespace Nimbel::internal {
namespace {

[[nodiscard]] rapidjson::SizeType JsonLength(std::string_view text) noexcept {
    return static_cast<rapidjson::SizeType>(text.size());
}

}  // namespace

template <class Writer>
bool JsonValueWriter<Writer>::Empty() {
    return writer_.Null();
}

template <class Writer>
bool JsonValueWriter<Writer>::Bool(bool value) {
    return writer_.Bool(value);
}

template <class Writer>
bool JsonValueWriter<Writer>::Signed(int64_t value) {
    return writer_.Int64(value);
}

template <class Writer>
bool JsonValueWriter<Writer>::Unsigned(uint64_t value) {
    return writer_.Uint64(value);
}

template <class Writer>
bool JsonValueWriter<Writer>::Float(double value) {
    return WriteDoubleOrNull(writer_, value);
}

template <class Writer>
bool JsonValueWriter<Writer>::String(std::string_view text) {
    return WriteUtf8String(writer_, text);
}

template <class Writer>
bool JsonValueWriter<Writer>::Blob(std::span<const uint8_t> bytes) {
    const std::string text = EncodeBase64(bytes);
    return writer_.String(text.data(), JsonLength(text));
}

template <class Writer>
bool JsonValueWriter<Writer>::Enum(const BindingEnum& pair) {
    if (typeContext_ != nullptr) {
        const std::optional<std::string_view> name =
            typeContext_->EnumeratorName(*pair.type, pair.value);
        if (name) return WriteUtf8String(writer_, *name);
    }
    return writer_.Int64(pair.value);
}

template <class Writer>
bool JsonValueWriter<Writer>::BeginCollection(size_t) {
    return writer_.StartArray();
}

template <class Writer>
bool JsonValueWriter<Writer>::BeginElement(size_t) {
    return true;
}

template <class Writer>
bool JsonValueWriter<Writer>::EndElement(size_t) {
    return true;
}

template <class Writer>
bool JsonValueWriter<Writer>::EndCollection() {
    return writer_.EndArray();
}

template <class Writer>
bool JsonValueWriter<Writer>::BeginStructure(size_t) {
    return writer_.StartObject();
}

template <class Writer>
bool JsonValueWriter<Writer>::MemberName(std::string_view name) {
    return WriteUtf8String(writer_, name, true);
}

template <class Writer>
bool JsonValueWriter<Writer>::EndMember() {
    return true;
}

template <class Writer>
bool JsonValueWriter<Writer>::EndStructure() {
    return writer_.EndObject();
}

template class JsonValueWriter<CompactJsonWriter>;
template class JsonValueWriter<IndentedJsonWriter>;

}  // namespace Nimbel::internal
