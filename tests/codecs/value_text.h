// A compact text form of a value for the readers' test tables, so that an
// expected tree is one short literal: ~ empty, true/false, s-1 signed, u5
// unsigned, f1.5 float, "text" string, b:0a0b blob, [..] collection,
// {name:..} structure (members in the structure's order).
#pragma once

#include <charconv>
#include <cstdio>
#include <string>
#include <string_view>

#include "binding/binding_property.h"

namespace Nimbel::testing {

inline void AppendEscaped(std::string& out, std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F || c == '"' || c == '\\') {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02x", byte);
            out += escape;
        } else {
            out += c;
        }
    }
}

inline void AppendValueText(std::string& out, const BindingProperty& value) {
    char number[64];
    switch (value.Kind()) {
        case BindingPropertyKind::Empty:
            out += '~';
            return;
        case BindingPropertyKind::Bool:
            out += value.GetBool() ? "true" : "false";
            return;
        case BindingPropertyKind::Signed:
            out += 's';
            out.append(number,
                       std::to_chars(number, number + sizeof number, value.GetSigned()).ptr);
            return;
        case BindingPropertyKind::Unsigned:
            out += 'u';
            out.append(number,
                       std::to_chars(number, number + sizeof number, value.GetUnsigned()).ptr);
            return;
        case BindingPropertyKind::Float:
            out += 'f';
            out.append(number,
                       std::to_chars(number, number + sizeof number, value.GetDouble()).ptr);
            return;
        case BindingPropertyKind::String:
            out += '"';
            AppendEscaped(out, value.GetString());
            out += '"';
            return;
        case BindingPropertyKind::Blob:
            out += "b:";
            for (const uint8_t byte : value.GetBytes()) {
                std::snprintf(number, sizeof number, "%02x", byte);
                out += number;
            }
            return;
        case BindingPropertyKind::Enum:
            out += 'e';
            out += std::to_string(value.GetEnum().value);
            return;
        case BindingPropertyKind::Collection: {
            out += '[';
            const char* separator = "";
            for (const BindingProperty& element : value.Elements()) {
                out += separator;
                AppendValueText(out, element);
                separator = ",";
            }
            out += ']';
            return;
        }
        case BindingPropertyKind::Structure: {
            out += '{';
            const char* separator = "";
            for (const BindingMember& member : value.Members()) {
                out += separator;
                AppendEscaped(out, member.Name());
                out += ':';
                AppendValueText(out, member.Value());
                separator = ",";
            }
            out += '}';
            return;
        }
    }
}

[[nodiscard]] inline std::string ValueText(const BindingProperty& value) {
    std::string out;
    AppendValueText(out, value);
    return out;
}

}  // namespace Nimbel::testing
