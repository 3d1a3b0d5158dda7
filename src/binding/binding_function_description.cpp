// Function descriptions.
#include "binding/binding_function_description.h"

namespace Nimbel {

BindingFunctionDescription::BindingFunctionDescription(std::string_view functionName,
                                                       size_t argumentCount)
    : name(functionName), arguments(argumentCount) {}

}  // namespace Nimbel
