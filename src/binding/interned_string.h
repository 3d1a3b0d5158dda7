// An entry of an arena's string intern table: the text of string values and of
// structure member names, shared by every node of one tree that holds it.
#pragma once

#include <cstdint>
#include <string_view>

#include "diagnostics/fnv1a.h"

namespace Nimbel {

namespace internal {
class InternTable;
}  // namespace internal

/// Immutable, NUL-terminated text with its FNV-1a hash. An entry stays valid and
/// unchanged for as long as a reference to it is held; the table owns it and
/// removes it when the last reference is released. The empty text is never
/// interned: every empty string refers to the one shared entry `Empty()`, which
/// holds no references and lives for the whole process.
class InternedString {
public:
    InternedString(const InternedString&) = delete;
    InternedString& operator=(const InternedString&) = delete;

    [[nodiscard]] std::string_view View() const noexcept { return {CStr(), length_}; }
    /// The text, followed by a NUL; it contains no other NUL.
    [[nodiscard]] const char* CStr() const noexcept {
        return length_ == 0 ? "" : reinterpret_cast<const char*>(this + 1);
    }
    [[nodiscard]] uint32_t Hash() const noexcept { return hash_; }
    /// Number of string values and member names that refer to this entry.
    [[nodiscard]] uint32_t References() const noexcept { return references_; }

    /// The shared empty entry.
    [[nodiscard]] static const InternedString& Empty() noexcept { return kEmpty; }

private:
    friend class internal::InternTable;

    constexpr InternedString(uint32_t hash, uint32_t length) noexcept
        : hash_(hash), length_(length) {}

    // Constant-initialised and trivially destructible: usable at any time,
    // including during static initialisation and process exit.
    static const InternedString kEmpty;

    // Bookkeeping of the intern table; the text follows the object in its block.
    InternedString* next_ = nullptr;
    uint32_t hash_;
    uint32_t references_ = 0;
    uint32_t length_;
    /// Scratch of the table's one user at a time: the generation in which a
    /// tree builder last met this name (see InternTable::NewMarkGeneration).
    uint32_t mark_ = 0;
};

inline constinit const InternedString InternedString::kEmpty{kFnv1aOffsetBasis, 0};

}  // namespace Nimbel
