#include "diagnostics/log_line_format.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "diagnostics/log_group_table.h"
#include "diagnostics/log_level.h"

namespace Nimbel {
namespace {

LogEntry FixedEntry(const char* message = "disk full") {
    LogEntry entry;
    entry.time = LocalTime{2024, 3, 5, 7, 8, 9, 45};
    entry.level = kLogError;
    entry.groups = LogGroups::GEN | LogGroups::PRF;
    entry.message = message;
    return entry;
}

std::string Line(const char* format, const LogEntry& entry, size_t capacity = kLogLineCapacity) {
    std::string buffer(capacity, '\x7f');
    const size_t length = FormatLine(buffer.data(), capacity, format, entry);
    // The line ends at the formatter's terminating NUL, wherever that is.
    buffer.resize(std::min(buffer.size(), buffer.find('\0')));
    EXPECT_EQ(length, buffer.size()) << "for format " << format;
    return buffer;
}

std::string ThreadIdText() {
    char text[32];
    std::snprintf(text, sizeof text, "%p",
                  reinterpret_cast<void*>(static_cast<uintptr_t>(gettid())));
    return text;
}

TEST(LogLineFormatTest, CodesExpandAndEveryLineEndsWithOneNewline) {
    struct Case {
        const char* description;
        const char* format;
        LogEntry entry;
        std::string expected;
    };
    const Case cases[] = {
        {"## writes one #", "##", FixedEntry(), "#\n"},
        {"unknown code writes its character", "#Q#M", FixedEntry(), "Qdisk full\n"},
        {"# ending the format is kept", "50#", FixedEntry(), "50#\n"},
        {"format ending in a newline yields one", "#M\n", FixedEntry(), "disk full\n"},
        {"message ending in a newline yields one", "#M", FixedEntry("done\n"), "done\n"},
        {"empty format is an empty line", "", FixedEntry(), "\n"},
        {"null format is an empty line", nullptr, FixedEntry(), "\n"},
        {"groups lowest bit first", "#G", FixedEntry(), "GEN;PRF\n"},
        {"bit without a name", "#G",
         [] {
             LogEntry e = FixedEntry();
             e.groups = LogGroups::DBG | (1ull << 63);
             return e;
         }(),
         "DBG;???\n"},
        {"core format", "#D| #L| #G| #M", FixedEntry(),
         "2024-03-05T07:08:09.045|  ERROR| GEN;PRF| disk full\n"},
        {"console format", "#E(#T): #L| #M", FixedEntry(),
         "kzo_tests(" + ThreadIdText() + "):  ERROR| disk full\n"},
        {"level outside the table", "#L",
         [] {
             LogEntry e = FixedEntry();
             e.level = 7;
             return e;
         }(),
         "   ???\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Line(c.format, c.entry), c.expected) << c.description;
    }
}

TEST(LogLineFormatTest, EveryLevelIsNamedRightAlignedInSixCharacters) {
    const std::pair<int32_t, const char*> cases[] = {
        {-1, "   ???\n"},        {kLogOkay, "  OKAY\n"},   {kLogWarn, "  WARN\n"},
        {kLogError, " ERROR\n"}, {kLogAlways, "ALWAYS\n"}, {4, "   ???\n"},
    };
    for (const auto& [level, expected] : cases) {
        LogEntry entry = FixedEntry();
        entry.level = level;
        EXPECT_EQ(Line("#L", entry), expected) << level;
    }
}

TEST(LogLineFormatTest, CutsToCapacityKeepingTheNewlineAndNul) {
    struct Case {
        const char* description;
        size_t capacity;
        const char* message;
        std::string expected;
    };
    const Case cases[] = {
        {"text cut one short of its newline", 8, "disk full", "disk f\n"},
        {"text that just fits", 11, "disk full", "disk full\n"},
        {"own newline cut away, then added back", 6, "abcd\n", "abcd\n"},
        {"room for the newline only", 2, "disk full", "\n"},
        {"room for the NUL only", 1, "disk full", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Line("#M", FixedEntry(c.message), c.capacity), c.expected) << c.description;
    }

    const std::string longMessage(5000, 'x');
    const std::string line = Line("#M", FixedEntry(longMessage.c_str()));
    EXPECT_EQ(line.size(), kLogLineCapacity - 1);
    EXPECT_EQ(line.back(), '\n');
}

TEST(LogLineFormatTest, ZeroCapacityLeavesTheBufferUntouched) {
    char buffer[4] = {'a', 'b', 'c', '\0'};
    EXPECT_EQ(FormatLine(buffer, 0, "#M", FixedEntry()), 0u);
    EXPECT_STREQ(buffer, "abc");
}

TEST(LogLineFormatTest, ElapsedTimeHasSixDigitSecondsAndThreeDigitMilliseconds) {
    const std::string line = Line("#H", FixedEntry());
    EXPECT_THAT(line, ::testing::MatchesRegex("[0-9]{6}\\.[0-9]{3}\n"));
}

}  // namespace
}  // namespace Nimbel
