// The help records: native records that describe a registry's functions,
// types and events, registered in every API registry as built-ins, and the
// description of a whole registry built from them (format "Full").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "binding/binding_status.h"

namespace Nimbel {

class BindingTypeRegistry;

/// How a help answer is written; 4 bytes.
enum class BindingHelpFormat : int32_t {
    Full = 1,     ///< the native help records
    Epytext = 2,  ///< Python epytext (registered, never produced here)
};

struct BindingFullTypeIdentifier {
    std::string type;
    std::string elementType;
};

struct BindingFullArgumentHelp {
    std::string name;
    std::string description;
    BindingFullTypeIdentifier type;
    bool optional = false;
};

struct BindingFullFunctionHelp {
    std::string name;
    std::string nameSpace;
    std::vector<BindingFullArgumentHelp> arguments;
    BindingFullTypeIdentifier returns;
    std::string description;
    std::string help;
    bool threadSafe = false;
    std::string async;
    std::vector<std::string> tags;
};

struct BindingFullEnumValueHelp {
    std::string name;
    std::string description;
    int32_t value = 0;
};

struct BindingFullFieldHelp {
    std::string name;
    std::string description;
    uint32_t offset = 0;
    BindingFullTypeIdentifier type;
    bool optional = false;
};

struct BindingFullTypeHelp {
    std::string name;
    std::string nameSpace;
    uint32_t size = 0;
    std::string description;
    std::vector<std::string> tags;
    std::vector<BindingFullFieldHelp> fields;
    std::vector<BindingFullEnumValueHelp> values;
};

struct BindingFullEventHelp {
    std::string name;
    std::string nameSpace;
    BindingFullTypeIdentifier type;
    std::string description;
    std::vector<std::string> tags;
};

struct BindingFullApiHelp {
    std::vector<BindingFullFunctionHelp> functions;
    std::vector<BindingFullTypeHelp> types;
    std::vector<BindingFullEventHelp> events;
};

/// Registers BindingHelpFormat, then the help records in nesting order, each
/// tagged "$builtin" and "help". Names registered already are left as they are.
void RegisterHelpTypes(BindingTypeRegistry& registry);

/// Every function, type and event of `registry`, each list sorted by name in
/// byte order.
[[nodiscard]] BindingFullApiHelp DescribeApi(const BindingTypeRegistry& registry);

/// DescribeApi as a generic value: a structure with the members "functions",
/// "types" and "events". Fails when the help records are not registered.
[[nodiscard]] BindingStatus ApiHelpValue(const BindingTypeRegistry& registry);

}  // namespace Nimbel
