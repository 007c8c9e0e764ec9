#include "core/catalogue/holderindex.h"

#include "core/catalogue/componentholder.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// Names that share their start and their length, enough of them to grow the table many
// times; each must find its own holder, and names never added (or cleared) must find none.
TEST(HolderIndex, FindsEveryHolderAddedAcrossGrowthAndNoneAfterClear)
{
    std::vector<std::unique_ptr<CComponentHolder>> holders;
    CHolderIndex index;
    EXPECT_EQ(index.Find("C00000"), nullptr);
    for (int i = 0; i < 5000; ++i) {
        holders.push_back(std::make_unique<CComponentHolder>("C" + std::to_string(10000 + i)));
        index.Add(holders.back().get());
    }
    for (const auto& holder : holders)
        ASSERT_EQ(index.Find(holder->GetName()), holder.get()) << holder->GetName();
    for (const char* absent : {"", "C", "C9999", "C15000", "c10000", "C10000 "})
        EXPECT_EQ(index.Find(absent), nullptr) << absent;
    index.Clear();
    EXPECT_EQ(index.Find("C10000"), nullptr);
    index.Add(holders.front().get());
    EXPECT_EQ(index.Find("C10000"), holders.front().get());
}
