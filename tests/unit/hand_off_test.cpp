#include "tools/batch/hand_off.h"

#include <thread>
#include <vector>

#include <gtest/gtest.h>

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

TEST(Hand_Off, AnItemPutBeforeCloseIsStillTaken) {
    Hand_Off<int> hand_off;
    hand_off.put(7);
    hand_off.close();
    EXPECT_EQ(hand_off.take(), std::optional<int>(7));
    EXPECT_EQ(hand_off.take(), std::nullopt);
}
