// The kinds of native types that the binding layer describes and converts:
// what a field, an argument or a result is, as the conversions dispatch on it
// and as the API description and help print it.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace Nimbel {

/// A native type kind; 32-bit. The numbers are part of the API description
/// handed to the core, so they never change. 0 means no type.
enum class BindingTypeKind : uint32_t {
    None = 0,
    Bool = 1,       ///< bool
    Int8 = 2,       ///< int8_t
    UInt8 = 3,      ///< uint8_t
    Int16 = 4,      ///< int16_t
    UInt16 = 5,     ///< uint16_t
    Int32 = 6,      ///< int32_t
    UInt32 = 7,     ///< uint32_t
    Int64 = 8,      ///< int64_t
    UInt64 = 9,     ///< uint64_t
    Float = 10,     ///< float
    Double = 11,    ///< double
    String = 12,    ///< std::string
    Object = 13,    ///< a BindingProperty, held unchanged
    Blob = 14,      ///< BindingBytes
    Vector = 15,    ///< std::vector of the element kind
    Enum = 16,      ///< a registered enumeration
    Struct = 17,    ///< a registered record
    Callback = 18,  ///< a callback handle, handled by the field's converter
    Map = 19,       ///< std::unordered_map from std::string to the element kind
};

/// "bool", "int8", "uint8", "int16", "uint16", "int32", "uint32", "int64",
/// "uint64", "float", "double", "string", "object", "blob", "vector", "enum",
/// "struct", "callback", "map"; the empty text for 0 and for any number
/// outside 1 to 19. The text is also the type name that conversion messages print.
[[nodiscard]] constexpr std::string_view BindingTypeKindText(BindingTypeKind kind) noexcept {
    constexpr std::array<std::string_view, 20> kTexts = {
        "",       "bool",   "int8",   "uint8",  "int16",    "uint16", "int32",
        "uint32", "int64",  "uint64", "float",  "double",   "string", "object",
        "blob",   "vector", "enum",   "struct", "callback", "map",
    };
    const auto index = static_cast<uint32_t>(kind);
    return index < kTexts.size() ? kTexts[index] : std::string_view{};
}

}  // namespace Nimbel
