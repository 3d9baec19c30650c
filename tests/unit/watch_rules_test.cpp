// The workers' and the watch's bookkeeping rules without a watch: when a
// scan is looked at again, what a stop reports, how long a retry waits, how
// many jobs fit, how a conversion reaches its writer.
#include <gtest/gtest.h>

#include <cerrno>
#include <thread>
#include <vector>

#include "tools/batch/hand_off.h"
#include "tools/batch/job_memory.h"
#include "tools/batch/watch_queue.h"

namespace {

using namespace std::chrono_literals;
using Time = Watch_Queue::Time;

const Time t0 = Time{} + 1h;

TEST(Watch_Queue, AScanIsDueOnceItsBurstIsOverAndNotWhileConverting) {
    Watch_Queue q;
    q.sighted("a.stl", true, false, std::nullopt, t0);
    EXPECT_TRUE(q.due(t0).empty());
    EXPECT_EQ(q.due(t0 + Watch_Queue::kBurst), std::vector<std::string>{"a.stl"});
    q.converting("a.stl");
    EXPECT_TRUE(q.due(t0 + 1h).empty());
    EXPECT_FALSE(q.next_due());
    q.done("a.stl", t0 + 1s);
    EXPECT_TRUE(q.empty());
}

TEST(Watch_Queue, ASightingDuringItsConversionBringsItBackAfter) {
    Watch_Queue q;
    q.sighted("a.stl", false, false, std::nullopt, t0);
    q.converting("a.stl");
    q.sighted("a.stl", true, false, std::nullopt, t0 + 1s);  // appended to meanwhile
    q.done("a.stl", t0 + 2s);
    ASSERT_NE(q.find("a.stl"), nullptr);
    EXPECT_TRUE(q.find("a.stl")->event);
    EXPECT_EQ(q.due(t0 + 2s + Watch_Queue::kBurst), std::vector<std::string>{"a.stl"});
}

TEST(Watch_Queue, FailuresThatMayPassBackOffAndAChangeStartsAfresh) {
    Watch_Queue q;
    q.sighted("a.stl", true, false, std::nullopt, t0);
    q.converting("a.stl");
    EXPECT_TRUE(q.retry("a.stl", "full", t0)) << "the first failure is said";
    EXPECT_EQ(q.next_due(), t0 + 1s);
    q.converting("a.stl");
    EXPECT_FALSE(q.retry("a.stl", "full", t0)) << "later ones are not";
    EXPECT_EQ(q.next_due(), t0 + 2s);
    q.sighted("a.stl", true, false, std::nullopt, t0);  // the scan changed
    EXPECT_EQ(q.next_due(), t0 + Watch_Queue::kBurst);
    EXPECT_EQ(q.find("a.stl")->failures, 0);
}

TEST(Watch_Queue, AStopReportsEveryScanInHandWithWhyItWaited) {
    Watch_Queue q;
    for (const char* p : {"settling", "writer", "retry", "converting"})
        q.sighted(p, true, false, std::nullopt, t0);
    q.writer_busy("writer", t0);
    q.converting("retry");
    q.retry("retry", "cannot write \"x.bmp\": No space left on device", t0);
    q.converting("converting");
    std::map<std::string, std::string> said;
    for (const Watch_Queue::Interrupted& i : q.stop()) said[i.path] = i.message;
    EXPECT_EQ(said["settling"], "interrupted (waiting for it to settle)");
    EXPECT_EQ(said["writer"],
              "interrupted (still being written: another process has it open for writing)");
    EXPECT_EQ(said["retry"],
              "interrupted (waiting to try again after: cannot write \"x.bmp\": "
              "No space left on device)");
    EXPECT_EQ(said["converting"], "interrupted (being converted)");
    EXPECT_TRUE(q.empty());
}

TEST(Watch_Rules, RetriesWaitOneSecondDoublingToAMinute) {
    EXPECT_EQ(retry_delay(1), 1s);
    EXPECT_EQ(retry_delay(2), 2s);
    EXPECT_EQ(retry_delay(6), 32s);
    EXPECT_EQ(retry_delay(7), 60s);
    EXPECT_EQ(retry_delay(1000), 60s);
}

TEST(Watch_Rules, OnlyFailuresThatCanPassAreTriedAgain) {
    for (int e : {ENOSPC, EDQUOT, EFBIG, EIO}) EXPECT_TRUE(failure_may_pass(e, false)) << e;
    EXPECT_TRUE(failure_may_pass(0, true)) << "a writer still at it";
    for (int e : {0, EACCES, ENOENT, EISDIR}) EXPECT_FALSE(failure_may_pass(e, false)) << e;
}

TEST(Watch_Rules, JobsAreLoweredToWhatMemoryHolds) {
    constexpr std::uint64_t gb = 1'000'000'000;
    EXPECT_EQ(jobs_memory_allows(8, 100 * gb, 2 * gb), 8u);
    EXPECT_EQ(jobs_memory_allows(8, 7 * gb, 2 * gb), 3u);
    EXPECT_EQ(jobs_memory_allows(8, gb, 2 * gb), 1u) << "one job always runs";
    EXPECT_GT(kBytesPerJob, 1 * gb) << "the largest model accepted";
}

// A worker hands each conversion to its writer thread this way: none may be
// lost or reordered, however the two threads run, and the writer ends only
// once the last one is taken.
TEST(Hand_Off, EveryItemArrivesOnceInOrderAndCloseEndsTheTaker) {
    constexpr int kItems = 100000;
    Hand_Off<int> hand_off;
    std::vector<int> taken;
    std::thread taker([&] {
        while (std::optional<int> item = hand_off.take()) taken.push_back(*item);
    });
    for (int k = 0; k < kItems; ++k) hand_off.put(k);
    hand_off.close();
    taker.join();
    ASSERT_EQ(taken.size(), static_cast<std::size_t>(kItems));
    for (int k = 0; k < kItems; ++k) ASSERT_EQ(taken[k], k);
}

}  // namespace
