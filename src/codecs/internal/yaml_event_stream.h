// libyaml's event parser behind a class that owns it: the parser and the
// event last handed out are released on every path out of a read.
#pragma once

#include <yaml.h>

#include <cstddef>
#include <string>

namespace Nimbel::internal {

/// The events of a UTF-8 YAML text, one at a time. The text is borrowed and
/// must outlive the stream. Not copyable or movable (libyaml keeps pointers
/// into the parser).
class YamlEventStream {
public:
    /// Reads text[0..length); `text` may be null when `length` is 0.
    YamlEventStream(const char* text, size_t length) noexcept;
    ~YamlEventStream();
    YamlEventStream(const YamlEventStream&) = delete;
    YamlEventStream& operator=(const YamlEventStream&) = delete;

    /// Releases the previous event and parses the next one. The event stays
    /// valid until the next call or the stream's end. Null when the parser
    /// failed (then ErrorMessage says why) or could not be set up; after the
    /// stream-end event libyaml answers with events of type YAML_NO_EVENT.
    [[nodiscard]] const yaml_event_t* Next() noexcept;

    /// "YAML parser error: <problem>. At line: <line> col: <column>", with
    /// libyaml's problem text and its 0-based problem mark.
    [[nodiscard]] std::string ErrorMessage() const;

private:
    void ReleaseEvent() noexcept;

    yaml_parser_t parser_;
    yaml_event_t event_;
    bool parserReady_ = false;
    bool holdsEvent_ = false;
};

}  // namespace Nimbel::internal
