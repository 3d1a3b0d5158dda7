// The failures of the value-to-native and native-to-value conversions, each
// with its fixed message. Every function fails `status` (clearing its value)
// and builds its text only then, so the success path builds no string.
#pragma once

#include <cstdint>
#include <string_view>

#include "binding/binding_status.h"

namespace Nimbel::internal {

/// "A value for '%1' is required."
void FailRequired(BindingStatus& status, std::string_view name);
/// "Value %1 for '%2' of type %3 is out of range", %1 the number.
void FailOutOfRange(BindingStatus& status, int64_t value, std::string_view name,
                    std::string_view typeName);
void FailOutOfRange(BindingStatus& status, uint64_t value, std::string_view name,
                    std::string_view typeName);
void FailOutOfRange(BindingStatus& status, double value, std::string_view name,
                    std::string_view typeName);
/// "Couldn't assign value to '%1' of type %2 because the input is of an invalid type %3."
void FailInvalidType(BindingStatus& status, std::string_view name, std::string_view typeName,
                     std::string_view kindName);
/// The bool target's invalid-type message, %2 the input's kind name.
void FailBoolInvalidType(BindingStatus& status, std::string_view name, std::string_view kindName);
/// The bool target's incorrect-format message listing "true", "false", "1", "0".
void FailBoolFormat(BindingStatus& status, std::string_view text, std::string_view name);
/// "Couldn't assign value to '%1' because the input is not a string."
void FailNotString(BindingStatus& status, std::string_view name);
/// "%1 is not a valid enumeration value for '%2'."
void FailNotEnumerationValue(BindingStatus& status, int32_t value, std::string_view name);
/// "%1 is not a valid %2 enumeration value for '%3'.", %1 the number or the text.
void FailNotEnumeratorOf(BindingStatus& status, int32_t value, std::string_view enumName,
                         std::string_view name);
void FailNotEnumeratorOf(BindingStatus& status, std::string_view text, std::string_view enumName,
                         std::string_view name);
/// The enum target's invalid-type message, %2 the input's kind name.
void FailEnumInvalidType(BindingStatus& status, std::string_view name, std::string_view kindName);
/// The blob target's invalid-base64 message.
void FailInvalidBase64(BindingStatus& status, std::string_view name);
/// The blob target's not-a-blob message.
void FailNotBlob(BindingStatus& status, std::string_view name);
/// The vector target's not-a-collection message.
void FailNotCollection(BindingStatus& status, std::string_view name);
/// The map target's not-a-structure message.
void FailMapNotStructure(BindingStatus& status, std::string_view name);
/// The record target's message for a type without a description.
void FailUnregisteredTarget(BindingStatus& status, std::string_view name);
/// The record target's not-a-structure message, %2 the registered name.
void FailRecordNotStructure(BindingStatus& status, std::string_view name,
                            std::string_view recordName);
/// The record target's missing-required-field message.
void FailRequiredField(BindingStatus& status, std::string_view name, std::string_view recordName,
                       std::string_view fieldName);
/// "Couldn't assign value to '%1' because the conversion would write more than
/// %2 nodes from the %3 nodes of its input."
void FailWriteBudget(BindingStatus& status, std::string_view name, uint64_t limit, uint64_t read);
/// "Couldn't convert native value because it's an unregistered structure."
void FailUnregisteredSource(BindingStatus& status);

}  // namespace Nimbel::internal
