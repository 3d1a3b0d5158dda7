// Endpoint path templates such as "/kzo-match-history/v1/games/{gameId}":
// their parameters, their regular-expression form, and a matcher that
// reproduces a greedy ECMAScript full match of that form without a regex
// engine.
//
// Template language: literal bytes; "{name}" (a simple parameter, one path
// segment, pattern "([^/]*)"); "{+name}" (reserved, any text, "(.*)");
// "{#name}" (fragment, "#" then any text, "#(.*)"). A "}" outside an
// expression is ignored. The matcher works in time linear in the path for
// templates with one parameter, uses no recursion per path character (a
// request path may be megabytes long and the caller's stack small), and
// captures exactly what std::regex would.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Nimbel {

enum class ParamKind : uint32_t {
    Simple = 1,    ///< {name}
    Reserved = 2,  ///< {+name}
    Fragment = 3,  ///< {#name}
};

struct RouteParameter {
    ParamKind kind;
    std::string name;

    friend bool operator==(const RouteParameter&, const RouteParameter&) = default;
};

struct TemplatePattern {
    std::string pattern;  ///< ECMAScript pattern; matching requires the whole path
    std::vector<RouteParameter> parameters;  ///< one per expression, in template order
};

/// The regular-expression form of a template and its parameters.
[[nodiscard]] TemplatePattern TemplateToPattern(std::string_view pathTemplate);

/// A template compiled once, matched many times. Immutable after construction.
class RouteMatcher {
public:
    explicit RouteMatcher(std::string_view pathTemplate);

    /// True when the template holds no "{": it then matches only the path
    /// equal to it byte for byte.
    [[nodiscard]] bool IsLiteral() const noexcept { return literal_; }
    [[nodiscard]] const std::vector<RouteParameter>& Parameters() const noexcept {
        return parameters_;
    }

    /// Whether the whole `path` matches. On success `captures` holds one view
    /// into `path` per parameter (the raw, undecoded text; empty for a
    /// parameter that took no part); on failure its content is unspecified.
    [[nodiscard]] bool Match(std::string_view path, std::vector<std::string_view>& captures) const;

private:
    struct Piece {
        enum class Kind : uint8_t { Literal, Segment, Rest } kind;
        std::string literal;  ///< Literal pieces only
        size_t capture = 0;   ///< Segment and Rest pieces: index into the captures
    };

    class Search;

    std::string template_;
    bool literal_ = false;
    std::vector<Piece> pieces_;
    std::vector<RouteParameter> parameters_;
    size_t captureCount_ = 0;
};

}  // namespace Nimbel
