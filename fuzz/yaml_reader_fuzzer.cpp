// Fuzz target for the YAML reader: any text gives a value or a failure of the
// fixed form, never a crash, an exception, a hang on nesting or aliases, or a
// tree deeper than the nesting limit; reading is deterministic.
#include <cstddef>
#include <cstdint>
#include <string>

#include "codecs/json_reader.h"
#include "codecs/json_writer.h"
#include "codecs/yaml_reader.h"
#include "support/reader_invariants.h"
#include "support/value_equivalence.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace Nimbel;
    const char* text = reinterpret_cast<const char*>(data);
    const BindingStatus status = YamlToValue(text, size);
    if (!status.Ok()) {
        fuzzing::RequireFailureForm(status);
        return 0;
    }
    fuzzing::Require(fuzzing::NestingDepth(status.Value()) <= 1000, "nesting within the limit");
    const BindingStatus again = YamlToValue(text, size);
    fuzzing::Require(again.Ok() && fuzz::SameValue(again.Value(), status.Value()),
                     "reading is deterministic");

    // What was read survives writing JSON and reading it back, up to what
    // JSON cannot carry (blobs as base64 texts, non-finite floats as null).
    const std::string json = ValueToJson(status.Value(), nullptr, nullptr);
    const BindingStatus reread = JsonToValue(json.c_str());
    fuzzing::Require(reread.Ok() && fuzz::SameAfterJsonRoundTrip(status.Value(), reread.Value()),
                     "the value survives a JSON round trip");
    return 0;
}
