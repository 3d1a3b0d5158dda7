// MessagePack reading: every type byte, the kinds and exact integer bounds
// they give, the merge rules for repeated keys, partial and trailing input with
// the consumed count, truncation of every field size with its message and
// position, and the nesting limit on a small stack.
#include "codecs/message_pack_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "diagnostics/allocator.h"
#include "tests/codecs/small_stack.h"
#include "tests/codecs/value_text.h"

namespace Nimbel {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::ValueText;

struct ReadResult {
    BindingStatus status;
    size_t consumed;
};

ReadResult Read(const Bytes& bytes) {
    size_t consumed = 99999;
    BindingStatus status = MessagePackToValue(bytes.data(), bytes.size(), consumed);
    return {std::move(status), consumed};
}

/// Reads `input` and expects success with the value `expected` (in ValueText
/// form) after `consumed` bytes.
void ExpectRead(const char* description, const Bytes& input, const char* expected,
                size_t consumed) {
    const ReadResult result = Read(input);
    EXPECT_TRUE(result.status.Ok()) << description << ": " << result.status.ErrorMessage();
    EXPECT_EQ(ValueText(result.status.Value()), expected) << description;
    EXPECT_EQ(result.consumed, consumed) << description;
}

/// Reads `input` and expects the failure `message` after `consumed` bytes.
void ExpectRefused(const char* description, const Bytes& input, const std::string& message,
                   size_t consumed) {
    const ReadResult result = Read(input);
    EXPECT_FALSE(result.status.Ok()) << description;
    EXPECT_EQ(result.status.ErrorMessage(), message) << description;
    EXPECT_EQ(result.consumed, consumed) << description;
}

/// `pattern` with %1 replaced by `first` and, when it has one, %2 by `second`.
std::string Expand(const char* pattern, uint64_t first, uint64_t second) {
    std::string text = pattern;
    text.replace(text.find("%1"), 2, std::to_string(first));
    if (text.find("%2") != std::string::npos) {
        text.replace(text.find("%2"), 2, std::to_string(second));
    }
    return text;
}

// `count` containers opened by `header`, then one positive fixint.
Bytes Nested(size_t count, const Bytes& header) {
    Bytes bytes;
    bytes.reserve(count * header.size() + 1);
    for (size_t i = 0; i < count; ++i) bytes.insert(bytes.end(), header.begin(), header.end());
    bytes.push_back(0x07);
    return bytes;
}

TEST(MessagePackReaderTest, ReadsEveryTypeIntoItsKind) {
    struct Case {
        const char* description;
        Bytes input;
        const char* expected;
        size_t consumed;
    };
    const Case cases[] = {
        {"empty input", {}, "~", 0},
        {"positive fixint is signed", {0x05}, "s5", 1},
        {"smallest positive fixint", {0x00}, "s0", 1},
        {"largest positive fixint", {0x7F}, "s127", 1},
        {"negative fixint -1", {0xFF}, "s-1", 1},
        {"smallest negative fixint", {0xE0}, "s-32", 1},
        {"nil root", {0xC0}, "~", 1},
        {"false", {0xC2}, "false", 1},
        {"true", {0xC3}, "true", 1},
        {"uint 8", {0xCC, 0x05}, "u5", 2},
        {"uint 8 maximum", {0xCC, 0xFF}, "u255", 2},
        {"uint 16", {0xCD, 0x01, 0x00}, "u256", 3},
        {"uint 16 maximum", {0xCD, 0xFF, 0xFF}, "u65535", 3},
        {"uint 32 byte order", {0xCE, 0x01, 0x02, 0x03, 0x04}, "u16909060", 5},
        {"uint 64 byte order",
         {0xCF, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08},
         "u72623859790382856",
         9},
        {"uint 32 maximum", {0xCE, 0xFF, 0xFF, 0xFF, 0xFF}, "u4294967295", 5},
        {"uint 64 maximum",
         {0xCF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
         "u18446744073709551615",
         9},
        {"int 8 minimum", {0xD0, 0x80}, "s-128", 2},
        {"int 8 positive", {0xD0, 0x7F}, "s127", 2},
        {"int 16 minimum", {0xD1, 0x80, 0x00}, "s-32768", 3},
        {"int 16 -2", {0xD1, 0xFF, 0xFE}, "s-2", 3},
        {"int 16 maximum", {0xD1, 0x7F, 0xFF}, "s32767", 3},
        {"int 32 minimum", {0xD2, 0x80, 0x00, 0x00, 0x00}, "s-2147483648", 5},
        {"int 32 maximum", {0xD2, 0x7F, 0xFF, 0xFF, 0xFF}, "s2147483647", 5},
        {"int 64 minimum",
         {0xD3, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
         "s-9223372036854775808",
         9},
        {"int 64 -1", {0xD3, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, "s-1", 9},
        {"int 64 maximum",
         {0xD3, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
         "s9223372036854775807",
         9},
        {"float 32 widens", {0xCA, 0x3F, 0xC0, 0x00, 0x00}, "f1.5", 5},
        {"float 32 inexact value widens exactly",
         {0xCA, 0x3D, 0xCC, 0xCC, 0xCD},
         "f0.10000000149011612",
         5},
        {"float 64", {0xCB, 0xC0, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, "f-2.25", 9},
        {"fixstr", {0xA3, 'a', 'b', 'c'}, "\"abc\"", 4},
        {"longest fixstr",
         {0xBF, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 'j', 'k', 'l', 'm', 'n', 'o',
          'p',  'q', 'r', 's', 't', 'u', 'v', 'w', 'x', 'y', 'z', '0', '1', '2', '3', '4'},
         "\"abcdefghijklmnopqrstuvwxyz01234\"",
         32},
        {"empty fixstr", {0xA0}, "\"\"", 1},
        {"str 8", {0xD9, 0x02, 'h', 'i'}, "\"hi\"", 4},
        {"str 16", {0xDA, 0x00, 0x01, 'x'}, "\"x\"", 4},
        {"str 32", {0xDB, 0x00, 0x00, 0x00, 0x01, 'y'}, "\"y\"", 6},
        {"invalid UTF-8 passes unchanged", {0xA3, 0xFF, 0xC0, 0x80}, "\"\\xff\\xc0\\x80\"", 4},
        {"string ends at its first NUL", {0xA3, 'a', 0x00, 'b'}, "\"a\"", 4},
        {"bin 8", {0xC4, 0x03, 0x01, 0x00, 0xFF}, "b:0100ff", 5},
        {"bin 8 empty", {0xC4, 0x00}, "b:", 2},
        {"bin 16 empty", {0xC5, 0x00, 0x00}, "b:", 3},
        {"bin 16", {0xC5, 0x00, 0x02, 0xAB, 0xCD}, "b:abcd", 5},
        {"bin 32", {0xC6, 0x00, 0x00, 0x00, 0x01, 0x2A}, "b:2a", 6},
        {"fixarray", {0x92, 0x01, 0xA1, 'x'}, "[s1,\"x\"]", 4},
        {"largest fixarray",
         {0x9F, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15},
         "[s1,s2,s3,s4,s5,s6,s7,s8,s9,s10,s11,s12,s13,s14,s15]",
         16},
        {"empty array 16", {0xDC, 0x00, 0x00}, "[]", 3},
        {"array 16 count byte order", {0xDC, 0x00, 0x01, 0x07}, "[s7]", 4},
        {"empty fixarray", {0x90}, "[]", 1},
        {"array 16", {0xDC, 0x00, 0x02, 0xC3, 0xC2}, "[true,false]", 5},
        {"array 32", {0xDD, 0x00, 0x00, 0x00, 0x01, 0x09}, "[s9]", 6},
        {"fixmap", {0x81, 0xA1, 'a', 0x01}, "{a:s1}", 4},
        {"empty fixmap", {0x80}, "{}", 1},
        {"largest fixmap",
         {0x8F, 0xA1, 'a', 1,  0xA1, 'b', 2,  0xA1, 'c', 3, 0xA1, 'd', 4,  0xA1, 'e', 5,  0xA1, 'f',
          6,    0xA1, 'g', 7,  0xA1, 'h', 8,  0xA1, 'i', 9, 0xA1, 'j', 10, 0xA1, 'k', 11, 0xA1, 'l',
          12,   0xA1, 'm', 13, 0xA1, 'n', 14, 0xA1, 'o', 15},
         "{a:s1,b:s2,c:s3,d:s4,e:s5,f:s6,g:s7,h:s8,i:s9,j:s10,k:s11,l:s12,m:s13,n:s14,o:s15}",
         46},
        {"map 16 with a str 8 key", {0xDE, 0x00, 0x01, 0xD9, 0x01, 'k', 0xC3}, "{k:true}", 7},
        {"str 16 key", {0x81, 0xDA, 0x00, 0x01, 'k', 0x01}, "{k:s1}", 6},
        {"str 32 key", {0x81, 0xDB, 0x00, 0x00, 0x00, 0x01, 'k', 0x01}, "{k:s1}", 8},
        {"empty str 8 key", {0x81, 0xD9, 0x00, 0x01}, "{:s1}", 4},
        {"map 32", {0xDF, 0x00, 0x00, 0x00, 0x01, 0xA0, 0x02}, "{:s2}", 7},
        {"empty map 32", {0xDF, 0x00, 0x00, 0x00, 0x00}, "{}", 5},
        {"members sorted by name", {0x82, 0xA1, 'b', 0x01, 0xA1, 'a', 0x02}, "{a:s2,b:s1}", 7},
        {"nested containers", {0x92, 0x91, 0x01, 0x81, 0xA1, 'a', 0x90}, "[[s1],{a:[]}]", 7},
        {"nil element stays empty", {0x92, 0xC0, 0x01}, "[~,s1]", 3},
        {"nil member stays empty", {0x81, 0xA1, 'a', 0xC0}, "{a:~}", 4},
    };
    for (const Case& c : cases) ExpectRead(c.description, c.input, c.expected, c.consumed);
}

TEST(MessagePackReaderTest, RepeatedKeysMergeContainersAndReplaceScalars) {
    struct Case {
        const char* description;
        Bytes input;
        const char* expected;
    };
    const Case cases[] = {
        {"second array overwrites from index 0 and keeps the rest",
         {0x82, 0xA1, 'a', 0x93, 0x01, 0x02, 0x03, 0xA1, 'a', 0x91, 0x09},
         "{a:[s9,s2,s3]}"},
        {"second map merges its members",
         {0x82, 0xA1, 'a', 0x81, 0xA1, 'x', 0x01, 0xA1, 'a', 0x81, 0xA1, 'y', 0x02},
         "{a:{x:s1,y:s2}}"},
        {"second map replaces a shared member",
         {0x82, 0xA1, 'a', 0x81, 0xA1, 'x', 0x01, 0xA1, 'a', 0x81, 0xA1, 'x', 0x02},
         "{a:{x:s2}}"},
        {"later scalar replaces", {0x82, 0xA1, 'a', 0x01, 0xA1, 'a', 0x02}, "{a:s2}"},
        {"nil keeps the earlier value", {0x82, 0xA1, 'a', 0x01, 0xA1, 'a', 0xC0}, "{a:s1}"},
        {"scalar replaces a container", {0x82, 0xA1, 'a', 0x91, 0x01, 0xA1, 'a', 0x02}, "{a:s2}"},
        {"array replaces a map", {0x82, 0xA1, 'a', 0x80, 0xA1, 'a', 0x91, 0x05}, "{a:[s5]}"},
        {"keys that differ after a NUL name one member",
         {0x82, 0xA3, 'k', 0x00, '1', 0x01, 0xA3, 'k', 0x00, '2', 0x02},
         "{k:s2}"},
        {"nested arrays overwrite element by element",
         {0x82, 0xA1, 'a', 0x91, 0x92, 0x01, 0x02, 0xA1, 'a', 0x91, 0x91, 0x03},
         "{a:[[s3,s2]]}"},
        {"a nil element keeps the earlier element",
         {0x82, 0xA1, 'a', 0x92, 0x01, 0x02, 0xA1, 'a', 0x93, 0xC0, 0x07, 0x08},
         "{a:[s1,s7,s8]}"},
        {"a replacement inside a repeated map lands on what came before it",
         {0x82, 0xA1, 'a', 0x81, 0xA1, 'x', 0x92, 0x01, 0x02, 0xA1, 'a', 0x82, 0xA1, 'x', 0x00,
          0xA1, 'x', 0x91, 0x09},
         "{a:{x:[s9]}}"},
        {"three arrays under one name overwrite in turn",
         {0x83, 0xA1, 'a', 0x93, 0x01, 0x02, 0x03, 0xA1, 'a', 0x92, 0x04, 0x05, 0xA1, 'a', 0x91,
          0x06},
         "{a:[s6,s5,s3]}"},
    };
    for (const Case& c : cases) ExpectRead(c.description, c.input, c.expected, c.input.size());
}

TEST(MessagePackReaderTest, StopsAtTheEndOfTheRootOrOfTheInput) {
    struct Case {
        const char* description;
        Bytes input;
        const char* expected;
        size_t consumed;
    };
    const Case cases[] = {
        {"trailing bytes after a scalar are not read", {0x01, 0x02}, "s1", 1},
        {"trailing bytes after an array are not read", {0x91, 0x01, 0xC1}, "[s1]", 2},
        {"trailing bytes after an empty map", {0x80, 0x05}, "{}", 1},
        {"trailing bytes after nested containers", {0x91, 0x91, 0x01, 0x01}, "[[s1]]", 3},
        {"input ends with the last item of nested containers",
         {0x92, 0x01, 0x81, 0xA1, 'a', 0x91, 0x02},
         "[s1,{a:[s2]}]",
         7},
    };
    for (const Case& c : cases) ExpectRead(c.description, c.input, c.expected, c.consumed);
}

// A container whose announced items are not all there is an error, not the
// items read so far: [1] is no reading of an array of two.
TEST(MessagePackReaderTest, FailsWhenTheInputEndsInsideAContainer) {
    const char* array = "Invalid MessagePack data. Array of size %1 at position %2 is truncated.";
    const char* map = "Invalid MessagePack data. Map of size %1 at position %2 is truncated.";
    struct Case {
        const char* description;
        Bytes input;
        const char* pattern;
        uint64_t size;    // %1
        size_t position;  // %2: the container's type byte
    };
    const Case cases[] = {
        {"fixarray cut short", {0x92, 0x01}, array, 2, 0},
        {"fixarray with no element", {0x93}, array, 3, 0},
        {"fixarray of fifteen with fourteen",
         {0x9F, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1},
         array,
         15,
         0},
        {"array 16 cut short", {0xDC, 0x00, 0x02, 0x01}, array, 2, 0},
        {"array 32 of 2^32-1 elements with two",
         {0xDD, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x02},
         array,
         4294967295u,
         0},
        {"fixmap cut after a key", {0x81, 0xA1, 'a'}, map, 1, 0},
        {"fixmap with no key", {0x81}, map, 1, 0},
        {"fixmap cut after one pair", {0x82, 0xA1, 'a', 0x01, 0xA1, 'b'}, map, 2, 0},
        {"map 16 cut short", {0xDE, 0x00, 0x01}, map, 1, 0},
        {"map 32 of 2^32-1 pairs with one",
         {0xDF, 0xFF, 0xFF, 0xFF, 0xFF, 0xA1, 'a', 0x01},
         map,
         4294967295u,
         0},
        {"innermost open container is named", {0x91, 0x81, 0xA1, 'a', 0x92, 0x01}, array, 2, 4},
        {"outer container open after its last child closed", {0x92, 0x91, 0x01}, array, 2, 0},
        {"map open after its array value closed", {0x92, 0x00, 0x82, 0xA1, 'k', 0x90}, map, 2, 2},
    };
    for (const Case& c : cases) {
        ExpectRefused(c.description, c.input, Expand(c.pattern, c.size, c.position),
                      c.input.size());
    }
}

TEST(MessagePackReaderTest, RefusesUnusedAndExtensionTypesAndKeysThatAreNoStrings) {
    struct Case {
        const char* description;
        Bytes input;
        const char* message;
        size_t consumed;
    };
    const Case cases[] = {
        {"never used", {0xC1}, "Invalid MessagePack data at position 1.", 1},
        {"ext 8", {0xC7, 0x01, 0x01, 0x00}, "Invalid MessagePack data at position 1.", 1},
        {"ext 16", {0xC8}, "Invalid MessagePack data at position 1.", 1},
        {"ext 32", {0xC9}, "Invalid MessagePack data at position 1.", 1},
        {"fixext 1", {0xD4, 0x01, 0x00}, "Invalid MessagePack data at position 1.", 1},
        {"fixext 2", {0xD5}, "Invalid MessagePack data at position 1.", 1},
        {"fixext 4", {0xD6}, "Invalid MessagePack data at position 1.", 1},
        {"fixext 8", {0xD7}, "Invalid MessagePack data at position 1.", 1},
        {"fixext 16", {0xD8}, "Invalid MessagePack data at position 1.", 1},
        {"never used inside an array",
         {0x92, 0x01, 0xC1},
         "Invalid MessagePack data at position 3.",
         3},
        {"integer key",
         {0x81, 0x01, 0x02},
         "Invalid MessagePack data at position 2. Map keys must be strings.",
         2},
        {"nil key",
         {0x81, 0xC0, 0x02},
         "Invalid MessagePack data at position 2. Map keys must be strings.",
         2},
        {"bin key",
         {0x81, 0xC4, 0x00, 0x02},
         "Invalid MessagePack data at position 2. Map keys must be strings.",
         2},
        {"never-used byte as key",
         {0x81, 0xC1},
         "Invalid MessagePack data at position 2. Map keys must be strings.",
         2},
        {"second key not a string",
         {0x82, 0xA1, 'a', 0x01, 0x90, 0x02},
         "Invalid MessagePack data at position 5. Map keys must be strings.",
         5},
    };
    for (const Case& c : cases) ExpectRefused(c.description, c.input, c.message, c.consumed);
}

TEST(MessagePackReaderTest, NamesTheFieldThatTheInputCutsShort) {
    const char* bits8 =
        "Invalid MessagePack data. 8-bit integer value at position %1 is truncated.";
    const char* bits16 =
        "Invalid MessagePack data. 16-bit integer value at position %1 is truncated.";
    const char* bits32 =
        "Invalid MessagePack data. 32-bit integer value at position %1 is truncated.";
    const char* bits64 =
        "Invalid MessagePack data. 64-bit integer value at position %1 is truncated.";
    const char* text = "Invalid MessagePack data. String of size %1 at position %2 is truncated.";
    const char* raw =
        "Invalid MessagePack data. Raw bytes of size %1 at position %2 are truncated.";
    struct Case {
        const char* description;
        Bytes input;
        const char* pattern;
        uint64_t first;   // %1
        uint64_t second;  // %2, for payload messages
        size_t consumed;
    };
    const Case cases[] = {
        {"uint 8", {0xCC}, bits8, 1, 0, 1},
        {"uint 16", {0xCD, 0x01}, bits16, 1, 0, 1},
        {"uint 32", {0xCE, 0x00, 0x00, 0x00}, bits32, 1, 0, 1},
        {"uint 64", {0xCF, 0, 0, 0, 0, 0, 0, 0}, bits64, 1, 0, 1},
        {"int 8", {0xD0}, bits8, 1, 0, 1},
        {"int 16", {0xD1, 0xFF}, bits16, 1, 0, 1},
        {"int 32", {0xD2}, bits32, 1, 0, 1},
        {"int 64", {0xD3, 0, 0, 0, 0}, bits64, 1, 0, 1},
        {"float 32", {0xCA, 0x3F, 0xC0, 0x00}, bits32, 1, 0, 1},
        {"float 64", {0xCB, 0, 0, 0, 0, 0, 0, 0}, bits64, 1, 0, 1},
        {"str 8 length", {0xD9}, bits8, 1, 0, 1},
        {"str 16 length", {0xDA, 0x00}, bits16, 1, 0, 1},
        {"str 32 length", {0xDB, 0x00, 0x00}, bits32, 1, 0, 1},
        {"bin 8 length", {0xC4}, bits8, 1, 0, 1},
        {"bin 16 length", {0xC5, 0x01}, bits16, 1, 0, 1},
        {"bin 32 length", {0xC6}, bits32, 1, 0, 1},
        {"array 16 count", {0xDC, 0x00}, bits16, 1, 0, 1},
        {"array 32 count", {0xDD, 0x00, 0x00, 0x00}, bits32, 1, 0, 1},
        {"map 16 count", {0xDE}, bits16, 1, 0, 1},
        {"map 32 count", {0xDF, 0x00}, bits32, 1, 0, 1},
        {"field inside an array", {0x92, 0x01, 0xCD, 0x01}, bits16, 3, 0, 3},
        {"fixstr payload", {0xA3, 'a', 'b'}, text, 3, 1, 1},
        {"str 8 payload", {0xD9, 0x05, 'a'}, text, 5, 2, 2},
        {"str 16 payload", {0xDA, 0x01, 0x00}, text, 256, 3, 3},
        {"str 32 payload of 2^32-1 bytes", {0xDB, 0xFF, 0xFF, 0xFF, 0xFF}, text, 4294967295u, 5, 5},
        {"bin 8 payload", {0xC4, 0x02, 0x01}, raw, 2, 2, 2},
        {"bin 16 payload", {0xC5, 0x00, 0x03}, raw, 3, 3, 3},
        {"bin 32 payload", {0xC6, 0x80, 0x00, 0x00, 0x00, 0x01}, raw, 2147483648u, 5, 5},
        {"fixstr key payload", {0x81, 0xA2, 'a'}, text, 2, 2, 2},
        {"str 8 key length", {0x81, 0xD9}, bits8, 2, 0, 2},
        {"str 8 key payload", {0x81, 0xD9, 0x02, 'a'}, text, 2, 3, 3},
        {"str 16 key length", {0x81, 0xDA, 0x00}, bits16, 2, 0, 2},
        {"str 16 key payload", {0x81, 0xDA, 0x00, 0x03, 'a'}, text, 3, 4, 4},
        {"str 32 key length", {0x81, 0xDB, 0x00, 0x00, 0x00}, bits32, 2, 0, 2},
        {"str 32 key payload", {0x81, 0xDB, 0x00, 0x00, 0x00, 0x02, 'a'}, text, 2, 6, 6},
    };
    for (const Case& c : cases) {
        ExpectRefused(c.description, c.input, Expand(c.pattern, c.first, c.second), c.consumed);
    }
}

TEST(MessagePackReaderTest, AFailureReplacesEverythingReadSoFar) {
    const ReadResult result = Read({0x82, 0xA1, 'a', 0x93, 0x01, 0x02, 0x03, 0xA1, 'b', 0xC1});
    ASSERT_FALSE(result.status.Ok());
    EXPECT_EQ(ValueText(result.status.Value()),
              "{error:\"Invalid MessagePack data at position 10.\"}");
}

TEST(MessagePackReaderTest, AcceptsExactlyAThousandLevelsOfNesting) {
    struct Case {
        const char* description;
        Bytes header;
        size_t levels;
        bool accepted;
    };
    const Case cases[] = {
        {"arrays at the limit", {0x91}, 1000, true},
        {"maps at the limit", {0x81, 0xA0}, 1000, true},
        {"arrays one past the limit", {0x91}, 1001, false},
        {"maps one past the limit", {0x81, 0xA0}, 1001, false},
        {"array 32 headers one past the limit", {0xDD, 0x00, 0x00, 0x00, 0x01}, 1001, false},
    };
    for (const Case& c : cases) {
        const ReadResult result = Read(Nested(c.levels, c.header));
        EXPECT_EQ(result.status.Ok(), c.accepted) << c.description;
        if (c.accepted) {
            const BindingProperty* node = &result.status.Value();
            size_t depth = 0;
            while (node->Size() == 1 && node->Kind() != BindingPropertyKind::Signed) {
                node = node->Kind() == BindingPropertyKind::Collection
                           ? &(*node)[0]
                           : &node->Members()[0].Value();
                ++depth;
            }
            EXPECT_EQ(depth, c.levels) << c.description;
            EXPECT_EQ(node->GetSigned(), 7) << c.description;
        } else {
            // The position just after the type byte of the container that is one too deep.
            const size_t position = 1000 * c.header.size() + 1;
            EXPECT_EQ(result.status.ErrorMessage(),
                      "Invalid MessagePack data at position " + std::to_string(position) +
                          ". Containers must not nest deeper than 1000 levels.")
                << c.description;
            EXPECT_EQ(result.consumed, position) << c.description;
        }
    }
}

TEST(MessagePackReaderTest, CountsAnnouncedByHeadersReserveNoMoreThanTheInputCanFill) {
    // 1000 nested array 16 headers, each announcing 3000 elements: each count
    // alone fits the 3001-byte input, all of them together would reserve 72 MB.
    const Bytes bytes = Nested(1000, {0xDC, 0x0B, 0xB8});
    const MemoryStats before = ReadMemoryStats();
    const ReadResult result = Read(bytes);
    const MemoryStats after = ReadMemoryStats();
    EXPECT_EQ(result.status.ErrorMessage(),
              "Invalid MessagePack data. Array of size 3000 at position 2997 is truncated.");
    EXPECT_LT(after.bytesAllocated - before.bytesAllocated, 1024u * 1024u);
}

TEST(MessagePackReaderTest, RefusesAMillionLevelsOnASmallStack) {
    const Bytes bytes = Nested(1000000, {0x91});
    std::string message;
    const bool ran = testing::RunOnSmallStack(testing::kSmallStackBytes, [&] {
        size_t consumed = 0;
        const BindingStatus status = MessagePackToValue(bytes.data(), bytes.size(), consumed);
        message = std::string(status.ErrorMessage());
    });
    ASSERT_TRUE(ran);
    EXPECT_EQ(message,
              "Invalid MessagePack data at position 1001. Containers must not nest deeper than "
              "1000 levels.");
}

}  // namespace
}  // namespace Nimbel
