// Measuring helpers shared by the benchmarks: heap calls from the library's
// allocator counters, node counts of a value, and a page source kept warm.
#pragma once

#include <benchmark/benchmark.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "binding/binding_visitor.h"
#include "binding/internal/page_source.h"
#include "diagnostics/allocator.h"

namespace Nimbel::bench {

/// Heap calls made between construction and Stop (allocations and frees
/// apart), leaving out the stretches between Pause and Resume.
class HeapCalls {
public:
    HeapCalls() : start_(ReadMemoryStats()) {}
    void Pause() { Accumulate(); }
    void Resume() { start_ = ReadMemoryStats(); }
    void Stop() { Accumulate(); }
    [[nodiscard]] uint64_t Allocations() const { return allocations_; }
    [[nodiscard]] uint64_t Frees() const { return frees_; }

private:
    void Accumulate() {
        const MemoryStats now = ReadMemoryStats();
        allocations_ += now.allocations - start_.allocations;
        frees_ += now.frees - start_.frees;
    }
    MemoryStats start_;
    uint64_t allocations_ = 0;
    uint64_t frees_ = 0;
};

/// Counts the nodes of a value: every scalar, collection and structure.
class NodeCounter final : public BindingVisitor {
public:
    size_t nodes = 0;
    bool Empty() override { return Count(); }
    bool Bool(bool) override { return Count(); }
    bool Signed(int64_t) override { return Count(); }
    bool Unsigned(uint64_t) override { return Count(); }
    bool Float(double) override { return Count(); }
    bool String(std::string_view) override { return Count(); }
    bool Blob(std::span<const uint8_t>) override { return Count(); }
    bool Enum(const BindingEnum&) override { return Count(); }
    bool BeginCollection(size_t) override { return Count(); }
    bool BeginElement(size_t) override { return true; }
    bool EndElement(size_t) override { return true; }
    bool EndCollection() override { return true; }
    bool BeginStructure(size_t) override { return Count(); }
    bool MemberName(std::string_view) override { return true; }
    bool EndMember() override { return true; }
    bool EndStructure() override { return true; }

private:
    bool Count() {
        ++nodes;
        return true;
    }
};

/// Keeps four regions of the page source mapped while it lives, as the
/// long-lived values of a running plug-in do, so that values built meanwhile
/// draw on pages already mapped. Without it (nothing else alive) each
/// iteration maps and unmaps the regions it uses.
class WarmPageSource {
public:
    explicit WarmPageSource(bool warm = true) {
        if (!warm) return;
        internal::PageSource& source = internal::PageSource::Instance();
        constexpr size_t kPages = internal::PageSource::kPagesPerRegion;
        std::vector<void*> pages;
        for (size_t i = 0; i < 4 * kPages; ++i) pages.push_back(source.AcquirePage());
        // A fresh region hands out its pages in order, so every sixteenth page
        // starts a region.
        for (size_t i = 0; i < pages.size(); ++i) {
            if (i % kPages == 0) {
                held_.push_back(pages[i]);
            } else {
                source.ReleasePage(pages[i]);
            }
        }
    }
    /// Warm when the benchmark's first argument is not 0.
    explicit WarmPageSource(const benchmark::State& state) : WarmPageSource(state.range(0) != 0) {}
    WarmPageSource(const WarmPageSource&) = delete;
    WarmPageSource& operator=(const WarmPageSource&) = delete;
    ~WarmPageSource() {
        for (void* page : held_) internal::PageSource::Instance().ReleasePage(page);
    }

private:
    std::vector<void*> held_;
};

}  // namespace Nimbel::bench
