// Checks the framework's Windows facilities against the system they wrap, in
// a program of its own until the test suite runs on Windows: each check is one
// row of a table, and the program prints every row that fails and exits 1.
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "binding/internal/page_source.h"
#include "diagnostics/allocator.h"
#include "diagnostics/c_locale.h"
#include "diagnostics/debugger_console_log_target.h"
#include "diagnostics/internal/elapsed_clock.h"
#include "diagnostics/internal/executable_name.h"
#include "diagnostics/internal/local_clock.h"
#include "diagnostics/internal/thread_identity.h"
#include "diagnostics/trace_provider.h"

namespace {

using Nimbel::internal::PageSource;

// Pages are 4096-aligned, fill a 64 KB region before a second one is taken,
// and the regions go back to the system once every page is released.
bool PagesComeFromRegionsThatGoBack() {
    PageSource& source = PageSource::Instance();
    const size_t regionsBefore = source.Counters().regionsMapped;
    void* pages[PageSource::kPagesPerRegion + 1] = {};
    bool aligned = true;
    for (void*& page : pages) {
        page = source.AcquirePage();
        aligned = aligned && reinterpret_cast<uintptr_t>(page) % PageSource::kPageBytes == 0;
        std::memset(page, 0xA5, PageSource::kPageBytes);
    }
    const bool twoRegions = source.Counters().regionsMapped == regionsBefore + 2;
    for (void* page : pages) source.ReleasePage(page);
    return aligned && twoRegions && source.Counters().regionsMapped == regionsBefore;
}

bool ExecutableNameIsThisProgram() {
    return std::strcmp(Nimbel::internal::ProcessExecutableName(),
                       "platform-facilities-probe.exe") == 0;
}

bool FileNamePartSplitsAtEitherSeparator() {
    using Nimbel::internal::FileNamePart;
    return std::strcmp(FileNamePart("C:\\core\\plugins\\a.dll"), "a.dll") == 0 &&
           std::strcmp(FileNamePart("C:/core/plugins/b.dll"), "b.dll") == 0 &&
           std::strcmp(FileNamePart("C:\\core/mixed\\c.dll"), "c.dll") == 0 &&
           std::strcmp(FileNamePart("bare.dll"), "bare.dll") == 0;
}

bool LocalClockMatchesTheSystem() {
    SYSTEMTIME system{};
    GetLocalTime(&system);
    const Nimbel::LocalTime local = Nimbel::internal::ReadLocalClock();
    return local.year == system.wYear && local.month == system.wMonth && local.day == system.wDay &&
           local.millisecond >= 0 && local.millisecond < 1000;
}

bool ElapsedClockAdvancesWithSleep() {
    const double first = Nimbel::internal::SecondsSinceFirstElapsedReading();
    Sleep(50);
    const double later = Nimbel::internal::SecondsSinceFirstElapsedReading();
    return later - first >= 0.04 && later - first < 5.0;
}

bool ThreadIdIsTheSystemsId() {
    return Nimbel::internal::CurrentThreadId() == GetCurrentThreadId();
}

// Sizes are the runtime's own, so the counters see at least what was asked.
bool AllocatorCountsRuntimeSizes() {
    const Nimbel::MemoryStats before = Nimbel::ReadMemoryStats();
    void* block = Nimbel::Allocate(100);
    char* text = Nimbel::DuplicateText("counted text");
    const bool sized = Nimbel::BlockSize(block) >= 100 &&
                       Nimbel::BlockSize(text) >= sizeof "counted text" &&
                       std::strcmp(text, "counted text") == 0;
    Nimbel::Free(text);
    Nimbel::Free(block);
    const Nimbel::MemoryStats after = Nimbel::ReadMemoryStats();
    return sized && after.allocations == before.allocations + 2 &&
           after.frees == before.frees + 2 &&
           after.bytesAllocated - before.bytesAllocated == after.bytesFreed - before.bytesFreed;
}

bool NumbersReadAsInTheCLocale() {
    char* end = nullptr;
    const double value = Nimbel::CLocaleStrtod("1.5e3x", &end);
    return value == 1500.0 && *end == 'x' && Nimbel::CLocaleStrtoll("-0x10", nullptr, 0) == -16 &&
           Nimbel::CLocaleStrtoull("18446744073709551615", nullptr, 10) == UINT64_MAX &&
           std::isinf(Nimbel::CLocaleStrtod("INFINITY", nullptr));
}

// A redirected debugger target writes to its stream, as on Linux; its own
// output goes to OutputDebugStringA, which must not fail without a debugger.
bool DebuggerTargetTakesLines() {
    Nimbel::DebuggerConsoleLogTarget toSystem({Nimbel::kLogOkay, 0, 0, "#M"});
    const bool system = toSystem.Write(Nimbel::LogEntry{{}, Nimbel::kLogWarn, 0, "probe line"});
    std::FILE* stream = std::tmpfile();
    if (stream == nullptr) return false;
    Nimbel::DebuggerConsoleLogTarget redirected({Nimbel::kLogOkay, 0, 0, "#M"}, stream);
    const bool written = redirected.Write(Nimbel::LogEntry{{}, Nimbel::kLogWarn, 0, "line"});
    std::rewind(stream);
    char text[16] = {};
    const bool read = std::fgets(text, sizeof text, stream) != nullptr;
    std::fclose(stream);
    return system && written && read && std::strcmp(text, "line\n") == 0;
}

// Advapi32 has the three functions on every supported Windows (and in Wine):
// the consumer is found, and registering, writing and unregistering return.
bool EventTracingIsFound() {
    const Nimbel::TraceConsumer consumer = Nimbel::FindTraceConsumer();
    if (!consumer.IsPresent()) return false;
    Nimbel::RegisterTraceProviders(consumer);
    Nimbel::WriteMainThreadEvent();
    Nimbel::UnregisterTraceProviders();
    return true;
}

struct Check {
    const char* description;
    bool (*passes)();
};

constexpr Check kChecks[] = {
    {"pages come from 64 KB regions that go back", PagesComeFromRegionsThatGoBack},
    {"the executable's name is this program's", ExecutableNameIsThisProgram},
    {"file names split at '\\' and '/'", FileNamePartSplitsAtEitherSeparator},
    {"the local clock matches GetLocalTime", LocalClockMatchesTheSystem},
    {"the elapsed clock advances with Sleep", ElapsedClockAdvancesWithSleep},
    {"the thread id is GetCurrentThreadId", ThreadIdIsTheSystemsId},
    {"the allocator counts the runtime's sizes", AllocatorCountsRuntimeSizes},
    {"numbers read as in the C locale", NumbersReadAsInTheCLocale},
    {"the debugger target takes lines", DebuggerTargetTakesLines},
    {"event tracing is found in Advapi32", EventTracingIsFound},
};

}  // namespace

int main() {
    int failures = 0;
    for (const Check& check : kChecks) {
        const bool passed = check.passes();
        std::printf("%s: %s\n", passed ? "ok  " : "FAIL", check.description);
        failures += passed ? 0 : 1;
    }
    std::printf("%d of %d checks failed\n", failures, static_cast<int>(std::size(kChecks)));
    return failures == 0 ? 0 : 1;
}
