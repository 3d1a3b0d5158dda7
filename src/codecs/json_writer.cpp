// ValueToJson: a walk of the value through RapidJSON's Writer or PrettyWriter
// into one growing buffer, copied out once.
#include "codecs/json_writer.h"

#include <algorithm>
#include <string_view>

#include "codecs/internal/counted_json_allocator.h"
#include "codecs/internal/json_text_buffer.h"
#include "codecs/internal/json_value_writer.h"

namespace Nimbel {
namespace {

using internal::CompactJsonWriter;
using internal::IndentedJsonWriter;
using internal::JsonTextBuffer;

template <class Writer>
void WriteValue(const BindingProperty& value, const EnumNameLookup* typeContext,
                JsonTextBuffer& buffer) {
    internal::CountedJsonAllocator allocator;
    Writer writer(buffer, &allocator);
    internal::JsonValueWriter<Writer> visitor(writer, typeContext);
    visitor.Write(value);
}

// PrettyWriter ends lines with a line feed and escapes every line feed inside
// strings, so each one in its output is a line end.
[[nodiscard]] std::string WithLineBreaks(std::string_view text, std::string_view lineBreak) {
    const auto lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    std::string out;
    out.reserve(text.size() + lines * lineBreak.size() - lines);
    size_t start = 0;
    for (size_t end = text.find('\n'); end != std::string_view::npos;
         start = end + 1, end = text.find('\n', start)) {
        out.append(text, start, end - start);
        out.append(lineBreak);
    }
    out.append(text, start);
    return out;
}

}  // namespace

std::string ValueToJson(const BindingProperty& value, const EnumNameLookup* typeContext,
                        const char* lineBreak) {
    if (value.IsEmpty()) return std::string();
    JsonTextBuffer buffer;
    const std::string_view lineEnd = lineBreak != nullptr ? lineBreak : "";
    if (lineEnd.empty()) {
        WriteValue<CompactJsonWriter>(value, typeContext, buffer);
        return std::string(buffer.Text());
    }
    WriteValue<IndentedJsonWriter>(value, typeContext, buffer);
    if (lineEnd == "\n") return std::string(buffer.Text());
    return WithLineBreaks(buffer.Text(), lineEnd);
}

}  // namespace Nimbel
