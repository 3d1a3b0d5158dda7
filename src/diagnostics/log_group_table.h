// Log groups: bit i of a 64-bit mask stands for group i, named by a code of
// three characters. Groups 0 to 7 are predefined; further groups are
// registered by name at run time and take the next free bit.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "diagnostics/constant_init_mutex.h"

namespace Nimbel {

namespace LogGroups {
inline constexpr uint64_t DBG = 1ull << 0;
inline constexpr uint64_t GEN = 1ull << 1;
inline constexpr uint64_t XTR = 1ull << 2;
inline constexpr uint64_t PRF = 1ull << 3;
inline constexpr uint64_t MEM = 1ull << 4;
inline constexpr uint64_t DSK = 1ull << 5;
inline constexpr uint64_t NET = 1ull << 6;
inline constexpr uint64_t TST = 1ull << 7;
}  // namespace LogGroups

inline constexpr uint32_t kLogGroupCapacity = 64;
inline constexpr uint32_t kPredefinedLogGroupCount = 8;

/// The names of the 64 groups. A name, once registered, keeps its bit and its
/// text for the life of the table, so readers need no lock: registration is
/// serialised and publishes each name before raising the atomic count.
class LogGroupTable {
public:
    /// A table holding the eight predefined groups.
    constexpr LogGroupTable() noexcept
        : names_{{{"DBG"}, {"GEN"}, {"XTR"}, {"PRF"}, {"MEM"}, {"DSK"}, {"NET"}, {"TST"}}},
          count_(kPredefinedLogGroupCount) {}
    LogGroupTable(const LogGroupTable&) = delete;
    LogGroupTable& operator=(const LogGroupTable&) = delete;

    /// The mask of the group named by the first three characters of `code`:
    /// its existing bit when the name is known, else the next free bit. Returns
    /// 0, registering nothing, for a null or empty code and once all 64 bits
    /// are taken.
    [[nodiscard]] uint64_t Register(const char* code);

    /// The code of group `bit`, or "???" when no name holds that bit.
    [[nodiscard]] const char* NameOf(uint32_t bit) const noexcept;

    /// Writes the codes of the groups in `mask`, lowest bit first, joined with
    /// ";" (nothing for an empty mask), cut to fit `capacity` with its NUL.
    /// Returns the number of characters written, not counting the NUL.
    size_t ToText(uint64_t mask, char* buffer, size_t capacity) const noexcept;

private:
    using Code = std::array<char, 4>;

    [[nodiscard]] static Code CodeFrom(const char* text) noexcept;
    [[nodiscard]] uint64_t FindLocked(const Code& code) const noexcept;

    ConstantInitMutex registration_;
    std::array<Code, kLogGroupCapacity> names_;
    std::atomic<uint32_t> count_;
};

/// Registers `code` in the process-wide table (see LogGroupTable::Register).
[[nodiscard]] uint64_t GroupFromName(const char* code);

/// Writes the process-wide codes of `mask` (see LogGroupTable::ToText).
size_t GroupsToText(char* buffer, size_t capacity, uint64_t mask) noexcept;

}  // namespace Nimbel
