#include "api/function_name.h"

namespace Nimbel {
namespace {

// ASCII only: identifiers must not depend on the process's locale.
char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool IsWordBreak(char c) {
    return c == '!' || c == '+' || c == '-' || c == '.' || c == '/' || c == '_';
}

}  // namespace

std::string MakeFunctionName(std::string_view word, std::string_view path) {
    std::string combined;
    combined.reserve(word.size() + path.size() + 1);
    if (!word.empty()) {
        combined += word.front();
        for (const char c : word.substr(1)) combined += AsciiLower(c);
        combined += '/';
    }
    combined += path;

    std::string name;
    name.reserve(combined.size() + 8);
    bool capitalizeNext = true;
    for (const char c : combined) {
        if (IsWordBreak(c)) {
            capitalizeNext = true;
        } else if (c == '{') {
            name += "By";
            capitalizeNext = true;
        } else if (c == '}') {
            // Dropped; whatever follows keeps the current capitalisation.
        } else {
            name += capitalizeNext ? AsciiUpper(c) : c;
            capitalizeNext = false;
        }
    }
    return name;
}

}  // namespace Nimbel
