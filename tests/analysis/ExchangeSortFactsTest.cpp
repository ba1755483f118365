// The fast exchange-sort order rests on two facts about the exchange sort;
// both are checked here by brute force before the order itself is compared
// with the literal sort.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <deque>
#include <limits>
#include <random>
#include <vector>

#include <gtest/gtest.h>

#include "analysis/ExchangeSort.h"
#include "oracle/PlainCurveConstruction.h"

namespace quorrel {
namespace {

using Order = std::vector<std::size_t>;

// Small integer keys, so that most keys have several equals.
std::vector<double> randomKeys(std::mt19937_64& random, std::size_t count, int distinctKeys)
{
    std::uniform_int_distribution<int> key(0, distinctKeys - 1);
    std::vector<double> keys(count);
    for (double& value : keys)
        value = key(random);
    return keys;
}

// The indices of the elements whose key is at most limit, in the order they
// appear in `order`.
Order membersUpTo(const Order& order, const std::vector<double>& keys, double limit)
{
    Order members;
    for (const std::size_t index : order) {
        if (keys[index] <= limit)
            members.push_back(index);
    }
    return members;
}

// The indices of the keys up to limit, exchange-sorted on their own.
Order sortOnlyUpTo(const std::vector<double>& keys, double limit)
{
    Order positions;
    std::vector<double> subKeys;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (keys[i] <= limit) {
            positions.push_back(i);
            subKeys.push_back(keys[i]);
        }
    }
    Order sorted;
    for (const std::size_t k : plain::exchangeSortOrder(subKeys))
        sorted.push_back(positions[k]);
    return sorted;
}

TEST(ExchangeSortFacts, OrderOfKeysUpToK_IsThatOfSortingOnlyThem)
{
    std::mt19937_64 random(11);
    for (int trial = 0; trial < 3000; ++trial) {
        const std::vector<double> keys = randomKeys(random, 1 + trial % 40, 1 + trial % 6);
        const Order whole = plain::exchangeSortOrder(keys);
        for (const double limit : keys)
            ASSERT_EQ(membersUpTo(whole, keys, limit), sortOnlyUpTo(keys, limit)) << "trial " << trial;
    }
}

TEST(ExchangeSortFacts, LargestKeysEndInTheOrderOfTheQueueWalk)
{
    std::mt19937_64 random(12);
    for (int trial = 0; trial < 3000; ++trial) {
        const std::vector<double> keys = randomKeys(random, 1 + trial % 40, 2 + trial % 4);
        const double largest = *std::max_element(keys.begin(), keys.end());

        std::deque<std::size_t> queue;
        for (std::size_t i = 0; i < keys.size(); ++i) {
            if (keys[i] == largest) {
                queue.push_back(i);
            } else if (!queue.empty()) {
                queue.push_back(queue.front());
                queue.pop_front();
            }
        }
        Order largestLast;
        for (const std::size_t index : plain::exchangeSortOrder(keys)) {
            if (keys[index] == largest)
                largestLast.push_back(index);
        }
        ASSERT_EQ(largestLast, Order(queue.begin(), queue.end())) << "trial " << trial;
    }
}

TEST(ExchangeSortOrder, SmallCases_MatchTheOrderWorkedOutByHand)
{
    // 2, 2, 1: the first 2 swaps with the 1 and ends last.
    EXPECT_EQ(exchangeSortOrder({2, 2, 1}), (Order{2, 1, 0}));
    // 1, 2, 2, 0, 0 swap by swap: a = 0 swaps the 1 with the first 0; a = 1
    // hands its 2 to position 3 for the 1, then the 1 to position 4 for the
    // second 0; a = 2 swaps its 2 with that 1. The 2s end in their old order.
    EXPECT_EQ(exchangeSortOrder({1, 2, 2, 0, 0}), (Order{3, 4, 0, 1, 2}));
    // A NaN never compares greater, so it stays where it is.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(exchangeSortOrder({nan, 3, 1}), (Order{0, 2, 1}));
    EXPECT_TRUE(exchangeSortOrder({}).empty());
}

TEST(ExchangeSortOrder, RandomKeysWithManyTies_MatchTheLiteralSort)
{
    std::mt19937_64 random(13);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (int trial = 0; trial < 600; ++trial) {
        // Sizes across the direct (up to 32) and the counted path, with groups
        // of equal keys large enough for the counted queue (over 128).
        const std::size_t count = trial % 3 == 0 ? 1 + trial % 31 : 30 + (trial * 37) % 500;
        std::vector<double> keys = randomKeys(random, count, 1 + trial % 9);
        for (double& key : keys) {
            const auto roll = random() % 100;
            if (roll == 0 && trial % 4 == 1)
                key = nan;
            else if (roll == 1)
                key = -0.0; // equal to 0
        }
        ASSERT_EQ(exchangeSortOrder(keys), plain::exchangeSortOrder(keys)) << "trial " << trial;
    }
}

} // namespace
} // namespace quorrel
