// What one value-to-native conversion may write, bounded by what it read.
//
// An empty element of a vector of records keeps a whole default record, and
// so does a record given as an empty structure; every field of it is written
// back out when the record is answered. A few bytes of input could so become
// an answer thousands of times their size. Each conversion therefore counts
// the nodes its native result stands for and refuses to pass the larger of
// kFreeWrittenNodes and kWrittenNodesPerNodeRead times the nodes of its input,
// as the YAML reader bounds what its aliases copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "binding/binding_property.h"
#include "binding/binding_status.h"

namespace Nimbel {
struct BindingTypeDescription;
}  // namespace Nimbel

namespace Nimbel::internal {

/// Any conversion may write this many nodes, whatever its input.
inline constexpr uint64_t kFreeWrittenNodes = 1'000'000;
/// Beyond that, each node of the input allows this many written: records
/// given in full write about one node per node read, so only defaults made
/// from next to nothing come near it.
inline constexpr uint64_t kWrittenNodesPerNodeRead = 10;

/// Opens the budget of the conversion of `input` on this thread, unless one is
/// open already: conversions nested in another (record fields, elements, field
/// converters) share the outermost one's. The scope must end before `input`
/// does; scopes end in the reverse order of their opening.
class ConversionBudgetScope {
public:
    explicit ConversionBudgetScope(const BindingProperty& input) noexcept;
    ~ConversionBudgetScope();
    ConversionBudgetScope(const ConversionBudgetScope&) = delete;
    ConversionBudgetScope& operator=(const ConversionBudgetScope&) = delete;

    /// Counted by ChargeWrittenNodes; public only for it.
    struct Budget {
        const BindingProperty* input = nullptr;
        uint64_t written = 0;
        uint64_t read = 0;  ///< the input's nodes; 0 until they are counted
    };

private:
    Budget budget_;
    bool opened_ = false;
};

/// Counts `count` times `nodesEach` nodes more for the conversion under way
/// (saturating). True while that stays within its budget; otherwise fails
/// `status` with "Couldn't assign value to '%1' because the conversion would
/// write more than %2 nodes from the %3 nodes of its input." (%1 `name`, %2
/// the limit, %3 the nodes of the input) and returns false. Without an open
/// budget nothing is counted.
[[nodiscard]] bool ChargeWrittenNodes(BindingStatus& status, uint64_t count, uint64_t nodesEach,
                                      std::string_view name);

/// The nodes a default record of `description` stands for: one for the record
/// and one per field, a field that is itself a record counted as that whole
/// record. 1 for a null description.
[[nodiscard]] uint64_t DefaultRecordNodes(const BindingTypeDescription* description) noexcept;

}  // namespace Nimbel::internal
