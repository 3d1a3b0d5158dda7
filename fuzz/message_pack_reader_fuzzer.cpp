// Fuzz target for the MessagePack reader: any bytes give a value or a failure
// of the fixed form, never a crash, an exception or a tree deeper than the
// nesting limit; the consumed count stays within the input, and reading just
// the consumed bytes again gives the same value.
#include <cstddef>
#include <cstdint>
#include <string>

#include "codecs/json_reader.h"
#include "codecs/json_writer.h"
#include "codecs/message_pack_reader.h"
#include "support/reader_invariants.h"
#include "support/value_equivalence.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace Nimbel;
    size_t consumed = 0;
    const BindingStatus status = MessagePackToValue(data, size, consumed);
    fuzzing::Require(consumed <= size, "consumed within the input");
    if (!status.Ok()) {
        fuzzing::RequireFailureForm(status);
        return 0;
    }
    fuzzing::Require(fuzzing::NestingDepth(status.Value()) <= 1000, "nesting within the limit");

    size_t again = 0;
    const BindingStatus prefix = MessagePackToValue(data, consumed, again);
    fuzzing::Require(prefix.Ok() && again == consumed, "the consumed bytes read alone");
    fuzzing::Require(fuzz::SameValue(prefix.Value(), status.Value()),
                     "the consumed bytes give the same value");

    // What was read survives writing JSON and reading it back, up to what
    // JSON cannot carry (blobs as base64 texts, non-finite floats as null).
    const std::string json = ValueToJson(status.Value(), nullptr, nullptr);
    const BindingStatus reread = JsonToValue(json.c_str());
    fuzzing::Require(reread.Ok() && fuzz::SameAfterJsonRoundTrip(status.Value(), reread.Value()),
                     "the value survives a JSON round trip");
    return 0;
}
