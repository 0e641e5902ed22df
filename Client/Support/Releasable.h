// CReleasable: memory whose release can wait and go in pieces. A window thread that gives up the
// findings of a large scan (tens of thousands of entries, each with a few texts) would otherwise
// spend one long message freeing them; it hands them to its slices of background work instead.
#pragma once

#include <cstddef>
#include <utility>
#include <vector>

#include "TimeBudget.h"

class CReleasable
{
public:
    virtual ~CReleasable() = default;
    // Frees part of what is held until the budget is spent; true when nothing is left.
    virtual bool ReleaseSome(const CTimeBudget& budget) = 0;
};

// Erases a standard container's elements from its front until the budget is spent; true when it
// is empty. Each erasure frees a few small blocks: the clock is looked at now and then.
template <class Container>
bool ReleaseSomeOf(Container& container, const CTimeBudget& budget)
{
    size_t erased = 0;
    while (!container.empty()) {
        container.erase(container.begin());
        if (++erased % 256 == 0 && budget.IsSpent())
            return container.empty();
    }
    return true;
}

// A vector given up whole, freed from its back, where an erasure moves nothing.
template <class T>
class CReleasableVector : public CReleasable
{
public:
    explicit CReleasableVector(std::vector<T>&& items) : m_items(std::move(items)) {}
    bool ReleaseSome(const CTimeBudget& budget) override
    {
        size_t released = 0;
        while (!m_items.empty()) {
            m_items.pop_back();
            if (++released % 256 == 0 && budget.IsSpent())
                return m_items.empty();
        }
        return true;
    }

private:
    std::vector<T> m_items;
};
