#include "diagnostics/text_format.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

#include "diagnostics/c_locale.h"
#include "diagnostics/internal/parsed_format_directive.h"

namespace Nimbel {
namespace {

using internal::ParsedFormatDirective;

// Widths and precisions far beyond the room left would only make snprintf pad
// or compute digits that are cut anyway, possibly for seconds or gigabytes:
// they are reduced so that the work stays near the room, and the visible
// output stays the same. A precision this far past the room cannot change
// the visible digits of an integer, nor of a double (whose exact decimal form
// has fewer than 1100 digits after the point).
constexpr int64_t kPrecisionMargin = 1100;
// Longest text a number needs besides its precision digits (sign, 309 integer
// digits of a double, point, exponent, "0x" prefix).
constexpr int64_t kNumberMargin = 400;
// snprintf counts in int: keep every field well inside it.
constexpr int64_t kFieldLimit = int64_t{1} << 30;

int64_t RoomLimit(size_t room) {
    return static_cast<int64_t>(std::min<size_t>(room, static_cast<size_t>(kFieldLimit)));
}

int ClampField(int64_t value, int64_t limit) {
    return static_cast<int>(std::min({value, limit, kFieldLimit}));
}

struct NumberFields {
    int width;
    int precision;
};

// The width and precision passed for a number. When the precision is reduced
// and it sets the length of the output (every number conversion but %g
// without "#", which drops trailing zeros), the width is reduced by as much,
// so that the padding before the number keeps its size.
NumberFields ClampNumberFields(const FormatDirective& directive, size_t room,
                               bool precisionSetsLength) {
    const int64_t roomLimit = RoomLimit(room);
    int64_t width = directive.width;
    int64_t precision = directive.hasPrecision ? directive.precision : 0;
    const int64_t precisionLimit = roomLimit + kPrecisionMargin;
    if (precision > precisionLimit) {
        if (precisionSetsLength) width = std::max<int64_t>(0, width - (precision - precisionLimit));
        precision = precisionLimit;
    }
    return {ClampField(width, roomLimit + precision + kNumberMargin),
            ClampField(precision, kFieldLimit)};
}

// Builds the snprintf format for one value: "%", the flags the conversion
// defines, "*" for the width, ".*" for the precision when the conversion takes
// one, the length, the conversion. Every width and precision goes through "*",
// so the format never holds more than 12 characters.
class CFormat {
public:
    CFormat(const FormatDirective& directive, const char* flags, bool withPrecision,
            const char* length, char conversion) {
        Put('%');
        for (const char* flag = flags; *flag != '\0'; ++flag) {
            if (HasFlag(directive, *flag)) Put(*flag);
        }
        Put('*');
        if (withPrecision) {
            Put('.');
            Put('*');
        }
        for (const char* c = length; *c != '\0'; ++c) Put(*c);
        Put(conversion);
    }
    [[nodiscard]] const char* c_str() const { return text_; }

private:
    static bool HasFlag(const FormatDirective& directive, char flag) {
        switch (flag) {
            case '-':
                return directive.leftAlign;
            case '+':
                return directive.forceSign;
            case ' ':
                return directive.spaceSign;
            case '#':
                return directive.alternate;
            case '0':
                return directive.zeroPad;
            default:
                return false;
        }
    }
    void Put(char c) { text_[length_++] = c; }

    char text_[16] = {};
    size_t length_ = 0;
};

// The one call of snprintf. Its format is built at run time, and CFormat
// makes it match the arguments passed, which a format warning cannot see.
// Numbers are written as in the "C" locale whatever the host process set.
template <class... Values>
int Print(char* out, size_t room, const CFormat& format, Values... values) {
    const CLocaleScope cLocale;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    return std::snprintf(out, room, format.c_str(), values...);
#pragma GCC diagnostic pop
}

// Integer kinds. `bits` holds the value sign- or zero-extended to 64 bits.
int WriteInteger(char* out, size_t room, const FormatDirective& directive, uint64_t bits) {
    const char conversion = directive.conversion;
    if (conversion == 'c') {
        // "%c" takes an int and defines neither precision, "#", "0" nor a length.
        const CFormat format(directive, "-", false, "", 'c');
        const int width = ClampField(directive.width, RoomLimit(room) + 1);
        return Print(out, room, format, width, static_cast<int>(static_cast<uint32_t>(bits)));
    }
    const bool isSigned = conversion == 'd' || conversion == 'i';
    // The platform's build was 32-bit: only "ll" and "j" converted 64 bits.
    const bool wide =
        std::strcmp(directive.length, "ll") == 0 || std::strcmp(directive.length, "j") == 0;
    const char* length = wide ? "ll" : "";
    if (std::strcmp(directive.length, "h") == 0 || std::strcmp(directive.length, "hh") == 0) {
        length = directive.length;  // defined on the int passed: the value is narrowed further
    }
    const char* flags = isSigned ? "-+ 0" : "-+ #0";
    const CFormat format(directive, flags, directive.hasPrecision, length, conversion);
    const auto [width, precision] =
        ClampNumberFields(directive, room, /*precisionSetsLength=*/true);
    // Structured bindings are copied in by name: clang 14 cannot capture them.
    const auto print = [&, width = width, precision = precision](auto value) {
        return directive.hasPrecision ? Print(out, room, format, width, precision, value)
                                      : Print(out, room, format, width, value);
    };
    if (wide) {
        return isSigned ? print(static_cast<long long>(bits))
                        : print(static_cast<unsigned long long>(bits));
    }
    const auto low = static_cast<uint32_t>(bits);
    return isSigned ? print(static_cast<int>(low)) : print(static_cast<unsigned int>(low));
}

int WriteSigned(char* out, size_t room, const FormatDirective& directive,
                const FormatValue& value) noexcept {
    return WriteInteger(out, room, directive, static_cast<uint64_t>(value.signedValue));
}

int WriteUnsigned(char* out, size_t room, const FormatDirective& directive,
                  const FormatValue& value) noexcept {
    return WriteInteger(out, room, directive, value.unsignedValue);
}

int32_t ReadSigned(const FormatValue& value) noexcept {
    return static_cast<int32_t>(value.signedValue);
}

int32_t ReadUnsigned(const FormatValue& value) noexcept {
    return static_cast<int32_t>(value.unsignedValue);
}

int WriteDouble(char* out, size_t room, const FormatDirective& directive,
                const FormatValue& value) noexcept {
    // Any length ("L", "l", ...) is dropped: the value passed is a double.
    const CFormat format(directive, "-+ #0", directive.hasPrecision, "", directive.conversion);
    const bool dropsZeros =
        (directive.conversion == 'g' || directive.conversion == 'G') && !directive.alternate;
    const auto [width, precision] = ClampNumberFields(directive, room, !dropsZeros);
    return directive.hasPrecision ? Print(out, room, format, width, precision, value.doubleValue)
                                  : Print(out, room, format, width, value.doubleValue);
}

int WriteCText(char* out, size_t room, const FormatDirective& directive,
               const FormatValue& value) noexcept {
    // Read no further than the precision allows: the text need not end before it.
    const char* text = value.cText;
    const size_t limit = directive.hasPrecision ? static_cast<size_t>(directive.precision)
                                                : std::numeric_limits<size_t>::max();
    size_t length = 0;
    while (length < limit && text[length] != '\0') ++length;
    return WriteFormatText(out, room, directive, std::string_view(text, length));
}

int WriteTextRef(char* out, size_t room, const FormatDirective& directive,
                 const FormatValue& value) noexcept {
    return WriteFormatText(out, room, directive,
                           std::string_view(value.text.data, value.text.size));
}

// Reads a "*" argument into a width or precision. False stops formatting.
bool ReadStar(const FormatArg* args, size_t count, size_t arg, int64_t& value) {
    if (arg > count) return false;
    const FormatKind& kind = args[arg - 1].kind();
    if (!kind.isInteger || kind.readInt32 == nullptr) return false;
    value = kind.readInt32(args[arg - 1].value());
    return true;
}

// Completes the conversion directive for the value's kind. False
// stops formatting.
bool Resolve(ParsedFormatDirective& parsed, const FormatArg* args, size_t count) {
    FormatDirective& directive = parsed.directive;
    if (parsed.valueArg > count) return false;
    if (parsed.widthArg != 0) {
        int64_t width = 0;
        if (!ReadStar(args, count, parsed.widthArg, width)) return false;
        if (width < 0) {
            directive.leftAlign = true;
            width = -width;
        }
        directive.width = static_cast<int32_t>(std::min<int64_t>(width, INT32_MAX));
    }
    if (parsed.precisionArg != 0) {
        int64_t precision = 0;
        if (!ReadStar(args, count, parsed.precisionArg, precision)) return false;
        // A negative precision is taken as if none were given.
        directive.hasPrecision = precision >= 0;
        directive.precision = static_cast<int32_t>(std::max<int64_t>(precision, 0));
    }
    const FormatKind& kind = args[parsed.valueArg - 1].kind();
    if (parsed.bare) {
        // Short enough: a length text has at most two characters.
        for (size_t i = 0; kind.lengthText[i] != '\0' && i + 1 < sizeof directive.length; ++i) {
            directive.length[i] = kind.lengthText[i];
            parsed.Append(kind.lengthText[i]);
        }
        directive.conversion = kind.conversions[0];
        parsed.Append(directive.conversion);
    } else if (std::strchr(kind.conversions, directive.conversion) == nullptr) {
        directive.conversion = kind.conversions[0];
        directive.text[parsed.textLength - 1] = directive.conversion;
    }
    return true;
}

// Drops a UTF-8 sequence that the cut at `length` left incomplete.
size_t TrimCutSequence(const char* out, size_t length) {
    size_t lead = length;
    for (size_t back = 1; back <= 4 && back <= length; ++back) {
        const auto byte = static_cast<unsigned char>(out[length - back]);
        if ((byte & 0xC0) != 0x80) {
            lead = length - back;
            break;
        }
    }
    if (lead == length) return length;
    const auto byte = static_cast<unsigned char>(out[lead]);
    const size_t needed = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
    return length - lead < needed ? lead : length;
}

}  // namespace

const FormatKind kFormatChar8{&WriteSigned, &ReadSigned, true, "cdiouxX", ""};
const FormatKind kFormatSigned32{&WriteSigned, &ReadSigned, true, "dciouxX", ""};
const FormatKind kFormatUnsigned32{&WriteUnsigned, &ReadUnsigned, true, "ucdioxX", ""};
const FormatKind kFormatSigned64{&WriteSigned, &ReadSigned, true, "dciouxX", "ll"};
const FormatKind kFormatUnsigned64{&WriteUnsigned, &ReadUnsigned, true, "ucdioxX", "ll"};
const FormatKind kFormatDouble{&WriteDouble, nullptr, false, "gaefGAEF", ""};
const FormatKind kFormatCText{&WriteCText, nullptr, false, "s", ""};
const FormatKind kFormatOwnedText{&WriteTextRef, nullptr, false, "s", ""};
const FormatKind kFormatTextView{&WriteTextRef, nullptr, false, "s", ""};

int WriteFormatText(char* out, size_t room, const FormatDirective& directive,
                    std::string_view text) noexcept {
    // "%.*s" reads at most `length` characters: the text need not end with a NUL.
    const size_t length = directive.hasPrecision
                              ? std::min(text.size(), static_cast<size_t>(directive.precision))
                              : text.size();
    const int precision =
        ClampField(static_cast<int64_t>(std::min<size_t>(length, INT32_MAX)), kFieldLimit);
    const int width = ClampField(directive.width, RoomLimit(room) + precision);
    const CFormat format(directive, "-", true, "", 's');
    const char* data = text.data() != nullptr ? text.data() : "";
    return Print(out, room, format, width, precision, data);
}

size_t Format(char* out, size_t capacity, const char* format, const FormatArg* args,
              size_t count) noexcept {
    if (out == nullptr || capacity == 0) return 0;
    if (format == nullptr) format = "";
    if (args == nullptr) count = 0;
    const std::string_view text(format);
    size_t at = 0;
    size_t written = 0;
    size_t sequence = 1;
    bool cut = false;
    while (at < text.size()) {
        if (written + 1 >= capacity) {
            cut = true;
            break;
        }
        const char c = text[at];
        if (c != '%') {
            out[written++] = c;
            ++at;
            continue;
        }
        if (at + 1 < text.size() && text[at + 1] == '%') {
            out[written++] = '%';
            at += 2;
            continue;
        }
        ParsedFormatDirective parsed;
        if (!internal::ParseFormatDirective(text, at, count, sequence, parsed)) break;
        if (!Resolve(parsed, args, count)) break;
        const size_t room = capacity - written;
        const FormatArg& arg = args[parsed.valueArg - 1];
        const int result = arg.kind().write(out + written, room, parsed.directive, arg.value());
        if (result < 0) break;
        if (static_cast<size_t>(result) >= room) {
            written = capacity - 1;
            cut = true;
            break;
        }
        written += static_cast<size_t>(result);
        at = parsed.end;
    }
    if (cut) written = TrimCutSequence(out, written);
    out[written] = '\0';
    return written;
}

}  // namespace Nimbel
