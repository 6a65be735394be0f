#pragma once

#include <algorithm>
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
    static constexpr uint32_t MASK = 0xFFF;
    struct Page {
        V values[MASK + 1] = {};
        uint32_t used = 0;
    };
    struct Middle {
        Page* pages[MASK + 1] = {};
        uint32_t used = 0;
    };

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

    /// Gives id a value other than V().
    void Set(uint32_t id, V value) {
        Page& page = Make(id);
        V& slot = page.values[id & MASK];
        page.used += slot == V();
        slot = value;
    }

    /// Gives id a value other than V() unless it has one; false then.
    bool Insert(uint32_t id, V value) {
        Page& page = Make(id);
        V& slot = page.values[id & MASK];
        if (slot != V())
            return false;
        ++page.used;
        slot = value;
        return true;
    }

    /// Calls change(value) with id's value, V() when it has none, to change it
    /// in place to another value other than V(); one lookup for a read and a
    /// write.
    template <typename F> void Update(uint32_t id, F&& change) {
        Page& page = Make(id);
        V& slot = page.values[id & MASK];
        page.used += slot == V();
        change(slot);
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

    /// For k from 0 to n - 1 in turn, calls change(value, k) with the value of
    /// ids[k] (V() for none) to leave it, or change it to another value
    /// other than V(); change returns whether it gave a value where there
    /// was none. Ids that follow one another in a page cost one lookup for
    /// all of them. change must not throw. (Always inlined: the loop is only
    /// fast with change's state in registers.)
    template <typename F> [[gnu::always_inline]] void Change(const uint32_t* ids, size_t n, F&& change) {
        for (size_t k = 0; k < n;) {
            const uint32_t key = ids[k] >> 12;
            Page& page = Make(ids[k]);
            V* values = page.values;
            uint32_t added = 0;
            do
                added += change(values[ids[k] & MASK], k);
            while (++k < n && ids[k] >> 12 == key);
            page.used += added;
        }
    }

    /// For the consecutive ids first to first + n - 1, calls
    /// change(values, k, count) once for each run of them in one page, with
    /// values[0, count) the values of ids first + k on; change returns how
    /// many of them it gave a value other than V() where there was none, and
    /// gives none back. change must not throw.
    template <typename F> [[gnu::always_inline]] void ChangeRun(uint32_t first, size_t n, F&& change) {
        for (size_t k = 0; k < n;) {
            const uint32_t id = first + uint32_t(k);
            const size_t count = std::min<size_t>(n - k, MASK + 1 - (id & MASK));
            Page& page = Make(id);
            page.used += uint32_t(change(page.values + (id & MASK), k, count));
            k += count;
        }
    }

private:
    // Id's page, made if need be.
    Page& Make(uint32_t id) {
        const Middle* middle = m_top[id >> 24];
        Page* page = middle ? middle->pages[(id >> 12) & MASK] : nullptr;
        return page ? *page : MakePage(id);
    }
    // Kept apart, so that the lookups above stay small enough to be inlined
    // into the loops that make them.
    [[gnu::noinline]] Page& MakePage(uint32_t id) {
        Middle*& middle = m_top[id >> 24];
        if (!middle)
            middle = Reuse(m_spareMiddle);
        Page*& page = middle->pages[(id >> 12) & MASK];
        if (!page) {
            page = Reuse(m_sparePage);
            ++middle->used;
        }
        return *page;
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
    std::array<Middle*, 256> m_top{};
    Page* m_sparePage = nullptr;
    Middle* m_spareMiddle = nullptr;
};

} // namespace Engine
