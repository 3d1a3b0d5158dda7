// Builds a NUL-terminated text in a caller's fixed buffer, cutting whatever
// does not fit: the line formatter, the group-name list and the time texts all
// write into buffers whose capacity the caller chose.
#pragma once

#include <cstddef>

namespace Nimbel::internal {

/// Appends to `buffer`, keeping at most `capacity - 1` characters and a
/// terminating NUL. A capacity of 0 writes nothing at all, not even the NUL.
/// The buffer is borrowed and must outlive the object.
class BoundedText {
public:
    BoundedText(char* buffer, size_t capacity) noexcept;

    void Append(const char* text) noexcept;
    void Append(char character) noexcept;
    /// printf-style; the expansion is cut like any other text.
    void AppendFormatted(const char* format, ...) noexcept __attribute__((format(printf, 2, 3)));

    /// Characters written so far, not counting the NUL.
    [[nodiscard]] size_t Size() const noexcept { return size_; }
    /// The last character written, or NUL when nothing was.
    [[nodiscard]] char Last() const noexcept;

private:
    [[nodiscard]] size_t Room() const noexcept;

    char* buffer_;
    size_t capacity_;
    size_t size_ = 0;
};

}  // namespace Nimbel::internal
