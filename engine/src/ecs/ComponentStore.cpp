#include <engine/ecs/ComponentStore.h>

#include <atomic>
#include <cstring>

namespace Engine {

namespace {

// Records a block holds: about 16 KiB of them, whole words of bits.
uint32_t Capacity(size_t size) {
    const size_t fit = std::bit_floor(std::max<size_t>(1, 65536 / std::max<size_t>(size, 1)));
    return uint32_t(std::clamp<size_t>(fit, 64, 8192));
}

size_t AlignUp(size_t offset, size_t align) {
    return (offset + align - 1) / align * align;
}

uint64_t Bit(uint32_t i) {
    return uint64_t(1) << (i & 63);
}

std::atomic<uint64_t> s_stores{0};

} // namespace

ComponentStore::ComponentStore(const Layout& layout)
    : m_layout(layout), m_id(++s_stores),
      m_shift(uint32_t(std::countr_zero(Capacity(layout.size)))),
      m_mask(Capacity(layout.size) - 1) {}

ComponentStore::~ComponentStore() = default;

ComponentStore::Block::~Block() {
    if (!destroy)
        return;
    for (uint32_t word = 0; word * 64 < capacity; ++word)
        for (uint64_t bits = made[word]; bits; bits &= bits - 1)
            destroy(records + (word * 64 + uint32_t(std::countr_zero(bits))) * size);
}

std::shared_ptr<ComponentStore::Block> ComponentStore::MakeBlock() {
    const uint32_t capacity = m_mask + 1;
    const size_t words = capacity / 64;
    const size_t bits = AlignUp(sizeof(Block), alignof(uint64_t));
    const size_t owners = bits + 2 * words * sizeof(uint64_t);
    const size_t records = AlignUp(owners + capacity * sizeof(EntityID), m_layout.align);
    const size_t align = std::max(alignof(Block), m_layout.align);
    std::byte* raw = static_cast<std::byte*>(
        ::operator new(records + capacity * m_layout.size, std::align_val_t(align)));
    auto* live = reinterpret_cast<uint64_t*>(raw + bits);
    std::memset(live, 0, 2 * words * sizeof(uint64_t));
    Block* block = new (raw) Block{};
    block->live = live;
    block->made = live + words;
    block->owners = reinterpret_cast<EntityID*>(raw + owners);
    block->records = raw + records;
    block->destroy = m_layout.destroy;
    block->size = m_layout.size;
    block->capacity = capacity;
    return std::shared_ptr<Block>(block, [align](Block* b) {
        b->~Block();
        ::operator delete(b, std::align_val_t(align));
    });
}

uint32_t ComponentStore::FreeSlot() {
    if (HoleReady())
        return m_free.back();
    if (m_end == uint32_t(m_blocks.size() << m_shift))
        m_blocks.push_back(MakeBlock());
    return m_end;
}

void ComponentStore::Settle(Block& block, uint32_t base, uint32_t first, uint32_t end) noexcept {
    if (end == first)
        return;
    for (uint32_t i = first; i < end;) {
        const uint32_t stop = std::min(end, (i | 63) + 1);
        const uint64_t bits = (stop - i == 64 ? ~uint64_t(0) : (Bit(stop - i) - 1)) << (i & 63);
        block.live[i >> 6] |= bits;
        block.made[i >> 6] |= bits;
        i = stop;
    }
    block.count += end - first;
    block.stamp = ++m_stamp;
    m_end = base + end;
    m_live += end - first;
}

void ComponentStore::Destroy(uint32_t slot) {
    Block& block = *m_blocks[slot >> m_shift];
    if (m_layout.destroy)
        m_layout.destroy(block.records + size_t(slot & m_mask) * m_layout.size);
    block.made[(slot & m_mask) >> 6] &= ~Bit(slot);
}

bool ComponentStore::Remove(EntityID entity) {
    const uint32_t at = m_index.Take(entity);
    if (at == 0)
        return false;
    const uint32_t slot = at - 1;
    --m_live;
    ++m_removals;
    Block& block = *m_blocks[slot >> m_shift];
    const uint32_t i = slot & m_mask;
    block.live[i >> 6] &= ~Bit(i);
    --block.count;
    block.stamp = ++m_stamp;
    if (Held(slot)) {
        m_zombies.push_back(slot);
        return true;
    }
    Destroy(slot);
    // The last record fills the hole, so the records stay packed.
    const uint32_t last = m_end - 1;
    Block& tail = *m_blocks[last >> m_shift];
    const uint32_t j = last & m_mask;
    if (slot == last) {
        --m_end;
    } else if ((tail.live[j >> 6] & Bit(j)) && m_layout.relocate && !Held(last)) {
        std::byte* from = tail.records + size_t(j) * m_layout.size;
        std::byte* to = block.records + size_t(i) * m_layout.size;
        m_layout.relocate(to, from);
        tail.live[j >> 6] &= ~Bit(j);
        tail.made[j >> 6] &= ~Bit(j);
        --tail.count;
        tail.stamp = ++m_stamp;
        block.live[i >> 6] |= Bit(i);
        block.made[i >> 6] |= Bit(i);
        ++block.count;
        block.owners[i] = tail.owners[j];
        m_index.Set(block.owners[i], slot + 1);
        --m_end;
    } else {
        m_free.push_back(slot);
    }
    if (m_live == 0) {
        Sweep();
        if (m_zombies.empty()) {
            m_free.clear();
            m_end = 0;
        }
    }
    // Blocks past the end go, but one, so that a store going up and down
    // across a block's edge does not make and free it each time.
    const size_t needed = ((size_t(m_end) + m_mask) >> m_shift) + 1;
    if (m_blocks.size() > needed)
        m_nextOwners = nullptr;
    while (m_blocks.size() > needed)
        m_blocks.pop_back();
    return true;
}

void ComponentStore::Sweep() {
    size_t kept = 0;
    for (uint32_t slot : m_zombies) {
        if (Held(slot)) {
            m_zombies[kept++] = slot;
        } else {
            Destroy(slot);
            m_free.push_back(slot);
        }
    }
    m_zombies.resize(kept);
    // Held ones are looked at again once as many more have come.
    m_sweepAt = std::max<size_t>(64, 2 * kept);
}

void ComponentStore::Reserve(size_t n) {
    m_blocks.reserve(((size_t(m_end) + n + m_mask) >> m_shift) + 1);
}

} // namespace Engine
