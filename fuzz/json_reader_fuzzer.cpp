// Fuzz target for the JSON reader and writer: any input must read without a
// crash; a document that reads must give the same value through the
// length-bounded form and through the plain reference reader, and its written
// JSON, compact and indented, must read back as the same value up to what
// JSON cannot carry.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "codecs/json_reader.h"
#include "codecs/json_writer.h"
#include "support/reference_json_reader.h"
#include "support/value_equivalence.h"

namespace {

using Nimbel::BindingStatus;

[[noreturn]] void Fail(const char* what, const std::string& input, const std::string& written) {
    std::fprintf(stderr, "%s\ninput:   %s\nwritten: %s\n", what, input.c_str(), written.c_str());
    std::abort();
}

void CheckFailureMessage(const BindingStatus& status, const std::string& input) {
    const std::string_view message = status.ErrorMessage();
    if (message.substr(0, 7) != "Error: " || message.substr(message.size() - 1) != ".") {
        Fail("a failed read has no reader message", input, std::string(message));
    }
}

void CheckRoundTrip(const BindingStatus& first, const std::string& input, const char* lineBreak) {
    const std::string written = Nimbel::ValueToJson(first.Value(), nullptr, lineBreak);
    const BindingStatus second = Nimbel::JsonToValue(written.c_str());
    if (!second.Ok()) Fail("written JSON does not read back", input, written);
    if (!Nimbel::fuzz::SameAfterJsonRoundTrip(first.Value(), second.Value())) {
        Fail("written JSON reads back as a different value", input, written);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const BindingStatus first = Nimbel::JsonToValue(input.c_str());
    const BindingStatus bounded = Nimbel::JsonToValue(input.data(), input.size());
    if (first.Ok() != bounded.Ok() || !Nimbel::fuzz::SameValue(first.Value(), bounded.Value())) {
        Fail("the two forms of JsonToValue disagree", input, "");
    }
    if (!first.Ok()) {
        CheckFailureMessage(first, input);
        return 0;
    }
    Nimbel::BindingProperty reference;
    if (!Nimbel::fuzz::ReadJsonForReference(input.c_str(), reference) ||
        !Nimbel::fuzz::SameValue(first.Value(), reference)) {
        Fail("the reader and the reference reader disagree", input, "");
    }
    CheckRoundTrip(first, input, nullptr);
    CheckRoundTrip(first, input, "\r\n");
    return 0;
}
