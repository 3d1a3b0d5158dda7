// Set-up and tear-down of libyaml's parser, and the wording of its failures.
#include "codecs/internal/yaml_event_stream.h"

#include "diagnostics/text_format.h"

namespace Nimbel::internal {

YamlEventStream::YamlEventStream(const char* text, size_t length) noexcept : parser_(), event_() {
    if (yaml_parser_initialize(&parser_) == 0) return;
    parserReady_ = true;
    yaml_parser_set_encoding(&parser_, YAML_UTF8_ENCODING);
    // libyaml asserts on a null input even when it is empty.
    const char* input = text != nullptr ? text : "";
    yaml_parser_set_input_string(&parser_, reinterpret_cast<const unsigned char*>(input),
                                 text != nullptr ? length : 0);
}

YamlEventStream::~YamlEventStream() {
    ReleaseEvent();
    // Also right after a failed initialisation, which may leave buffers behind.
    yaml_parser_delete(&parser_);
}

const yaml_event_t* YamlEventStream::Next() noexcept {
    ReleaseEvent();
    if (!parserReady_) return nullptr;
    if (yaml_parser_parse(&parser_, &event_) == 0) return nullptr;
    holdsEvent_ = true;
    return &event_;
}

std::string YamlEventStream::ErrorMessage() const {
    // A failed allocation inside libyaml leaves no problem text of its own.
    const char* problem = parser_.problem != nullptr           ? parser_.problem
                          : parser_.error == YAML_MEMORY_ERROR ? "out of memory"
                                                               : "";
    return FormatMessage("YAML parser error: %1. At line: %2 col: %3", problem,
                         parser_.problem_mark.line, parser_.problem_mark.column);
}

void YamlEventStream::ReleaseEvent() noexcept {
    if (!holdsEvent_) return;
    yaml_event_delete(&event_);
    holdsEvent_ = false;
}

}  // namespace Nimbel::internal
