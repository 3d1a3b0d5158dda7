// The buffer the JSON writers write into: one block from the counted heap
// that grows in place, from which the finished text is copied out once.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace Nimbel::internal {

/// Meets RapidJSON's output stream concept, with the reserve-then-put fast
/// path that RapidJSON's writers use for its own string buffer (the overloads
/// below, found by argument-dependent lookup). The block at least doubles
/// when full and is resized with Reallocate, which for large blocks moves no
/// bytes; exhausted memory throws std::bad_alloc. Owns its block; not copyable.
class JsonTextBuffer {
public:
    using Ch = char;

    JsonTextBuffer() noexcept = default;
    JsonTextBuffer(const JsonTextBuffer&) = delete;
    JsonTextBuffer& operator=(const JsonTextBuffer&) = delete;
    ~JsonTextBuffer();

    void Put(char c) {
        if (next_ == end_) Grow(1);
        *next_++ = c;
    }
    void Flush() noexcept {}
    /// Makes room for `count` more characters, for PutUnchecked.
    void Reserve(size_t count) {
        if (static_cast<size_t>(end_ - next_) < count) Grow(count);
    }
    /// Puts a character into room made by Reserve.
    void PutUnchecked(char c) noexcept { *next_++ = c; }
    /// Where the next character goes, in room made by Reserve; Advance past
    /// the characters written there.
    [[nodiscard]] char* Next() noexcept { return next_; }
    void Advance(size_t count) noexcept { next_ += count; }
    /// Puts `count` characters into room made by Reserve, in one copy.
    void PutRunUnchecked(const char* run, size_t count) noexcept {
        std::memcpy(next_, run, count);
        next_ += count;
    }

    /// The count of characters written so far.
    [[nodiscard]] size_t Size() const noexcept { return static_cast<size_t>(next_ - begin_); }
    /// Drops what was written after the first `size` characters.
    void Truncate(size_t size) noexcept {
        if (size < Size()) next_ = begin_ + size;
    }

    /// The text written so far; valid until the next Put or Reserve.
    [[nodiscard]] std::string_view Text() const noexcept;

private:
    void Grow(size_t count);

    char* begin_ = nullptr;
    char* next_ = nullptr;
    char* end_ = nullptr;
};

inline void PutReserve(JsonTextBuffer& buffer, size_t count) {
    buffer.Reserve(count);
}

inline void PutUnsafe(JsonTextBuffer& buffer, char c) noexcept {
    buffer.PutUnchecked(c);
}

}  // namespace Nimbel::internal
