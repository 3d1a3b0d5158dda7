#include "diagnostics/message_template.h"

#include <utility>

#include "diagnostics/fnv1a.h"
#include "diagnostics/internal/parsed_format_directive.h"

namespace Nimbel {

// --- NamedValue ---

bool NamedValue::IsFalsy() const noexcept {
    switch (kind_) {
        case Kind::Bool:
            return !scalar_.boolean;
        case Kind::Signed:
            return scalar_.signedValue == 0;
        case Kind::Unsigned:
            return scalar_.unsignedValue == 0;
        case Kind::Double:
            return scalar_.doubleValue == 0.0;
        case Kind::Text:
            return text_.empty();
    }
    return false;
}

bool operator==(const NamedValue& a, const NamedValue& b) noexcept {
    if (a.kind_ != b.kind_) return false;
    switch (a.kind_) {
        case NamedValue::Kind::Bool:
            return a.scalar_.boolean == b.scalar_.boolean;
        case NamedValue::Kind::Signed:
            return a.scalar_.signedValue == b.scalar_.signedValue;
        case NamedValue::Kind::Unsigned:
            return a.scalar_.unsignedValue == b.scalar_.unsignedValue;
        case NamedValue::Kind::Double:
            return a.scalar_.doubleValue == b.scalar_.doubleValue;
        case NamedValue::Kind::Text:
            return a.text_ == b.text_;
    }
    return false;
}

// --- NamedValues ---

size_t NamedValues::SlotOf(std::string_view name, uint32_t hash) const noexcept {
    const size_t mask = slots_.size() - 1;
    for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const uint32_t index = slots_[slot];
        if (index == 0) return slot;
        const Entry& entry = entries_[index - 1];
        if (entry.hash == hash && entry.name == name) return slot;
    }
}

void NamedValues::Grow() {
    std::vector<uint32_t> slots(slots_.empty() ? 8 : slots_.size() * 2, 0);
    const size_t mask = slots.size() - 1;
    for (size_t i = 0; i < entries_.size(); ++i) {
        size_t slot = entries_[i].hash & mask;
        while (slots[slot] != 0) slot = (slot + 1) & mask;
        slots[slot] = static_cast<uint32_t>(i + 1);
    }
    slots_ = std::move(slots);
}

const NamedValue* NamedValues::Find(std::string_view name) const noexcept {
    if (slots_.empty()) return nullptr;
    const uint32_t index = slots_[SlotOf(name, Fnv1a(name))];
    return index == 0 ? nullptr : &entries_[index - 1].value;
}

void NamedValues::Set(std::string name, NamedValue value) {
    const uint32_t hash = Fnv1a(name);
    if (!slots_.empty()) {
        const uint32_t index = slots_[SlotOf(name, hash)];
        if (index != 0) {
            entries_[index - 1].value = std::move(value);
            return;
        }
    }
    // Keep at most half of the slots in use, so probes stay short and end.
    if ((entries_.size() + 1) * 2 > slots_.size()) Grow();
    entries_.push_back(Entry{std::move(name), std::move(value), hash});
    slots_[SlotOf(entries_.back().name, hash)] = static_cast<uint32_t>(entries_.size());
}

bool operator==(const NamedValues& a, const NamedValues& b) noexcept {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.entries_.size(); ++i) {
        if (a.entries_[i].name != b.entries_[i].name) return false;
        if (!(a.entries_[i].value == b.entries_[i].value)) return false;
    }
    return true;
}

// --- PrepareTemplate ---

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// The conversion a bare "%N" gets in Format for an argument of this kind (its
// FormatArg kind's default conversion and length text), written explicitly.
const char* ExplicitConversion(NamedValue::Kind kind) {
    switch (kind) {
        case NamedValue::Kind::Bool:
            return "d";
        case NamedValue::Kind::Signed:
            return "lld";
        case NamedValue::Kind::Unsigned:
            return "llu";
        case NamedValue::Kind::Double:
            return "g";
        case NamedValue::Kind::Text:
            return "s";
    }
    return "s";
}

const char* KindSuffix(NamedValue::Kind kind) {
    switch (kind) {
        case NamedValue::Kind::Bool:
            return "_bool";
        case NamedValue::Kind::Signed:
        case NamedValue::Kind::Unsigned:
            return "_int";
        case NamedValue::Kind::Double:
            return "_float";
        case NamedValue::Kind::Text:
            return "_str";
    }
    return "_str";
}

// Whether the name already ends, after its last "_", with a type suffix.
bool HasTypeSuffix(std::string_view name) {
    const size_t underscore = name.rfind('_');
    if (underscore == std::string_view::npos) return false;
    const std::string_view suffix = name.substr(underscore);
    for (const std::string_view known :
         {"_bool", "_int", "_long", "_float", "_str", "_time", "_ip"}) {
        if (suffix == known) return true;
    }
    return false;
}

// The prepared text. Remembers where the last bare "%N" ended, so that text
// appended directly after it that would extend its number (a digit) or turn
// it into a position ("$") first makes the placeholder explicit. Text before
// that end never changes (trimming stops at the N's last digit), so an output
// of exactly that length still ends with the bare "%N".
class PreparedText {
public:
    explicit PreparedText(std::string& out) : out_(out), base_(out.size()) {}

    void Append(std::string_view text) {
        if (text.empty()) return;
        if (bareEnd_ == out_.size() && (IsDigit(text.front()) || text.front() == '$')) {
            out_.append("$").append(bareConversion_);
            bareEnd_ = std::string::npos;
        }
        out_.append(text);
    }
    void Append(char c) { Append(std::string_view(&c, 1)); }

    void AppendBare(size_t index, NamedValue::Kind kind) {
        Append("%");
        Append(std::to_string(index));
        bareEnd_ = out_.size();
        bareConversion_ = ExplicitConversion(kind);
    }

    // Removes whitespace at the end of what this preparation appended.
    void TrimTrailingSpace() {
        size_t end = out_.size();
        while (end > base_ && IsSpace(out_[end - 1])) --end;
        out_.resize(end);
    }

private:
    std::string& out_;
    const size_t base_;
    size_t bareEnd_ = std::string::npos;
    const char* bareConversion_ = "";
};

struct Placeholder {
    bool typed = false;
    bool hidden = false;
    bool hasAlternative = false;
    std::string name;
    std::string alternative;
    std::string conversion;
};

// Reads the placeholder whose inside starts at `at`. Returns the offset after
// its closing "}", or npos when the template ends first.
size_t ReadPlaceholder(std::string_view tmpl, size_t at, Placeholder& placeholder) {
    std::string* current = &placeholder.name;
    for (; at < tmpl.size(); ++at) {
        const char c = tmpl[at];
        switch (c) {
            case '}':
                return at + 1;
            case '!':
                placeholder.hidden = true;
                break;
            case '?':
                placeholder.hasAlternative = true;
                current = &placeholder.alternative;
                break;
            case ':':
                current = &placeholder.conversion;
                break;
            case '\\':
                if (at + 1 < tmpl.size()) current->push_back(tmpl[++at]);
                break;
            case '{':
                break;
            default:
                current->push_back(c);
                break;
        }
    }
    return std::string_view::npos;
}

void Resolve(Placeholder& placeholder, size_t index, const NamedValue& arg, PreparedText& text,
             NamedValues& values) {
    if (placeholder.typed && !HasTypeSuffix(placeholder.name)) {
        placeholder.name += KindSuffix(arg.kind());
    }
    if (placeholder.hasAlternative && arg.IsFalsy()) {
        text.Append(placeholder.alternative);
        return;
    }
    if (!placeholder.name.empty()) values.Set(std::move(placeholder.name), arg);
    if (placeholder.hidden) {
        text.TrimTrailingSpace();
        return;
    }
    if (!placeholder.conversion.empty()) {
        text.Append("%");
        text.Append(std::to_string(index));
        text.Append("$");
        text.Append(placeholder.conversion);
    } else {
        text.AppendBare(index, arg.kind());
    }
}

}  // namespace

void PrepareTemplate(std::string_view tmpl, const NamedValue* args, size_t count, std::string& out,
                     NamedValues& values) {
    if (args == nullptr) count = 0;
    PreparedText text(out);
    size_t index = 1;
    size_t at = 0;
    while (at < tmpl.size()) {
        const char c = tmpl[at];
        const char next = at + 1 < tmpl.size() ? tmpl[at + 1] : '\0';
        if (c == '{' && next == '{') {
            text.Append('{');
            at += 2;
        } else if (c == '}') {
            text.Append('}');
            at += next == '}' ? 2 : 1;
        } else if (c == '%' && next == '%') {
            text.Append("%%");
            at += 2;
        } else if (c == '%') {
            internal::ParsedFormatDirective parsed;
            size_t sequence = index;
            if (!internal::ParseFormatDirective(tmpl, at, count, sequence, parsed)) return;
            if (parsed.valueArg <= count) text.Append(tmpl.substr(at, parsed.end - at));
            index = parsed.valueArg + 1;
            at = parsed.end;
        } else if (c == '{') {
            Placeholder placeholder;
            placeholder.typed = next == '#';
            at = ReadPlaceholder(tmpl, at + (placeholder.typed ? 2 : 1), placeholder);
            if (at == std::string_view::npos) return;
            if (index <= count) {
                Resolve(placeholder, index, args[index - 1], text, values);
                ++index;
            }
        } else {
            text.Append(c);
            ++at;
        }
    }
}

TemplateMessage FormatTemplateWith(std::string_view tmpl, const NamedValue* named,
                                   const FormatArg* args, size_t count) {
    TemplateMessage message;
    std::string prepared;
    PrepareTemplate(tmpl, named, count, prepared, message.values);
    char buffer[kFormatMessageCapacity];
    const size_t length = Format(buffer, sizeof buffer, prepared.c_str(), args, count);
    message.text.assign(buffer, length);
    return message;
}

}  // namespace Nimbel
