// The one question that writers of values (JSON output, core value records)
// ask of the type registry: the name of an enumerator.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "binding/static_type.h"

namespace Nimbel {

class EnumNameLookup {
public:
    /// The name of the first enumerator, in name order, of the enumeration
    /// whose native type is `type` and whose value is `value`; nullopt when no
    /// enumerator has that value or the type is not registered. The view stays
    /// valid as long as the registry that answered.
    [[nodiscard]] virtual std::optional<std::string_view> EnumeratorName(const StaticTypeId& type,
                                                                         int32_t value) const = 0;

protected:
    ~EnumNameLookup() = default;
};

}  // namespace Nimbel
