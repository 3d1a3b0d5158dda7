// Fuzz target for route matching: a short path template and a short request
// path, both built from the input's bytes, are matched by the framework's
// route selection and by std::regex with a pattern that a model of the
// template language writes on its own. Both must agree on whether the path
// matches and on every decoded parameter value; any difference aborts.
//
// Input: byte 0 chooses the number of template pieces (1 to 8), the next
// bytes choose the pieces, every further byte one path character (at most 24).
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <regex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "api/endpoint.h"
#include "api/route.h"
#include "api/route_template.h"
#include "binding/binding_function_description.h"
#include "binding/binding_type_registry.h"
#include "support/reader_invariants.h"

namespace {

using Parameters = std::map<std::string, std::string>;

// Whole expressions, their loose parts, literals the regex must escape, and
// line terminators, which "." does not cross but "[^/]" does.
constexpr std::string_view kTemplatePieces[] = {
    "/", "a", "b", ".", "-", "{x}", "{y}", "{+r}", "{#f}", "{", "}", "+",
    "#", "x", "?", "%", "*", "(",   ")",   "\\",   "\n",   "[", "|", "$",
};
constexpr std::string_view kPathCharacters = "/ab.-#?%2f+x\n\r*()\\{}[|$";
constexpr size_t kMaxPieces = 8;
constexpr size_t kMaxPathLength = 24;

/// The template language as documented: "{" opens a simple expression and
/// keeps the name read so far; "+" or "#" first in a simple one makes it
/// reserved or a fragment; "}" closes an open one and is ignored otherwise; an
/// expression left open at the end adds nothing. Literals are escaped.
struct ModelPattern {
    std::string pattern;
    std::vector<std::string> names;
};

ModelPattern ModelOf(std::string_view pathTemplate) {
    ModelPattern model;
    int state = 0;  // 0 outside, 1 simple, 2 reserved, 3 fragment
    std::string name;
    for (const char c : pathTemplate) {
        if (c == '{') {
            state = 1;
        } else if (c == '}') {
            if (state == 0) continue;
            model.pattern += state == 1 ? "([^/]*)" : state == 2 ? "(.*)" : "#(.*)";
            model.names.push_back(name);
            name.clear();
            state = 0;
        } else if (state != 0) {
            if (state == 1 && name.empty() && (c == '+' || c == '#')) {
                state = c == '+' ? 2 : 3;
            } else {
                name += c;
            }
        } else {
            if (std::string_view("^$.*+?()[]|\\").find(c) != std::string_view::npos)
                model.pattern += '\\';
            model.pattern += c;
        }
    }
    return model;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 16;
}

/// "+" is a space; "%" and two more characters one byte, a character that is
/// no hex digit counting 16; a "%" without two characters after it dropped.
std::string ModelDecode(std::string_view text) {
    std::string decoded;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            decoded += ' ';
        } else if (text[i] != '%') {
            decoded += text[i];
        } else if (i + 2 < text.size()) {
            const int high = (HexDigit(text[i + 1]) * 16) & 0xFF;
            decoded += static_cast<char>(high | HexDigit(text[i + 2]));
            i += 2;
        }
    }
    return decoded;
}

/// What std::regex says of the path before its first "?" (the query is
/// never routed), or false when it does not match.
bool ModelMatch(std::string_view pathTemplate, std::string_view path, Parameters& parameters) {
    std::string routed(path.substr(0, path.find('?')));
    std::string normalised(pathTemplate);
    if (normalised.size() > 1 && normalised.back() == '/') normalised.pop_back();
    const ModelPattern model = ModelOf(normalised);
    if (normalised.find('{') == std::string::npos) return routed == normalised;
    const std::regex regex(model.pattern, std::regex::ECMAScript | std::regex::optimize);
    std::smatch groups;
    if (!std::regex_match(routed, groups, regex)) return false;
    for (size_t i = 0; i < model.names.size(); ++i) {
        parameters.insert_or_assign(model.names[i], ModelDecode(groups[i + 1].str()));
    }
    return true;
}

bool FrameworkMatch(std::string_view pathTemplate, std::string_view path, Parameters& parameters) {
    static const Nimbel::BindingTypeRegistry registry;
    const std::unique_ptr<Nimbel::BindingFunctionDescription> function =
        Nimbel::BindingTypeRegistry::CreateDetachedFunction("Fuzzed", 0);
    const Nimbel::Endpoint endpoint(registry, *function, pathTemplate, Nimbel::RequestMethod::Any,
                                    "", nullptr);
    const Nimbel::Route route = Nimbel::RouteOf(endpoint);
    Nimbel::RequestContext context;
    context.method = Nimbel::RequestMethod::Get;
    context.path = path;
    if (!Nimbel::SelectRoute(context, std::span<const Nimbel::Route>(&route, 1))) return false;
    parameters = context.parameters;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t pieces = std::min<size_t>(data[0] % kMaxPieces + 1, size - 1);
    std::string pathTemplate;
    for (size_t i = 1; i <= pieces; ++i)
        pathTemplate += kTemplatePieces[data[i] % std::size(kTemplatePieces)];
    std::string path;
    for (size_t i = pieces + 1; i < size && path.size() < kMaxPathLength; ++i)
        path += kPathCharacters[data[i] % kPathCharacters.size()];

    Parameters expected;
    Parameters found;
    const bool modelMatched = ModelMatch(pathTemplate, path, expected);
    const bool matched = FrameworkMatch(pathTemplate, path, found);
    Nimbel::fuzzing::Require(matched == modelMatched, "the route matches where the regex does");
    Nimbel::fuzzing::Require(found == expected, "the route binds what the regex captures");
    return 0;
}
