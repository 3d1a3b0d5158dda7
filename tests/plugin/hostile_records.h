// Core value records that no honest core or peer sends, for tests that hand
// them to the functions the core calls: counts beyond the container limit,
// counts with null arrays, nesting far beyond the limit. Each is refused by
// the conversion before any of its elements is read.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "abi/core_abi.h"

namespace Nimbel::testing {

struct HostileRecord {
    const char* description;
    CoreValue value;
};

/// The records point into this object, which must outlive their use. The
/// arrays they point at hold records of an invalid kind, so a conversion that
/// read an element before refusing the count would fail differently.
class HostileRecords {
public:
    static constexpr size_t kNestedLevels = 100'000;

    HostileRecords() : chain_(kNestedLevels + 1) {
        invalidEntry_.name = "x";
        invalidEntry_.value = invalidElement_;
        for (size_t i = 0; i < kNestedLevels; ++i) {
            chain_[i] = CoreValue{kCoreValueCollection, Word(&chain_[i + 1]), 1};
        }
        records_ = {{
            {"a collection of 300,000,000 records",
             {kCoreValueCollection, Word(&invalidElement_), 300'000'000}},
            {"a structure of 300,000,000 members",
             {kCoreValueStructure, Word(&invalidEntry_), 300'000'000}},
            {"a collection of the largest count",
             {kCoreValueCollection, Word(&invalidElement_), ~KzoWord{0}}},
            {"a collection with a count and a null array", {kCoreValueCollection, 0, 5}},
            {"a structure with a count and a null array", {kCoreValueStructure, 0, 5}},
            {"a blob with a count and no bytes", {kCoreValueBlobOwned, 0, 5}},
            {"100,000 nested collections", chain_.front()},
        }};
    }
    HostileRecords(const HostileRecords&) = delete;
    HostileRecords& operator=(const HostileRecords&) = delete;

    [[nodiscard]] std::span<const HostileRecord> Records() const { return records_; }

private:
    template <class T>
    static KzoWord Word(T* pointer) {
        return reinterpret_cast<KzoWord>(pointer);
    }

    CoreValue invalidElement_{11, 0, 0};
    CoreStructEntry invalidEntry_{};
    std::vector<CoreValue> chain_;
    std::array<HostileRecord, 7> records_{};
};

/// A resource event's payload {uri, eventType, data} whose data is `data`;
/// points into this object and at `uri`, which must outlive its use.
class ResourcePayload {
public:
    ResourcePayload(const char* uri, const CoreValue& data) {
        entries_[0].name = "data";
        entries_[0].value = data;
        entries_[1].name = "eventType";
        entries_[1].value =
            CoreValue{kCoreValueStringBorrowed, reinterpret_cast<KzoWord>("Update"), 0};
        entries_[2].name = "uri";
        entries_[2].value = CoreValue{kCoreValueStringBorrowed, reinterpret_cast<KzoWord>(uri), 0};
    }
    ResourcePayload(const ResourcePayload&) = delete;
    ResourcePayload& operator=(const ResourcePayload&) = delete;

    [[nodiscard]] CoreValue Value() const {
        return CoreValue{kCoreValueStructure, reinterpret_cast<KzoWord>(entries_.data()),
                         entries_.size()};
    }

private:
    std::array<CoreStructEntry, 3> entries_{};
};

}  // namespace Nimbel::testing
