#include "plugin/lcds_call.h"

#include "binding/binding_type_description.h"
#include "codecs/json_writer.h"
#include "plugin/outbound_request.h"

namespace Nimbel {
namespace internal {
namespace {

constexpr const char* kInvokePath = "/kzo-login/v1/session/invoke";
constexpr const char* kClassMember = "__class";

[[nodiscard]] const BindingFieldDescription* FieldNamed(const BindingTypeDescription& record,
                                                        std::string_view name) {
    for (const BindingFieldDescription& field : record.fields) {
        if (field.name == name) return &field;
    }
    return nullptr;
}

}  // namespace

void MarkLcdsClasses(const AppModule& module, BindingProperty& value,
                     const BindingTypeDescription* description) {
    if (description == nullptr || description->isEnum) return;
    if (value.Kind() == BindingPropertyKind::Collection) {
        for (BindingProperty& element : value.Elements())
            MarkLcdsClasses(module, element, description);
        return;
    }
    if (value.Kind() != BindingPropertyKind::Structure) return;
    for (BindingMember& member : value.Members()) {
        const BindingFieldDescription* field = FieldNamed(*description, member.Name());
        if (field != nullptr) MarkLcdsClasses(module, member.Value(), field->type.description);
    }
    // Inserting a member moves the others: done after the walk.
    if (const std::string* className = module.LcdsClassOfType(description->name))
        value[kClassMember] = *className;
}

Failure LcdsParameterFailure(std::string_view error) {
    return Failure::FromTemplate(0, "Couldn't convert LCDS call parameters: {error}", error);
}

MaybeType<Failure, PluginLcdsResponse> InvokeLcds(AppModule& module, std::string_view destination,
                                                  std::string_view method,
                                                  const BindingProperty& arguments) {
    MaybeType<Failure, PluginLcdsResponse> answer = OutboundRequest<PluginLcdsResponse>(
        module, RequestMethod::Post, kInvokePath, std::string(destination), std::string(method),
        arguments);
    if (answer.HasValue() && answer.GetValue().body.IsEmpty()) return Failure();
    return answer;
}

bool CheckLcdsClass(const AppModule& module, uint32_t identityHash, std::string_view destination,
                    std::string_view method, const PluginLcdsResponse& answer, Failure& mismatch) {
    const std::string* expected = module.LcdsClassOfNative(identityHash);
    if (expected == nullptr || *expected == answer.typeName) return true;
    mismatch = Failure::FromTemplate(
        0, "Expected '{expected}' as LCDS response for {destination}.{method}, but got '{actual}'",
        *expected, destination, method, answer.typeName);
    return false;
}

Failure LcdsConversionFailure(const StaticTypeId& type, const BindingProperty& body,
                              const BindingTypeRegistry& registry) {
    return Failure::FromTemplate(0, "Couldn't convert LCDS DTO {name} to C++ from {json}",
                                 std::string_view(type.name),
                                 ValueToJson(body, &registry, nullptr));
}

}  // namespace internal
}  // namespace Nimbel
