// Fuzz target for the YAML reader: any text gives a value or a failure of the
// fixed form, never a crash, an exception, a hang on nesting or aliases, or a
// tree deeper than the nesting limit; reading is deterministic.
#include <cstddef>
#include <cstdint>

#include "codecs/yaml_reader.h"
#include "value_checks.h"

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
    fuzzing::Require(again.Ok() && fuzzing::SameValue(again.Value(), status.Value()),
                     "reading is deterministic");
    return 0;
}
