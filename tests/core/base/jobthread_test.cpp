#include "core/base/jobthread.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

// Jobs are handed over while the poster goes on; what they touch is read only after Wait.
// A slow first job shows that neither a later job nor Wait overtakes it.
TEST(JobThread, RunsJobsInPostedOrderAndWaitReturnsWhenAllHaveRun)
{
    std::vector<int> done;
    auto worker = std::make_unique<CJobThread>();
    worker->Post([&done] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        done.push_back(0);
    });
    for (int i = 1; i < 50; ++i)
        worker->Post([&done, i] { done.push_back(i); });
    worker->Wait();
    ASSERT_EQ(50u, done.size());
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(i, done[size_t(i)]);

    // Reused after a wait; jobs still queued when it ends are run before it is gone.
    worker->Post([&done] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        done.push_back(50);
    });
    worker->Post([&done] { done.push_back(51); });
    worker.reset();
    EXPECT_EQ((std::vector<int>{50, 51}), std::vector<int>(done.begin() + 50, done.end()));
}
