#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace Engine {

/// Values by 32-bit id, where a value-initialised V means "none". Ids are
/// looked up through two levels of pages of 4096 made when first written to and
/// freed when their last value goes, so memory follows the ids in use, and an
/// id near 2^32 costs what 1 does. One empty page of each level is kept for
/// the next that is needed: ids made and removed one at a time across a
/// page's edge do not make and free a page each.
template <typename V> class SparseArray {
public:
    SparseArray() = default;                              ///< Empty.
    SparseArray(const SparseArray&) = delete;             ///< Owns its pages; not copied.
    SparseArray& operator=(const SparseArray&) = delete;  ///< Owns its pages; not copied.
    ~SparseArray() {                                      ///< Frees every page.
        Clear();
        delete m_sparePage;
        delete m_spareMiddle;
    }

    /// The value of id, or V() when it has none.
    V Get(uint32_t id) const {
        const Middle* middle = m_top[id >> 24];
        if (!middle)
            return V();
        const Page* page = middle->pages[(id >> 12) & MASK];
        return page ? page->values[id & MASK] : V();
    }

    /// Where id's value is kept, to change it in place from one value other
    /// than V() to another; null when no page holds it.
    V* Find(uint32_t id) {
        Middle* middle = m_top[id >> 24];
        if (!middle)
            return nullptr;
        Page* page = middle->pages[(id >> 12) & MASK];
        return page ? &page->values[id & MASK] : nullptr;
    }

    /// Gives id a value other than V().
    void Set(uint32_t id, V value) {
        V& slot = Make(id);
        Count(id) += slot == V();
        slot = value;
    }

    /// Gives id a value other than V() unless it has one; false then.
    bool Insert(uint32_t id, V value) {
        V& slot = Make(id);
        if (slot != V())
            return false;
        ++Count(id);
        slot = value;
        return true;
    }

    /// Takes id's value away and returns it; its page goes with the last one.
    V Take(uint32_t id) {
        Middle* middle = m_top[id >> 24];
        if (!middle)
            return V();
        Page*& page = middle->pages[(id >> 12) & MASK];
        if (!page || page->values[id & MASK] == V())
            return V();
        const V value = page->values[id & MASK];
        page->values[id & MASK] = V();
        if (--page->used != 0)
            return value;
        Keep(page, m_sparePage);
        page = nullptr;
        if (--middle->used == 0) {
            Keep(middle, m_spareMiddle);
            m_top[id >> 24] = nullptr;
        }
        return value;
    }

    /// Takes id's value away; its page goes with the last one.
    void Erase(uint32_t id) { Take(id); }

    /// Takes every value away.
    void Clear() {
        for (Middle*& middle : m_top) {
            if (!middle)
                continue;
            for (Page* page : middle->pages)
                delete page;
            delete middle;
            middle = nullptr;
        }
    }

    /// Calls visit(id, value) for every id with a value, by ascending id.
    template <typename F> void ForEach(F&& visit) const {
        for (uint32_t top = 0; top < m_top.size(); ++top) {
            if (!m_top[top])
                continue;
            for (uint32_t mid = 0; mid <= MASK; ++mid) {
                const Page* page = m_top[top]->pages[mid];
                for (uint32_t low = 0; page && low <= MASK; ++low)
                    if (page->values[low] != V())
                        visit((top << 24) | (mid << 12) | low, page->values[low]);
            }
        }
    }

private:
    static constexpr uint32_t MASK = 0xFFF;

    // The value's place, its page made if need be.
    V& Make(uint32_t id) {
        Middle*& middle = m_top[id >> 24];
        if (!middle)
            middle = Reuse(m_spareMiddle);
        Page*& page = middle->pages[(id >> 12) & MASK];
        if (!page) {
            page = Reuse(m_sparePage);
            ++middle->used;
        }
        return page->values[id & MASK];
    }
    // An empty page, the one kept if there is one: it is all zero again.
    template <typename P> static P* Reuse(P*& spare) {
        P* page = spare ? spare : new P();
        spare = nullptr;
        return page;
    }
    template <typename P> static void Keep(P* page, P*& spare) {
        if (spare)
            delete page;
        else
            spare = page;
    }
    // Values held in id's page, which exists.
    uint32_t& Count(uint32_t id) { return m_top[id >> 24]->pages[(id >> 12) & MASK]->used; }

    struct Page {
        V values[MASK + 1] = {};
        uint32_t used = 0;
    };
    struct Middle {
        Page* pages[MASK + 1] = {};
        uint32_t used = 0;
    };
    std::array<Middle*, 256> m_top{};
    Page* m_sparePage = nullptr;
    Middle* m_spareMiddle = nullptr;
};

} // namespace Engine
