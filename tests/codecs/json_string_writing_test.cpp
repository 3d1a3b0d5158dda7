// The writers' strings, which copy runs of plain bytes eight at a time:
// byte for byte what RapidJSON's own Writer writes for well-formed UTF-8,
// wherever an escape or a multi-byte sequence falls against those eight-byte
// steps, and U+FFFD for ill-formed sequences wherever they fall; and their
// numbers, formatted in place, as RapidJSON's own Writer formats them.
#include <gtest/gtest.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

#include "codecs/internal/json_text_buffer.h"
#include "codecs/internal/json_value_writer.h"
#include "codecs/internal/utf8_text.h"

namespace Nimbel::internal {
namespace {

[[nodiscard]] std::string Written(std::string_view text) {
    JsonTextBuffer buffer;
    WriteEscapedString(buffer, text);
    return std::string(buffer.Text());
}

[[nodiscard]] std::string RapidJsonWritten(std::string_view text) {
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
    return buffer.GetString();
}

// Each insert placed after 0 to 17 plain bytes and followed by a few more, so
// that it meets every position within an eight-byte step and the tail.
TEST(JsonStringWritingTest, WellFormedTextsAreWrittenAsRapidJsonWritesThem) {
    const std::string_view inserts[] = {
        std::string_view("\"", 1),
        "\\",
        "\n",
        "\t",
        "\b",
        "\f",
        "\r",
        std::string_view("\0", 1),
        "\x01",
        "\x1F",
        "/",
        "\x7F",
        "\xC3\xA9",
        "\xE2\x82\xAC",
        "\xF0\x9F\x8E\xAE",
        "\"\\\n\x05",
        "\xE2\x82\xAC\"\xC3\xA9",
    };
    for (const std::string_view insert : inserts) {
        for (size_t before = 0; before < 18; ++before) {
            for (const size_t after : {size_t{0}, size_t{3}, size_t{9}}) {
                const std::string text =
                    std::string(before, 'a') + std::string(insert) + std::string(after, 'z');
                EXPECT_EQ(Written(text), RapidJsonWritten(text))
                    << "insert of " << insert.size() << " bytes after " << before;
            }
        }
    }
    EXPECT_EQ(Written(""), "\"\"");
    EXPECT_EQ(Written(std::string(40, 'x')), RapidJsonWritten(std::string(40, 'x')));
}

TEST(JsonStringWritingTest, IllFormedSequencesBecomeReplacementCharactersWhereverTheyFall) {
    const std::string_view bad[] = {"\x80", "\xC3", "\xE2\x82", "\xED\xA0\x80", "\xF5", "\xC0\xAF"};
    for (const std::string_view sequence : bad) {
        for (size_t before = 0; before < 18; ++before) {
            const std::string text = std::string(before, 'a') + std::string(sequence) + "\"tail\n";
            EXPECT_EQ(Written(text), RapidJsonWritten(ReplaceInvalidUtf8(text)))
                << sequence.size() << " bad bytes after " << before;
        }
    }
}

TEST(JsonStringWritingTest, AStringAfterOthersKeepsWhatWasWrittenBefore) {
    JsonTextBuffer buffer;
    WriteEscapedString(buffer, "first");
    WriteEscapedString(buffer, "bad \xFF byte");
    EXPECT_EQ(buffer.Text(), "\"first\"\"bad \xEF\xBF\xBD byte\"");
}

// The numbers in an array, so that each is written after a separator.
template <class Put>
void ExpectNumbersAsRapidJson(const Put& put, const char* description) {
    JsonTextBuffer ours;
    CountedJsonAllocator allocator;
    CompactJsonWriter writer(ours, &allocator);
    rapidjson::StringBuffer theirs;
    rapidjson::Writer<rapidjson::StringBuffer> reference(theirs);
    writer.StartArray();
    reference.StartArray();
    put(writer);
    put(reference);
    writer.EndArray();
    reference.EndArray();
    EXPECT_EQ(ours.Text(), std::string_view(theirs.GetString())) << description;
}

TEST(JsonStringWritingTest, NumbersAreWrittenAsRapidJsonWritesThem) {
    const int64_t signedNumbers[] = {
        0,          -1, 7, std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max(),
        -1000000007};
    const uint64_t unsignedNumbers[] = {0, 9, 4294967296u, std::numeric_limits<uint64_t>::max()};
    const double doubles[] = {0.0,
                              -0.0,
                              0.1,
                              -1.5,
                              1e300,
                              5e-324,
                              1.7976931348623157e308,
                              123456789012345678.0,
                              2.5e-7,
                              1698716402232.0};
    ExpectNumbersAsRapidJson(
        [&](auto& w) {
            for (const int64_t n : signedNumbers) w.Int64(n);
        },
        "signed");
    ExpectNumbersAsRapidJson(
        [&](auto& w) {
            for (const uint64_t n : unsignedNumbers) w.Uint64(n);
        },
        "unsigned");
    ExpectNumbersAsRapidJson(
        [&](auto& w) {
            for (const double n : doubles) w.Double(n);
        },
        "doubles");
}

}  // namespace
}  // namespace Nimbel::internal
