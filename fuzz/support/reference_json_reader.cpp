// The reference reader: one RapidJSON handler event, one store into the tree.
#include "support/reference_json_reader.h"

#include <rapidjson/reader.h>

#include <cerrno>
#include <string_view>
#include <vector>

#include "binding/number_text.h"

namespace Nimbel::fuzz {
namespace {

class ImmediateBuilder : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, ImmediateBuilder> {
public:
    explicit ImmediateBuilder(BindingProperty& root) : target_(&root) {}

    bool Null() {
        static_cast<void>(Place());
        return true;
    }
    bool Bool(bool value) { return Set(value); }
    bool Int(int value) { return Set(int64_t{value}); }
    bool Uint(unsigned value) { return Set(uint64_t{value}); }
    bool Int64(int64_t value) { return Set(value); }
    bool Uint64(uint64_t value) { return Set(value); }
    bool Double(double value) { return Set(value); }
    // The C library's conversions, correctly rounded: integers by sign while
    // they fit 64 bits, every other number as the nearest double. `text` is
    // NUL-terminated.
    bool RawNumber(const char* text, rapidjson::SizeType length, bool) {
        const std::string_view number(text, length);
        if (number.find_first_of(".eE") == std::string_view::npos) {
            char* end = nullptr;
            errno = 0;
            if (number.front() == '-') {
                const long long value = CLocaleStrtoll(text, &end, 10);
                if (errno == 0) return Set(int64_t{value});
            } else {
                const unsigned long long value = CLocaleStrtoull(text, &end, 10);
                if (errno == 0) return Set(uint64_t{value});
            }
        }
        return Set(CLocaleStrtod(text, nullptr));
    }
    bool String(const char* text, rapidjson::SizeType length, bool) {
        return Set(std::string_view(text, length));
    }
    bool StartObject() {
        BindingProperty& node = Place();
        node.MakeStructure();
        open_.push_back(&node);
        return true;
    }
    bool Key(const char* text, rapidjson::SizeType length, bool) {
        target_ = &(*open_.back())[std::string_view(text, length)];
        return true;
    }
    bool EndObject(rapidjson::SizeType) {
        open_.pop_back();
        return true;
    }
    bool StartArray() {
        BindingProperty& node = Place();
        node.MakeCollection();
        open_.push_back(&node);
        return true;
    }
    bool EndArray(rapidjson::SizeType) {
        open_.pop_back();
        return true;
    }

private:
    BindingProperty& Place() {
        if (!open_.empty() && open_.back()->Kind() == BindingPropertyKind::Collection) {
            return open_.back()->Append();
        }
        return *target_;
    }
    template <class T>
    bool Set(const T& value) {
        Place() = value;
        return true;
    }

    std::vector<BindingProperty*> open_;
    BindingProperty* target_;
};

}  // namespace

bool ReadJsonForReference(const char* text, BindingProperty& out) {
    ImmediateBuilder builder(out);
    rapidjson::Reader reader;
    rapidjson::StringStream stream(text);
    const rapidjson::ParseResult result =
        reader.Parse<rapidjson::kParseNumbersAsStringsFlag>(stream, builder);
    // A body of blanks only is an empty value, not an error.
    return !result.IsError() || result.Code() == rapidjson::kParseErrorDocumentEmpty;
}

}  // namespace Nimbel::fuzz
