// What the hello plug-in answers: a greeting, and the mood it is said in.
// Both are registered with the module's type registry (hello_module.cpp),
// which converts them to and from JSON: {"mood": "Cheerful", "text": "Hello, Ada!"}
// (members in name order).
#pragma once

#include <cstdint>
#include <string>

namespace Hello {

/// Registered by name: JSON carries "Calm" or "Cheerful".
enum class Mood : int32_t {
    Calm = 0,
    Cheerful = 1,
};

struct Greeting {
    std::string text;
    Mood mood = Mood::Calm;
};

}  // namespace Hello
