// ValueToJson: the JSON of each kind, escaping, enum names from a type context,
// non-finite floats as null, invalid UTF-8 as U+FFFD, the indented layout and
// its line breaks, and strings and names read back as written.
#include "codecs/json_writer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <utility>

#include "binding/static_type.h"
#include "codecs/json_reader.h"

namespace Nimbel {
namespace {

enum class GameState { Lobby = 1, InProgress = 2 };
enum class Lane { Top };

// Names GameState's enumerators 1 and 2; knows no other type or value.
class FakeEnumNames final : public EnumNameLookup {
public:
    std::optional<std::string_view> EnumeratorName(const StaticTypeId& type,
                                                   int32_t value) const override {
        if (!(type == StaticType::Name<GameState>())) return std::nullopt;
        const auto found = names_.find(value);
        if (found == names_.end()) return std::nullopt;
        return found->second;
    }

private:
    std::map<int32_t, std::string_view> names_{{1, "LOBBY"}, {2, "IN_PROGRESS"}};
};

struct WriteCase {
    const char* description;
    std::function<BindingProperty()> make;
    std::string expected;
};

void ExpectCompact(const WriteCase* begin, const WriteCase* end,
                   const EnumNameLookup* typeContext) {
    for (const WriteCase* c = begin; c != end; ++c) {
        EXPECT_EQ(ValueToJson(c->make(), typeContext, nullptr), c->expected) << c->description;
    }
}

BindingProperty Bytes(std::initializer_list<uint8_t> bytes) {
    return BindingProperty(BindingBytes(bytes));
}

BindingProperty Enum(int32_t value, const StaticTypeId& type) {
    return BindingProperty(BindingEnum{value, &type});
}

TEST(JsonWriterTest, EachKindWritesItsJson) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    const WriteCase cases[] = {
        {"empty value is the empty text, not null", [] { return BindingProperty(); }, ""},
        {"true", [] { return BindingProperty(true); }, "true"},
        {"false", [] { return BindingProperty(false); }, "false"},
        {"smallest signed", [] { return BindingProperty(std::numeric_limits<int64_t>::min()); },
         "-9223372036854775808"},
        {"largest unsigned", [] { return BindingProperty(std::numeric_limits<uint64_t>::max()); },
         "18446744073709551615"},
        {"float keeps a fraction part", [] { return BindingProperty(1.0); }, "1.0"},
        {"float in shortest form", [] { return BindingProperty(0.1); }, "0.1"},
        {"negative zero", [] { return BindingProperty(-0.0); }, "-0.0"},
        {"large float", [] { return BindingProperty(1e300); }, "1e300"},
        {"largest double", [] { return BindingProperty(std::numeric_limits<double>::max()); },
         "1.7976931348623157e308"},
        {"NaN as null", [nan] { return BindingProperty(nan); }, "null"},
        {"infinity as null", [infinity] { return BindingProperty(infinity); }, "null"},
        {"string", [] { return BindingProperty("Summoner"); }, "\"Summoner\""},
        {"empty string", [] { return BindingProperty(""); }, "\"\""},
        {"escapes", [] { return BindingProperty("q\" r\\ s/ \b\f\n\r\t"); },
         R"("q\" r\\ s/ \b\f\n\r\t")"},
        {"other control characters in upper-case hex",
         [] { return BindingProperty("\x01\x1F\x7F"); }, "\"\\u0001\\u001F\x7F\""},
        {"UTF-8 as it is and invalid UTF-8 as U+FFFD",
         [] { return BindingProperty("caf\xC3\xA9 \xFF\xC0\xAF"); },
         "\"caf\xC3\xA9 \xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
        {"blob as base64 with fill",
         [] {
             return Bytes({0x00, 0x10, 0x83, 0xFF});
         },
         "\"ABCD/w==\""},
        {"empty blob", [] { return Bytes({}); }, "\"\""},
        {"empty collection",
         [] {
             BindingProperty value;
             value.MakeCollection();
             return value;
         },
         "[]"},
        {"empty structure",
         [] {
             BindingProperty value;
             value.MakeStructure();
             return value;
         },
         "{}"},
        {"nested empty values as null",
         [] {
             BindingProperty value;
             value["a"].Clear();
             value["b"][2] = int64_t{1};
             return value;
         },
         R"({"a":null,"b":[null,null,1]})"},
        {"members in byte order of their names",
         [] {
             BindingProperty value;
             value["b"] = 1u;
             value["a"] = 2u;
             value["B"] = 3u;
             value["\xC3\xA9"] = 4u;
             return value;
         },
         "{\"B\":3,\"a\":2,\"b\":1,\"\xC3\xA9\":4}"},
        {"escaped member names",
         [] {
             BindingProperty value;
             value["line\nbreak"] = true;
             return value;
         },
         R"({"line\nbreak":true})"},
        {"non-finite floats among elements keep the array valid",
         [nan, infinity] {
             BindingProperty value;
             value.Append() = 1.5;
             value.Append() = nan;
             value.Append() = -infinity;
             value.Append() = 2.5;
             return value;
         },
         "[1.5,null,null,2.5]"},
        {"non-finite float as a member",
         [nan] {
             BindingProperty value;
             value["a"] = nan;
             value["b"] = 1u;
             return value;
         },
         R"({"a":null,"b":1})"},
    };
    ExpectCompact(std::begin(cases), std::end(cases), nullptr);
}

// Texts from peers may hold any bytes; JSON text must be UTF-8. Each maximal
// subpart of an ill-formed sequence becomes one U+FFFD (written R below).
TEST(JsonWriterTest, InvalidUtf8BecomesReplacementCharacters) {
    struct Case {
        const char* description;
        std::string text;
        std::string expected;  // the JSON string's contents, R for U+FFFD
    };
    const Case cases[] = {
        {"ASCII", "plain text", "plain text"},
        {"two-byte", "caf\xC3\xA9", "caf\xC3\xA9"},
        {"smallest two-byte", "\xC2\x80", "\xC2\x80"},
        {"smallest three-byte", "\xE0\xA0\x80", "\xE0\xA0\x80"},
        {"last before the surrogates", "\xED\x9F\xBF", "\xED\x9F\xBF"},
        {"first after the surrogates", "\xEE\x80\x80", "\xEE\x80\x80"},
        {"smallest four-byte", "\xF0\x90\x80\x80", "\xF0\x90\x80\x80"},
        {"emoji", "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
        {"largest code point", "\xF4\x8F\xBF\xBF", "\xF4\x8F\xBF\xBF"},
        {"stray continuation byte",
         "a\x80"
         "b",
         "aRb"},
        {"two stray continuation bytes", "\xBF\x80", "RR"},
        {"unused bytes", "\xFE\xFF", "RR"},
        {"overlong two-byte lead C0", "\xC0\xAF", "RR"},
        {"overlong two-byte lead C1", "\xC1\xBF", "RR"},
        {"overlong three-byte", "\xE0\x80\xAF", "RRR"},
        {"overlong four-byte", "\xF0\x8F\xBF\xBF", "RRRR"},
        {"high surrogate", "\xED\xA0\x80", "RRR"},
        {"low surrogate", "\xED\xBF\xBF", "RRR"},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", "RRRR"},
        {"lead byte beyond F4", "\xF5\x80\x80\x80", "RRRR"},
        {"two-byte cut at the end", "ab\xC3", "abR"},
        {"three-byte cut at the end", "\xE2\x82", "R"},
        {"four-byte cut at the end", "\xF0\x9F\x98", "R"},
        {"three-byte cut before ASCII", "\xE2\x82z", "Rz"},
        {"four-byte cut before a valid sequence", "\xF0\x9F\xC3\xA9", "R\xC3\xA9"},
        {"lead byte followed by a lead byte", "\xC3\xC3\xA9", "R\xC3\xA9"},
        {"invalid after a long ASCII run", std::string(17, 'x') + "\xFF",
         std::string(17, 'x') + "R"},
        {"escapes around invalid bytes", "\n\xFF\"",
         "\\n"
         "R"
         "\\\""},
    };
    for (const Case& c : cases) {
        std::string expected = "\"";
        for (const char ch : c.expected)
            expected += ch == 'R' ? "\xEF\xBF\xBD" : std::string(1, ch);
        expected += "\"";
        EXPECT_EQ(ValueToJson(BindingProperty(c.text), nullptr, nullptr), expected)
            << c.description;
        BindingProperty member;
        member[c.text] = true;
        EXPECT_EQ(ValueToJson(member, nullptr, nullptr), "{" + expected + ":true}")
            << c.description << " as a member name";
    }
    // ASCII is skipped several bytes at a time: a bad byte at any offset
    // inside such a run is still found.
    const std::string ascii = "abcdefghijklmnopqrstuvwx";
    for (size_t at = 0; at < ascii.size(); ++at) {
        std::string text = ascii;
        text[at] = '\xFF';
        std::string expected = "\"" + ascii + "\"";
        expected.replace(at + 1, 1, "\xEF\xBF\xBD");
        EXPECT_EQ(ValueToJson(BindingProperty(text), nullptr, nullptr), expected)
            << "invalid byte at offset " << at << " of an ASCII run";
    }
}

// Whatever a string or member name holds, valid UTF-8 included, reading its
// JSON gives it back.
TEST(JsonWriterTest, StringsAndNamesReadBackAsWritten) {
    std::string everyAscii;
    for (int c = 1; c < 0x80; ++c) everyAscii += static_cast<char>(c);
    const std::string texts[] = {
        everyAscii,
        "\xC2\x80 \xDF\xBF \xE0\xA0\x80 \xED\x9F\xBF \xEF\xBF\xBF \xF0\x90\x80\x80 "
        "\xF4\x8F\xBF\xBF",
        "\\u0041 \"\\\" /\\/",
        "",
    };
    for (const std::string& text : texts) {
        BindingProperty value;
        value["s"] = text;
        value[text] = 1u;
        for (const char* lineBreak : {static_cast<const char*>(nullptr), "\r\n"}) {
            const BindingStatus read = JsonToValue(ValueToJson(value, nullptr, lineBreak).c_str());
            ASSERT_TRUE(read.Ok()) << read.ErrorMessage();
            EXPECT_EQ(read.Value()["s"].GetString(), text);
            EXPECT_EQ(read.Value()[text].GetUnsigned(), 1u) << text;
        }
    }
}

TEST(JsonWriterTest, EnumsAreNamedOnlyWhenTheTypeContextKnowsTheValue) {
    const FakeEnumNames names;
    const StaticTypeId& gameState = StaticType::Name<GameState>();
    const StaticTypeId& lane = StaticType::Name<Lane>();
    struct Case {
        const char* description;
        BindingEnum pair;
        const EnumNameLookup* typeContext;
        std::string expected;
    };
    const Case cases[] = {
        {"known enumerator", {2, &gameState}, &names, "\"IN_PROGRESS\""},
        {"unknown value of a known type", {7, &gameState}, &names, "7"},
        {"type the context does not know", {1, &lane}, &names, "1"},
        {"negative value without a name", {-3, &gameState}, &names, "-3"},
        {"no type context", {2, &gameState}, nullptr, "2"},
        {"the no-type pair", {}, &names, "0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ValueToJson(BindingProperty(c.pair), c.typeContext, nullptr), c.expected)
            << c.description;
    }
    BindingProperty record;
    record["state"] = Enum(1, gameState);
    record["states"].Append() = Enum(2, gameState);
    EXPECT_EQ(ValueToJson(record, &names, "\n"),
              "{\n    \"state\": \"LOBBY\",\n    \"states\": [\n        \"IN_PROGRESS\"\n    ]\n}");
}

BindingProperty SmallGame() {
    BindingProperty game;
    game["gameId"] = uint64_t{3037071829};
    game["teams"].Append()["win"] = "Win";
    game["teams"].Append()["win"] = "Fail";
    game["bans"].MakeCollection();
    game["mode"] = "line 1\nline 2";
    game["empty"].Clear();
    return game;
}

TEST(JsonWriterTest, IndentedLayoutUsesTheGivenLineBreak) {
    const std::string withLineFeeds =
        "{\n"
        "    \"bans\": [],\n"
        "    \"empty\": null,\n"
        "    \"gameId\": 3037071829,\n"
        "    \"mode\": \"line 1\\nline 2\",\n"
        "    \"teams\": [\n"
        "        {\n"
        "            \"win\": \"Win\"\n"
        "        },\n"
        "        {\n"
        "            \"win\": \"Fail\"\n"
        "        }\n"
        "    ]\n"
        "}";
    auto replaced = [&](const std::string& lineBreak) {
        std::string text;
        for (const char c : withLineFeeds) {
            if (c == '\n') {
                text += lineBreak;
            } else {
                text += c;
            }
        }
        return text;
    };
    struct Case {
        const char* description;
        const char* lineBreak;
        std::string expected;
    };
    const Case cases[] = {
        {"null line break is compact", nullptr,
         R"({"bans":[],"empty":null,"gameId":3037071829,"mode":"line 1\nline 2",)"
         R"("teams":[{"win":"Win"},{"win":"Fail"}]})"},
        {"empty line break is compact", "",
         R"({"bans":[],"empty":null,"gameId":3037071829,"mode":"line 1\nline 2",)"
         R"("teams":[{"win":"Win"},{"win":"Fail"}]})"},
        {"line feed", "\n", withLineFeeds},
        {"carriage return and line feed", "\r\n", replaced("\r\n")},
        {"any other text", "<br/>", replaced("<br/>")},
    };
    const BindingProperty game = SmallGame();
    for (const Case& c : cases) {
        EXPECT_EQ(ValueToJson(game, nullptr, c.lineBreak), c.expected) << c.description;
    }
}

TEST(JsonWriterTest, WindowsLineBreaksLeaveNoBareLineFeed) {
    const std::string text = ValueToJson(SmallGame(), nullptr, "\r\n");
    ASSERT_NE(text.find("\r\n"), std::string::npos);
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n') {
            EXPECT_TRUE(i > 0 && text[i - 1] == '\r') << "bare line feed at " << i;
        }
    }
}

}  // namespace
}  // namespace Nimbel
