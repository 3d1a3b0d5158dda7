// The conversion messages, letter for letter.
#include "binding/conversion_messages.h"

#include "diagnostics/text_format.h"

namespace Nimbel::internal {

void FailRequired(BindingStatus& status, std::string_view name) {
    status.SetError(FormatMessage("A value for '%1' is required.", name));
}

void FailOutOfRange(BindingStatus& status, int64_t value, std::string_view name,
                    std::string_view typeName) {
    status.SetError(
        FormatMessage("Value %1 for '%2' of type %3 is out of range", value, name, typeName));
}

void FailOutOfRange(BindingStatus& status, uint64_t value, std::string_view name,
                    std::string_view typeName) {
    status.SetError(
        FormatMessage("Value %1 for '%2' of type %3 is out of range", value, name, typeName));
}

void FailOutOfRange(BindingStatus& status, double value, std::string_view name,
                    std::string_view typeName) {
    status.SetError(
        FormatMessage("Value %1 for '%2' of type %3 is out of range", value, name, typeName));
}

void FailInvalidType(BindingStatus& status, std::string_view name, std::string_view typeName,
                     std::string_view kindName) {
    status.SetError(FormatMessage(
        "Couldn't assign value to '%1' of type %2 because the input is of an invalid type %3.",
        name, typeName, kindName));
}

void FailBoolInvalidType(BindingStatus& status, std::string_view name, std::string_view kindName) {
    status.SetError(FormatMessage(
        "Couldn't assign value to '%1' of type bool because the input is of an invalid type %2.",
        name, kindName));
}

void FailBoolFormat(BindingStatus& status, std::string_view text, std::string_view name) {
    status.SetError(
        FormatMessage("Value %1 for '%2' of type bool is in an incorrect format. "
                      "Options are \"true\", \"false\", \"1\", \"0\".",
                      text, name));
}

void FailNotString(BindingStatus& status, std::string_view name) {
    status.SetError(
        FormatMessage("Couldn't assign value to '%1' because the input is not a string.", name));
}

void FailNotEnumerationValue(BindingStatus& status, int32_t value, std::string_view name) {
    status.SetError(FormatMessage("%1 is not a valid enumeration value for '%2'.", value, name));
}

void FailNotEnumeratorOf(BindingStatus& status, int32_t value, std::string_view enumName,
                         std::string_view name) {
    status.SetError(
        FormatMessage("%1 is not a valid %2 enumeration value for '%3'.", value, enumName, name));
}

void FailNotEnumeratorOf(BindingStatus& status, std::string_view text, std::string_view enumName,
                         std::string_view name) {
    status.SetError(
        FormatMessage("%1 is not a valid %2 enumeration value for '%3'.", text, enumName, name));
}

void FailEnumInvalidType(BindingStatus& status, std::string_view name, std::string_view kindName) {
    status.SetError(FormatMessage(
        "Couldn't assign value to '%1' of enum type because the input is of an invalid type %2.",
        name, kindName));
}

void FailInvalidBase64(BindingStatus& status, std::string_view name) {
    status.SetError(
        FormatMessage("Couldn't assign string value to '%1' of type blob because the "
                      "input has invalid base64 characters.",
                      name));
}

void FailNotBlob(BindingStatus& status, std::string_view name) {
    status.SetError(FormatMessage(
        "Couldn't assign value to '%1' of type blob because the input is not a blob.", name));
}

void FailNotCollection(BindingStatus& status, std::string_view name) {
    status.SetError(FormatMessage(
        "Couldn't assign value to '%1' of type vector because the input not a collection.", name));
}

void FailMapNotStructure(BindingStatus& status, std::string_view name) {
    status.SetError(FormatMessage(
        "Couldn't assign value to '%1' of type map because the input not a structure.", name));
}

void FailUnregisteredTarget(BindingStatus& status, std::string_view name) {
    status.SetError(
        FormatMessage("Couldn't assign value to '%1' because the input is an "
                      "unregistered structure or not a structure at all.",
                      name));
}

void FailRecordNotStructure(BindingStatus& status, std::string_view name,
                            std::string_view recordName) {
    status.SetError(
        FormatMessage("Couldn't assign value to '%1' of type %2 because the input not a structure.",
                      name, recordName));
}

void FailRequiredField(BindingStatus& status, std::string_view name, std::string_view recordName,
                       std::string_view fieldName) {
    status.SetError(
        FormatMessage("Couldn't assign value to '%1' of type %2 because the input "
                      "structure doesn't have required field '%3'.",
                      name, recordName, fieldName));
}

void FailWriteBudget(BindingStatus& status, std::string_view name, uint64_t limit, uint64_t read) {
    status.SetError(
        FormatMessage("Couldn't assign value to '%1' because the conversion would "
                      "write more than %2 nodes from the %3 nodes of its input.",
                      name, limit, read));
}

void FailUnregisteredSource(BindingStatus& status) {
    status.SetError("Couldn't convert native value because it's an unregistered structure.");
}

}  // namespace Nimbel::internal
