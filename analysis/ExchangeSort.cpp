#include "analysis/ExchangeSort.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>

namespace quorrel {

namespace {

// Up to this many keys the exchange sort itself is the quickest way.
constexpr std::size_t kDirectSortLimit = 32;
// Up to this many members a queue is built by inserting into a list.
constexpr std::size_t kDirectQueueLimit = 128;

// Counts of marked positions, with prefix sums and the search for the k-th
// unmarked or marked one, each in O(log n).
class PositionCounter {
public:
    explicit PositionCounter(std::size_t size)
        : m_tree(size + 1, 0)
    {
        m_highestBit = 1;
        while (m_highestBit * 2 <= size)
            m_highestBit *= 2;
    }

    // Every position starts marked.
    void markAll()
    {
        for (std::size_t i = 1; i < m_tree.size(); ++i)
            m_tree[i] = i & (~i + 1);
    }

    void add(std::size_t position, std::ptrdiff_t delta)
    {
        for (std::size_t i = position + 1; i < m_tree.size(); i += i & (~i + 1))
            m_tree[i] = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(m_tree[i]) + delta);
    }

    // Marked positions below end.
    std::size_t countBelow(std::size_t end) const
    {
        std::size_t count = 0;
        for (std::size_t i = end; i > 0; i -= i & (~i + 1))
            count += m_tree[i];
        return count;
    }

    // Position of the marked one with rank `rank` (from 0); there must be one.
    std::size_t findMarked(std::size_t rank) const
    {
        std::size_t position = 0;
        for (std::size_t step = m_highestBit; step > 0; step /= 2) {
            const std::size_t next = position + step;
            if (next < m_tree.size() && m_tree[next] <= rank) {
                position = next;
                rank -= m_tree[next];
            }
        }
        return position;
    }

private:
    std::vector<std::size_t> m_tree;
    std::size_t m_highestBit = 1;
};

void exchangeSortDirectly(const std::vector<double>& keys, std::vector<std::size_t>& order)
{
    for (std::size_t a = 0; a < order.size(); ++a) {
        for (std::size_t b = a + 1; b < order.size(); ++b) {
            if (keys[order[a]] > keys[order[b]])
                std::swap(order[a], order[b]);
        }
    }
}

// The final order of a queue (element k: the member standing k-th) when each
// member t in turn is appended at the back and the queue is then turned
// turns[t] times, front to back. Instead of turning, the front moves through
// a fixed circular list, and an append inserts just before the front. All
// insertion points are known in advance, so the list is built backwards: the
// last member takes the free slot whose rank is its insertion point, and so on.
std::vector<std::size_t> finalQueueOrder(const std::vector<std::size_t>& turns)
{
    const std::size_t count = turns.size();
    std::vector<std::size_t> insertAt(count);
    std::size_t front = 0;
    for (std::size_t t = 0; t < count; ++t) {
        const std::size_t length = t + 1;
        insertAt[t] = front;
        front = (front + 1) % length;
        front = (front + turns[t] % length) % length;
    }

    std::vector<std::size_t> slots(count);
    if (count <= kDirectQueueLimit) {
        std::vector<std::size_t> list;
        list.reserve(count);
        for (std::size_t t = 0; t < count; ++t)
            list.insert(list.begin() + static_cast<std::ptrdiff_t>(insertAt[t]), t);
        slots = std::move(list);
    } else {
        PositionCounter free(count);
        free.markAll();
        for (std::size_t t = count; t-- > 0;) {
            const std::size_t slot = free.findMarked(insertAt[t]);
            slots[slot] = t;
            free.add(slot, -1);
        }
    }

    std::vector<std::size_t> order(count);
    for (std::size_t k = 0; k < count; ++k)
        order[k] = slots[(front + k) % count];
    return order;
}

// The exchange sort's order for keys without NaN. Equal keys form groups
// that come out in key order. Within a group of key K the order depends only
// on where the K-keys stand among the smaller keys (larger ones never touch
// it): walking the positions, a K-key joins the back of a queue, and a
// smaller key turns the queue once if it is not empty. A gap of g smaller
// keys thus turns it g times.
std::vector<std::size_t> orderComparableKeys(const std::vector<double>& keys)
{
    const std::size_t count = keys.size();
    std::vector<std::size_t> order(count);
    std::iota(order.begin(), order.end(), std::size_t{0});
    if (count <= kDirectSortLimit) {
        exchangeSortDirectly(keys, order);
        return order;
    }

    std::vector<std::size_t> byKey = order;
    std::sort(byKey.begin(), byKey.end(),
              [&keys](std::size_t a, std::size_t b) { return keys[a] < keys[b] || (!(keys[b] < keys[a]) && a < b); });

    PositionCounter smaller(count);
    std::vector<std::size_t> turns;
    std::size_t placed = 0;
    for (std::size_t groupBegin = 0; groupBegin < count;) {
        std::size_t groupEnd = groupBegin + 1;
        while (groupEnd < count && !(keys[byKey[groupBegin]] < keys[byKey[groupEnd]]))
            ++groupEnd;

        turns.assign(groupEnd - groupBegin, 0);
        for (std::size_t member = groupBegin; member < groupEnd; ++member) {
            const std::size_t smallerUpToNext = member + 1 < groupEnd ? smaller.countBelow(byKey[member + 1]) : placed;
            turns[member - groupBegin] = smallerUpToNext - smaller.countBelow(byKey[member]);
        }
        const std::vector<std::size_t> groupOrder = finalQueueOrder(turns);
        for (std::size_t k = 0; k < groupOrder.size(); ++k)
            order[placed + k] = byKey[groupBegin + groupOrder[k]];

        for (std::size_t member = groupBegin; member < groupEnd; ++member)
            smaller.add(byKey[member], 1);
        placed += groupEnd - groupBegin;
        groupBegin = groupEnd;
    }
    return order;
}

} // namespace

std::vector<std::size_t> exchangeSortOrder(const std::vector<double>& keys)
{
    if (std::none_of(keys.begin(), keys.end(), [](double key) { return std::isnan(key); }))
        return orderComparableKeys(keys);

    std::vector<std::size_t> comparablePositions;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (!std::isnan(keys[i]))
            comparablePositions.push_back(i);
    }

    std::vector<double> comparableKeys(comparablePositions.size());
    for (std::size_t k = 0; k < comparablePositions.size(); ++k)
        comparableKeys[k] = keys[comparablePositions[k]];
    const std::vector<std::size_t> comparableOrder = orderComparableKeys(comparableKeys);

    std::vector<std::size_t> order(keys.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    for (std::size_t k = 0; k < comparablePositions.size(); ++k)
        order[comparablePositions[k]] = comparablePositions[comparableOrder[k]];
    return order;
}

} // namespace quorrel
