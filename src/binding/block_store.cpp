// Page-carved blocks: a bump pointer within the current page and a count of
// live blocks per page.
#include "binding/block_store.h"

#include <cassert>
#include <new>

#include "binding/internal/page_source.h"

namespace Nimbel::internal {
namespace {

static_assert(BlockStore::kLargestBlock + 32 <= PageSource::kPageBytes);

[[nodiscard]] constexpr size_t RoundedToEight(size_t bytes) noexcept {
    return (bytes + 7) & ~size_t{7};
}

}  // namespace

BlockStore::~BlockStore() {
    assert(pagesHeld_ == 0 && "an arena was destroyed while values still used its blocks");
}

void* BlockStore::Allocate(size_t bytes) {
    assert(bytes >= 1 && bytes <= kLargestBlock);
    const size_t rounded = RoundedToEight(bytes);
    if (current_ == nullptr || used_ + rounded > PageSource::kPageBytes) StartPage();
    auto* block = reinterpret_cast<std::byte*>(current_) + used_;
    used_ += rounded;
    ++current_->liveBlocks;
    return block;
}

void BlockStore::Free(void* block) noexcept {
    PageHeader* page = PageOf(block);
    assert(page->liveBlocks > 0);
    if (--page->liveBlocks != 0) return;
    if (page == current_) current_ = nullptr;
    ReleasePage(page);
}

void BlockStore::StartPage() {
    // The page being left keeps its blocks; it goes back when they are freed.
    void* memory = PageSource::Instance().AcquirePage();
    ++pagesHeld_;
    current_ = new (memory) PageHeader{pages_, nullptr, 0};
    if (pages_ != nullptr) pages_->previous = current_;
    pages_ = current_;
    used_ = kHeaderBytes;
}

void BlockStore::ReleasePage(PageHeader* page) noexcept {
    if (page->previous != nullptr) {
        page->previous->next = page->next;
    } else {
        pages_ = page->next;
    }
    if (page->next != nullptr) page->next->previous = page->previous;
    --pagesHeld_;
    PageSource::Instance().ReleasePage(page);
}

void BlockStore::ReleaseAllPages() noexcept {
    while (pages_ != nullptr) {
        PageHeader* next = pages_->next;
        PageSource::Instance().ReleasePage(pages_);
        pages_ = next;
    }
    current_ = nullptr;
    used_ = 0;
    pagesHeld_ = 0;
}

BlockStore::PageHeader* BlockStore::PageOf(const void* block) noexcept {
    const auto address = reinterpret_cast<uintptr_t>(block);
    return reinterpret_cast<PageHeader*>(address & ~uintptr_t{PageSource::kPageBytes - 1});
}

}  // namespace Nimbel::internal
