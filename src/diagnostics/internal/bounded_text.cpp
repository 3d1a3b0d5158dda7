#include "diagnostics/internal/bounded_text.h"

#include <cstdarg>
#include <cstdio>

#include "diagnostics/c_locale.h"

namespace Nimbel::internal {

BoundedText::BoundedText(char* buffer, size_t capacity) noexcept
    : buffer_(buffer), capacity_(capacity) {
    if (capacity_ > 0) buffer_[0] = '\0';
}

size_t BoundedText::Room() const noexcept {
    return capacity_ == 0 ? 0 : capacity_ - 1 - size_;
}

char BoundedText::Last() const noexcept {
    return size_ == 0 ? '\0' : buffer_[size_ - 1];
}

void BoundedText::Append(char character) noexcept {
    if (Room() == 0) return;
    buffer_[size_++] = character;
    buffer_[size_] = '\0';
}

void BoundedText::Append(const char* text) noexcept {
    if (text == nullptr) return;
    for (; *text != '\0' && Room() > 0; ++text) buffer_[size_++] = *text;
    if (capacity_ > 0) buffer_[size_] = '\0';
}

void BoundedText::AppendFormatted(const char* format, ...) noexcept {
    if (Room() == 0) return;
    va_list arguments;
    va_start(arguments, format);
    // vsnprintf cuts to the room it is given and reports the full length;
    // numbers are written as in the "C" locale whatever the host set.
    const CLocaleScope cLocale;
    const int wanted = std::vsnprintf(buffer_ + size_, Room() + 1, format, arguments);
    va_end(arguments);
    if (wanted <= 0) {
        buffer_[size_] = '\0';
        return;
    }
    const size_t written = static_cast<size_t>(wanted);
    size_ += written < Room() ? written : Room();
}

}  // namespace Nimbel::internal
