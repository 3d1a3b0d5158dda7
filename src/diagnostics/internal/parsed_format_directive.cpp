#include "diagnostics/internal/parsed_format_directive.h"

#include <algorithm>
#include <cstdint>

namespace Nimbel::internal {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsPositionStart(char c) {
    return c >= '1' && c <= '9';
}

// The text being read. Reading past its end yields NUL, which no rule of the
// grammar accepts, so the end of the text ends a conversion directive as a NUL does.
struct Cursor {
    std::string_view text;
    size_t at;

    [[nodiscard]] char Peek(size_t ahead = 0) const noexcept {
        return at + ahead < text.size() ? text[at + ahead] : '\0';
    }
};

// Reads decimal digits, saturating at INT32_MAX.
int64_t ReadNumber(Cursor& cursor) noexcept {
    int64_t number = 0;
    while (IsDigit(cursor.Peek())) {
        number = std::min<int64_t>(number * 10 + (cursor.Peek() - '0'), INT32_MAX);
        ++cursor.at;
    }
    return number;
}

// After a "*": an optional position and "$", else the next argument in sequence.
size_t ReadStarArgument(Cursor& cursor, size_t& sequence) noexcept {
    if (IsPositionStart(cursor.Peek())) {
        Cursor probe = cursor;
        const int64_t position = ReadNumber(probe);
        if (probe.Peek() == '$') {
            cursor.at = probe.at + 1;
            return static_cast<size_t>(position);
        }
    }
    return sequence++;
}

// The width-like part of a width or a precision: "*" with its argument, or
// digits (a single "-" before them is skipped). False when the text grows too long.
bool ReadWidthLike(Cursor& cursor, ParsedFormatDirective& parsed, size_t& sequence, size_t& starArg,
                   int32_t& number) noexcept {
    if (cursor.Peek() == '*') {
        ++cursor.at;
        if (!parsed.Append('*')) return false;
        starArg = ReadStarArgument(cursor, sequence);
        return true;
    }
    if (cursor.Peek() == '-') ++cursor.at;
    int64_t value = 0;
    while (IsDigit(cursor.Peek())) {
        if (!parsed.Append(cursor.Peek())) return false;
        value = std::min<int64_t>(value * 10 + (cursor.Peek() - '0'), INT32_MAX);
        ++cursor.at;
    }
    number = static_cast<int32_t>(value);
    return true;
}

bool IsFlag(char c) noexcept {
    return c == '-' || c == '+' || c == ' ' || c == '#' || c == '0';
}

}  // namespace

bool ParsedFormatDirective::Append(char c) noexcept {
    if (textLength == FormatDirective::kMaxTextLength) return false;
    directive.text[textLength++] = c;
    return true;
}

bool ParseFormatDirective(std::string_view text, size_t start, size_t count, size_t& sequence,
                          ParsedFormatDirective& parsed) noexcept {
    Cursor cursor{text, start + 1};
    parsed.Append('%');
    bool positioned = false;
    if (IsPositionStart(cursor.Peek())) {
        Cursor probe = cursor;
        const auto number = static_cast<size_t>(ReadNumber(probe));
        if (number <= count) {
            parsed.valueArg = number;
            if (probe.Peek() != '$') {
                parsed.bare = true;
                parsed.end = probe.at;
                return true;
            }
            cursor.at = probe.at + 1;
            positioned = true;
        }
        // A number greater than the count is not a position: reading starts
        // again after the "%", so the digits become a width.
    }
    FormatDirective& directive = parsed.directive;
    while (IsFlag(cursor.Peek())) {
        const char flag = cursor.Peek();
        if (!parsed.Append(flag)) return false;
        directive.leftAlign |= flag == '-';
        directive.forceSign |= flag == '+';
        directive.spaceSign |= flag == ' ';
        directive.alternate |= flag == '#';
        directive.zeroPad |= flag == '0';
        ++cursor.at;
    }
    const size_t widthStart = cursor.at;
    if (!ReadWidthLike(cursor, parsed, sequence, parsed.widthArg, directive.width)) return false;
    directive.hasWidth = cursor.at != widthStart;
    if (cursor.Peek() == '.') {
        ++cursor.at;
        if (!parsed.Append('.')) return false;
        directive.hasPrecision = true;
        if (!ReadWidthLike(cursor, parsed, sequence, parsed.precisionArg, directive.precision)) {
            return false;
        }
    }
    const char first = cursor.Peek();
    size_t lengthSize = 0;
    if (first == 'L' || first == 'j' || first == 't' || first == 'z') {
        lengthSize = 1;
    } else if (first == 'h' || first == 'l') {
        lengthSize = cursor.Peek(1) == first ? 2 : 1;
    }
    for (size_t i = 0; i < lengthSize; ++i) {
        if (!parsed.Append(cursor.Peek())) return false;
        directive.length[i] = cursor.Peek();
        ++cursor.at;
    }
    const char conversion = cursor.Peek();
    if (conversion == '\0') return false;  // the text ends inside the conversion directive
    if (!parsed.Append(conversion)) return false;
    directive.conversion = conversion;
    ++cursor.at;
    if (!positioned) parsed.valueArg = sequence++;
    parsed.end = cursor.at;
    return true;
}

}  // namespace Nimbel::internal
