#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

#include <engine/core/Base.h>
#include <engine/ecs/Runs.h>
#include <engine/ecs/SparseArray.h>
#include <engine/ecs/Types.h>

namespace Engine {

/// The records of one component type, packed in blocks that never move, with
/// where each entity's record is kept by id. A reference handed out shares its
/// block, so a block's own count tells whether any reference into it is out:
/// records are moved, and slots used again, only in blocks nobody holds, and a
/// held record of a removed entity stays as it was until its block is let go.
/// Made and changed by the registry only.
class ComponentStore {
public:
    /// How the records of a type are destroyed and moved, without the type.
    struct Layout {
        size_t size;                           ///< sizeof the type
        size_t align;                          ///< alignof the type
        void (*destroy)(void*);                ///< null when there is nothing to do
        void (*relocate)(void* to, void* from); ///< null when records cannot be moved

        /// The layout of T. Records are moved only when that cannot throw.
        template <typename T> static Layout Of() {
            Layout layout{sizeof(T), alignof(T), nullptr, nullptr};
            if constexpr (!std::is_trivially_destructible_v<T>)
                layout.destroy = [](void* record) { std::launder(static_cast<T*>(record))->~T(); };
            if constexpr (std::is_trivially_copyable_v<T>)
                layout.relocate = [](void* to, void* from) { std::memcpy(to, from, sizeof(T)); };
            else if constexpr (std::is_nothrow_move_constructible_v<T>)
                layout.relocate = [](void* to, void* from) {
                    T* source = std::launder(static_cast<T*>(from));
                    new (to) T(std::move(*source));
                    source->~T();
                };
            return layout;
        }
    };

    explicit ComponentStore(const Layout& layout); ///< Empty, for records of that layout.
    ComponentStore(const ComponentStore&) = delete;            ///< Not copied.
    ComponentStore& operator=(const ComponentStore&) = delete; ///< Not copied.
    ~ComponentStore(); ///< Lets go of its blocks; held ones live on with their holders.

    /// Records held.
    size_t Size() const { return m_live; }
    /// Whether the entity has a record here.
    bool Has(EntityID entity) const { return m_index.Get(entity) != 0; }

    /// The entity's record, sharing its block; empty when it has none.
    template <typename T> Ref<T> Share(EntityID entity) const {
        uint32_t slot;
        std::byte* record = Locate<sizeof(T)>(entity, slot);
        if (!record)
            return nullptr;
        return Ref<T>(m_blocks[slot >> m_shift], std::launder(reinterpret_cast<T*>(record)));
    }

private:
    friend class ECS;

    // No slot.
    static constexpr uint32_t NONE = ~uint32_t(0);

    // The entity's record and its slot, or null. Systems ask for the records
    // of a list's entities one after another, and records made together lie
    // one after another: the slot after the one last found is tried first,
    // with its block at hand, which is one load where the index takes five.
    template <size_t Size> std::byte* Locate(EntityID entity, uint32_t& slot) const {
        slot = m_next;
        const uint32_t i = slot & m_mask;
        if (m_nextOwners && slot < m_end && m_nextOwners[i] == entity && (m_nextLive[i >> 6] >> (i & 63) & 1)) {
            std::byte* record = m_nextRecords + i * Size;
            Follow(slot);
            return record;
        }
        const uint32_t at = m_index.Get(entity);
        if (at == 0)
            return nullptr;
        slot = at - 1;
        const Block& block = *m_blocks[slot >> m_shift];
        m_nextOwners = block.owners;
        m_nextLive = block.live;
        m_nextRecords = block.records;
        Follow(slot);
        return block.records + (slot & m_mask) * Size;
    }
    // Where Locate looks next, after finding slot.
    void Follow(uint32_t slot) const {
        m_next = slot + 1;
        if ((m_next & m_mask) == 0)
            m_nextOwners = nullptr;
    }

    // A store that held the records of the entities of a block's slots
    // [base, base + count) at its own slots from `at` on, with both blocks'
    // stamps then.
    struct Match {
        uint64_t store = 0;
        uint32_t base = 0;
        uint32_t at = 0;
        uint32_t count = 0;
        uint64_t theirs = 0;
        uint64_t mine = 0;
    };

    // One allocation: this header, the bits, the owners, then the records.
    struct Block {
        uint64_t* live;    // a bit per slot: the record belongs to its owner
        uint64_t* made;    // a bit per slot: a record is constructed there
        EntityID* owners;  // the entity of each slot, stale where not live
        std::byte* records;
        void (*destroy)(void*);
        size_t size;
        uint32_t capacity;
        uint32_t count = 0; // live slots
        // New whenever a slot's owner or liveness changes.
        uint64_t stamp = 0;
        // Stretches of other stores last found holding the records of this
        // block's entities in the same order.
        std::array<Match, 8> matches{};
        uint32_t nextMatch = 0;
        ~Block();
    };

    // The record of a live slot. Slots count across the blocks.
    std::byte* Record(uint32_t slot) const {
        return m_blocks[slot >> m_shift]->records + size_t(slot & m_mask) * m_layout.size;
    }

    // The entity's record, looking first at `slot`, where records made
    // together for the same entities in two stores usually sit alike.
    void* Find(EntityID entity, uint32_t slot) const {
        slot = Slot(entity, slot);
        return slot == NONE ? nullptr : Record(slot);
    }
    // The slot of the entity's record, looking first at `hint`; NONE when
    // it has none.
    uint32_t Slot(EntityID entity, uint32_t hint) const {
        if (hint < m_end) {
            const Block& block = *m_blocks[hint >> m_shift];
            const uint32_t i = hint & m_mask;
            if (block.owners[i] == entity && (block.live[i >> 6] >> (i & 63) & 1))
                return hint;
        }
        return m_index.Get(entity) - 1;
    }

    // Calls visit(entity, slot, record) for every live slot in [begin, end),
    // a range within one block, in slot order; records that go meanwhile are
    // skipped.
    template <typename F> void Walk(uint32_t begin, uint32_t end, F&& visit) const {
        if (begin >= end)
            return;
        const Block& block = *m_blocks[begin >> m_shift];
        const uint32_t base = begin & ~m_mask;
        for (uint32_t i = begin - base; i < end - base;) {
            const uint32_t word = i >> 6;
            // Read again after each visit, which may remove records.
            const uint64_t bits = block.live[word] & (~uint64_t(0) << (i & 63));
            if (bits == 0) {
                i = (word + 1) * 64;
                continue;
            }
            i = word * 64 + uint32_t(std::countr_zero(bits));
            if (i >= end - base)
                break;
            visit(block.owners[i], base + i, block.records + size_t(i) * m_layout.size);
            ++i;
        }
    }

    // The first live slot in [slot, stop), a range within one block; stop
    // when there is none.
    uint32_t NextLive(uint32_t slot, uint32_t stop) const {
        if (slot >= stop)
            return stop;
        const Block& block = *m_blocks[slot >> m_shift];
        const uint32_t base = slot & ~m_mask;
        for (uint32_t i = slot - base; i < stop - base; i = (i | 63) + 1)
            if (const uint64_t bits = block.live[i >> 6] & (~uint64_t(0) << (i & 63)))
                return std::min(stop, base + (i & ~63u) + uint32_t(std::countr_zero(bits)));
        return stop;
    }

    // How many slots from `slot` on, at most `most`, are live in a row
    // within its block; slot must be below the end.
    uint32_t LiveRun(uint32_t slot, uint32_t most) const {
        const Block& block = *m_blocks[slot >> m_shift];
        const uint32_t base = slot & ~m_mask;
        const uint32_t used = std::min(m_mask + 1, m_end - base);
        most = std::min(most, base + used - slot);
        if (block.count == used)
            return most;
        uint32_t n = 0;
        for (uint32_t i = slot - base; n < most;) {
            const uint32_t at = i + n;
            // Zeros come in from the top, so a word's end is no gap.
            if (const uint64_t gaps = ~block.live[at >> 6] >> (at & 63))
                return std::min(most, n + uint32_t(std::countr_zero(gaps)));
            n += 64 - (at & 63);
        }
        return most;
    }

    // How many records from `at` on, at most `most` and within its block,
    // are live and belong, one for one, to the owners of lead's slots from
    // `slot` on (whether those are live is the caller's to know). The first
    // must be the record there of the owner of `slot`. Long stretches found
    // are kept with lead's block, so that while neither block changes a walk
    // need not compare them again.
    uint32_t Stretch(uint32_t at, const ComponentStore& lead, uint32_t slot, uint32_t most) const {
        const Block& mine = *m_blocks[at >> m_shift];
        const uint32_t i = at & m_mask;
        most = std::min({most, m_mask + 1 - i, m_end - at});
        const EntityID* owners = lead.Owners(slot);
        // Scattered records end their stretch at once. Asked by the index,
        // which looking them up reads anyway, not by the owners, which it
        // does not: a miss for each would cost a third of a walk.
        if (most < 2 || m_index.Get(owners[1]) != at + 2)
            return 1;
        Block& theirs = *lead.m_blocks[slot >> lead.m_shift];
        for (const Match& match : theirs.matches)
            if (match.store == m_id && match.base == slot && match.at == at &&
                match.theirs == mine.stamp && match.mine == theirs.stamp)
                return std::min(match.count, most);
        const uint32_t live = LiveRun(at, most);
        uint32_t n = 0;
        // Sixteen a turn, which the compiler does as a few vector compares.
        for (; n + 16 <= live; n += 16) {
            EntityID differ = 0;
            for (uint32_t k = 0; k < 16; ++k)
                differ |= mine.owners[i + n + k] ^ owners[n + k];
            if (differ)
                break;
        }
        while (n < live && mine.owners[i + n] == owners[n])
            ++n;
        if (n >= 64)
            theirs.matches[theirs.nextMatch++ % theirs.matches.size()] = {
                m_id, slot, at, n, mine.stamp, theirs.stamp};
        return n;
    }

    // Asks for the first kilobyte of records from the slot on to be fetched.
    void Prefetch(uint32_t slot) const {
        if (slot >= m_end)
            return;
        const std::byte* records = Record(slot);
        for (int line = 0; line < 16; ++line)
            __builtin_prefetch(records + line * 64);
    }

    const EntityID* Owners(uint32_t slot) const {
        return m_blocks[slot >> m_shift]->owners + (slot & m_mask);
    }

    // A slot for the entity's new record, which the caller then makes there
    // and commits; NONE when the entity has a record here already. Should
    // making the record fail, Forget undoes this. (A plain number: an
    // optional comes back through memory, half of it written a byte at a
    // time, and reading it whole then waits for those writes.)
    uint32_t Claim(EntityID entity) {
        const uint32_t slot =
            m_free.empty() && m_zombies.size() < m_sweepAt && m_end < (m_blocks.size() << m_shift)
                ? m_end
                : FreeSlot();
        return m_index.Insert(entity, slot + 1) ? slot : NONE;
    }
    void Forget(EntityID entity) { m_index.Erase(entity); }
    // Claim, make(std::byte* at) the record there, Commit: false, and nothing
    // made, when the entity has a record here already. Should make throw,
    // no trace is left.
    template <typename Make> bool Emplace(EntityID entity, Make&& make) {
        const uint32_t slot = Claim(entity);
        if (slot == NONE)
            return false;
        try {
            make(Record(slot));
        } catch (...) {
            Forget(entity);
            throw;
        }
        Commit(slot, entity);
        return true;
    }
    void Commit(uint32_t slot, EntityID entity) noexcept {
        Block& block = *m_blocks[slot >> m_shift];
        const uint32_t i = slot & m_mask;
        block.live[i >> 6] |= uint64_t(1) << (i & 63);
        block.made[i >> 6] |= uint64_t(1) << (i & 63);
        block.owners[i] = entity;
        ++block.count;
        block.stamp = ++m_stamp;
        if (slot == m_end)
            ++m_end;
        else
            m_free.pop_back();
        ++m_live;
    }
    uint32_t FreeSlot();
    // Whether a hole can take a record now, after a sweep when one is due.
    // A free hole holds nothing a walk could be looking at, so records made
    // during one take holes too: were they all put past the end, a game that
    // makes and removes its entities inside walks would grow its store for
    // ever. The records removed during a walk wait for its end.
    bool HoleReady() {
        if (!m_walks && m_free.empty() && m_zombies.size() >= m_sweepAt)
            Sweep();
        return !m_free.empty();
    }
    // A walk over the store has ended: what the walks removed can be let go.
    void WalkEnded() {
        if (--m_walks == 0 && m_zombies.size() >= m_sweepAt)
            Sweep();
    }
    // Drops the entity's record; false when it had none.
    bool Remove(EntityID entity);
    // Blocks for n more records.
    void Reserve(size_t n);

    // What Insert may take for granted of the ids it is given.
    enum class Ids {
        Any,
        Consecutive, // ids[k] is ids[0] + k: runs of them are filled in as plain arrays
        Unseen,      // that, and none has ever had a record here
    };
    // Makes records for ids[0, n) in turn, from.Place(k, where) making the
    // one of ids[k] at `where` and from.PlaceRun(k, where, count) those of
    // ids[k, k + count) one after another (neither may throw); an id with a
    // record here already, an earlier one of ids included, is passed by.
    // `made` counts the records made, also when a new block cannot be had,
    // and their ids go to `added` unless it is null. Size is the records'
    // size.
    template <size_t Size, typename From>
    void Insert(const EntityID* ids, uint32_t n, Ids kind, EntityID* added, uint32_t& made, From& from) {
        uint32_t k = 0;
        // Holes first, as single records take them.
        for (; k < n && HoleReady(); ++k) {
            const uint32_t slot = m_free.back();
            if (!m_index.Insert(ids[k], slot + 1))
                continue;
            from.Place(k, Record(slot));
            Commit(slot, ids[k]);
            if (added)
                added[made] = ids[k];
            ++made;
        }
        // The rest past the end, a block at a time.
        while (k < n) {
            if (m_end == uint32_t(m_blocks.size() << m_shift))
                m_blocks.push_back(MakeBlock());
            Block& block = *m_blocks[m_end >> m_shift];
            const uint32_t base = m_end & ~m_mask;
            const uint32_t first = m_end & m_mask;
            const uint32_t take = std::min(n - k, m_mask + 1 - first);
            std::byte* const records = block.records;
            EntityID* const owners = block.owners;
            uint32_t end = first;
            uint32_t count = made;
            auto one = [&](uint32_t& at, size_t q) {
                if (at != 0)
                    return false;
                at = base + end + 1;
                from.Place(k + q, records + end * Size);
                owners[end++] = ids[k + q];
                if (added)
                    added[count] = ids[k + q];
                ++count;
                return true;
            };
            if (kind != Ids::Any) {
                m_index.ChangeRun(ids[k], take, [&](uint32_t* at, size_t q, size_t run) {
                    if (kind != Ids::Unseen && !Runs::None(at, run)) [[unlikely]] {
                        size_t given = 0;
                        for (size_t i = 0; i < run; ++i)
                            given += one(at[i], q + i);
                        return given;
                    }
                    // None has a record yet, the usual case: plain arrays.
                    Runs::Iota(at, base + end + 1, run);
                    from.PlaceRun(k + q, records + end * Size, run);
                    std::memcpy(owners + end, ids + k + q, run * sizeof(EntityID));
                    if (added)
                        std::memcpy(added + count, ids + k + q, run * sizeof(EntityID));
                    end += uint32_t(run);
                    count += uint32_t(run);
                    return run;
                });
            } else {
                m_index.Change(ids + k, take, one);
            }
            made = count;
            Settle(block, base, first, end);
            k += take;
        }
    }

    // Slots [first, end) of the block at base are new records.
    void Settle(Block& block, uint32_t base, uint32_t first, uint32_t end) noexcept;

    bool Held(uint32_t slot) const { return m_walks || m_blocks[slot >> m_shift].use_count() > 1; }
    void Destroy(uint32_t slot);
    // Zombies in blocks let go of are destroyed, their slots free again.
    void Sweep();
    std::shared_ptr<Block> MakeBlock();

    Layout m_layout;
    // Tells this store from any other made in the process, gone ones included.
    uint64_t m_id;
    uint64_t m_stamp = 0;
    uint32_t m_shift;
    uint32_t m_mask;
    std::vector<std::shared_ptr<Block>> m_blocks;
    // Slot + 1 of each entity's record.
    SparseArray<uint32_t> m_index;
    // Slots below this are live or holes; those past it are empty.
    uint32_t m_end = 0;
    // Where Locate looks first, and that slot's block; null when unknown.
    mutable uint32_t m_next = 0;
    mutable const EntityID* m_nextOwners = nullptr;
    mutable const uint64_t* m_nextLive = nullptr;
    mutable std::byte* m_nextRecords = nullptr;
    size_t m_live = 0;
    // Holes: free to use again, or holding a removed record someone may hold.
    std::vector<uint32_t> m_free;
    std::vector<uint32_t> m_zombies;
    size_t m_sweepAt = 64;
    // Walks in progress: nothing moves or is destroyed meanwhile.
    int m_walks = 0;
    // Records removed so far: a walk that sees it change looks at each record.
    uint64_t m_removals = 0;
};

} // namespace Engine
