// The process-wide page source: aligned distinct pages, regions unmapped when all free.
#include "binding/internal/page_source.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <vector>

namespace Nimbel::internal {
namespace {

TEST(PageSourceTest, PagesAreAlignedDistinctAndWritable) {
    PageSource& source = PageSource::Instance();
    std::vector<void*> pages;
    std::set<uintptr_t> addresses;
    for (int i = 0; i < 40; ++i) {
        void* page = source.AcquirePage();
        const auto address = reinterpret_cast<uintptr_t>(page);
        EXPECT_EQ(address % PageSource::kPageBytes, 0u) << "page " << i;
        EXPECT_TRUE(addresses.insert(address).second) << "page " << i << " handed out twice";
        static_cast<unsigned char*>(page)[PageSource::kPageBytes - 1] = 0xAB;
        pages.push_back(page);
    }
    for (void* page : pages) source.ReleasePage(page);
}

TEST(PageSourceTest, RegionIsUnmappedOnlyWhenAllSixteenPagesAreFree) {
    PageSource& source = PageSource::Instance();
    // No value is alive between tests, so no region is mapped and regions
    // fill one after the other in the order their pages are handed out.
    ASSERT_EQ(source.Counters().pagesInUse, 0u);
    ASSERT_EQ(source.Counters().regionsMapped, 0u);
    std::vector<void*> pages;
    const size_t count = PageSource::kPagesPerRegion * 3;
    for (size_t i = 0; i < count; ++i) pages.push_back(source.AcquirePage());
    const PageSourceCounters full = source.Counters();
    EXPECT_EQ(full.pagesInUse, count);
    EXPECT_EQ(full.regionsMapped, 3u);

    // The last sixteen pages are the third region: fifteen free keep it mapped.
    for (size_t i = count - 1; i > count - PageSource::kPagesPerRegion; --i) {
        source.ReleasePage(pages[i]);
    }
    EXPECT_EQ(source.Counters().regionsMapped, full.regionsMapped);
    source.ReleasePage(pages[count - PageSource::kPagesPerRegion]);
    EXPECT_EQ(source.Counters().regionsMapped, full.regionsMapped - 1);

    for (size_t i = 0; i < count - PageSource::kPagesPerRegion; ++i) source.ReleasePage(pages[i]);
    EXPECT_EQ(source.Counters().pagesInUse, 0u);
    EXPECT_EQ(source.Counters().regionsMapped, 0u);
}

}  // namespace
}  // namespace Nimbel::internal
