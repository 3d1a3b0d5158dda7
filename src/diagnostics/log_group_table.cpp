#include "diagnostics/log_group_table.h"

#include "diagnostics/internal/bounded_text.h"

namespace Nimbel {
namespace {

// Constant-initialised: the predefined groups exist before any static
// constructor of the library registers its own.
constinit LogGroupTable g_processGroups;

}  // namespace

LogGroupTable::Code LogGroupTable::CodeFrom(const char* text) noexcept {
    Code code{};
    for (size_t i = 0; i + 1 < code.size() && text[i] != '\0'; ++i) code[i] = text[i];
    return code;
}

uint64_t LogGroupTable::FindLocked(const Code& code) const noexcept {
    const uint32_t count = count_.load(std::memory_order_relaxed);
    for (uint32_t bit = 0; bit < count; ++bit) {
        if (names_[bit] == code) return 1ull << bit;
    }
    return 0;
}

uint64_t LogGroupTable::Register(const char* code) {
    if (code == nullptr || code[0] == '\0') return 0;
    const Code wanted = CodeFrom(code);
    std::lock_guard lock(registration_);
    if (const uint64_t existing = FindLocked(wanted); existing != 0) return existing;
    const uint32_t bit = count_.load(std::memory_order_relaxed);
    if (bit >= kLogGroupCapacity) return 0;
    names_[bit] = wanted;
    count_.store(bit + 1, std::memory_order_release);
    return 1ull << bit;
}

const char* LogGroupTable::NameOf(uint32_t bit) const noexcept {
    if (bit >= count_.load(std::memory_order_acquire)) return "???";
    return names_[bit].data();
}

size_t LogGroupTable::ToText(uint64_t mask, char* buffer, size_t capacity) const noexcept {
    internal::BoundedText text(buffer, capacity);
    bool first = true;
    for (uint32_t bit = 0; bit < kLogGroupCapacity; ++bit) {
        if ((mask & (1ull << bit)) == 0) continue;
        if (!first) text.Append(';');
        text.Append(NameOf(bit));
        first = false;
    }
    return text.Size();
}

uint64_t GroupFromName(const char* code) {
    return g_processGroups.Register(code);
}

size_t GroupsToText(char* buffer, size_t capacity, uint64_t mask) noexcept {
    return g_processGroups.ToText(mask, buffer, capacity);
}

}  // namespace Nimbel
