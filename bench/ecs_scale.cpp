// The registry with a million entities of two float-pair components, each
// operation beside its yardstick in the same run: a plain std::vector of
// positions and one of velocities, walked by index, filled and cleared the
// same way. "Used" registries have made and removed ten million ids first.
// Ratios, not times, are what to compare (docs/performance.md).

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include <engine/ecs/ECS.h>
#include <engine/ecs/System.h>

using namespace Engine;

namespace {

struct Position {
    float x, y;
};
struct Velocity {
    float x, y;
};
struct Spin {
    float angle, rate;
};

constexpr int MILLION = 1000000;
constexpr float DT = 0.01f;

void Register(ECS& ecs) {
    ecs.RegisterComponent<Position>();
    ecs.RegisterComponent<Velocity>();
    ecs.RegisterComponent<Spin>();
}

// Ids made and removed before: what a long-running game has behind it.
void UseIds(ECS& ecs, EntityID count) {
    for (EntityID i = 0; i < count; ++i)
        ecs.RemoveEntity(ecs.CreateEntity());
}

std::vector<EntityID> Populate(ECS& ecs, int n) {
    std::vector<EntityID> ids;
    ids.reserve(size_t(n));
    for (int i = 0; i < n; ++i) {
        const EntityID e = ecs.CreateEntity();
        ecs.AddComponent<Position>(e, Position{float(i), 0.0f});
        ecs.AddComponent<Velocity>(e, Velocity{1.0f, 0.5f});
        ids.push_back(e);
    }
    return ids;
}

// A registry to measure in: a fresh one, reset between rounds, or one that
// has used ten million ids and only ever removes what it made. Either keeps a
// list for the pair, as when a system runs over them.
class Bed {
public:
    explicit Bed(bool used) : m_used(used), m_ecs(used ? Used() : m_fresh) { Start(); }
    ECS& ecs() { return m_ecs; }
    std::vector<EntityID> Populate(int n) { return ::Populate(m_ecs, n); }
    // Back to an empty registry: reset, or everything made removed.
    void Clear(const std::vector<EntityID>& ids) {
        if (m_used)
            m_ecs.RemoveEntities(ids);
        else
            Start();
    }

private:
    static ECS& Used() {
        static ECS used;
        static bool ready = false;
        if (!ready) {
            Register(used);
            UseIds(used, 10 * MILLION);
            ready = true;
        }
        return used;
    }
    void Start() {
        if (!m_used) {
            m_ecs.Reset();
            Register(m_ecs);
        }
        m_ecs.EntitiesWith(m_ecs.GetArchetype<Position, Velocity>());
    }

    bool m_used;
    ECS m_fresh;
    ECS& m_ecs;
};

// Once glibc has seen a block this large freed, it keeps memory of that
// size on its heap instead of mapping and unmapping it: then neither the
// vectors nor the registry pay for fresh pages in each round, as in a game
// that has run for a while. Left out of the footprint, which runs first.
void SteadyHeap() {
    static const bool done = [] {
        void* block = std::malloc(30 << 20);
        benchmark::DoNotOptimize(block);
        std::free(block);
        return true;
    }();
    benchmark::DoNotOptimize(done);
}

// --- yardstick -------------------------------------------------------------

struct Plain {
    std::vector<Position> p;
    std::vector<Velocity> v;
    void Fill(int n) {
        for (int i = 0; i < n; ++i) {
            p.push_back(Position{float(i), 0.0f});
            v.push_back(Velocity{1.0f, 0.5f});
        }
    }
};

void BM_Yardstick_Create(benchmark::State& state) {
    SteadyHeap();
    for (auto _ : state) {
        Plain plain;
        plain.Fill(int(state.range(0)));
        benchmark::DoNotOptimize(plain.p.data());
        state.PauseTiming();
        plain = Plain();
        state.ResumeTiming();
    }
}

void BM_Yardstick_Pass(benchmark::State& state) {
    SteadyHeap();
    Plain plain;
    plain.Fill(MILLION);
    for (auto _ : state) {
        for (size_t i = 0; i < plain.p.size(); ++i) {
            plain.p[i].x += plain.v[i].x * DT;
            plain.p[i].y += plain.v[i].y * DT;
        }
        benchmark::ClobberMemory();
    }
}

// A third vector, given an element for every second entity.
void BM_Yardstick_AddThird(benchmark::State& state) {
    SteadyHeap();
    for (auto _ : state) {
        std::vector<Spin> spin;
        for (int i = 0; i < MILLION; i += 2)
            spin.push_back(Spin{0.0f, float(i)});
        benchmark::DoNotOptimize(spin.data());
        state.PauseTiming();
        spin = {};
        state.ResumeTiming();
    }
}

// The same, with the writes any store that finds records by id, knows each
// record's owner and keeps each entity's archetype must make: the slot by id,
// the owner and the archetype's new bit, in plain arrays by id. What is left
// between this and the registry is the registry's own work, not memory.
void BM_Yardstick_AddThirdIndexed(benchmark::State& state) {
    SteadyHeap();
    std::vector<uint64_t> arch(MILLION, 0b11);
    std::vector<uint32_t> slotOf(MILLION, 0);
    for (auto _ : state) {
        std::vector<Spin> spin;
        std::vector<uint32_t> owner;
        for (int i = 0; i < MILLION; i += 2) {
            slotOf[size_t(i)] = uint32_t(spin.size()) + 1;
            owner.push_back(uint32_t(i));
            spin.push_back(Spin{0.0f, float(i)});
            arch[size_t(i)] |= 0b100;
        }
        benchmark::DoNotOptimize(spin.data());
        benchmark::DoNotOptimize(owner.data());
        benchmark::ClobberMemory();
        state.PauseTiming();
        spin = {};
        owner = {};
        for (int i = 0; i < MILLION; i += 2) {
            slotOf[size_t(i)] = 0;
            arch[size_t(i)] &= ~uint64_t(0b100);
        }
        state.ResumeTiming();
    }
}

// --- the registry ------------------------------------------------------------

void BM_Create(benchmark::State& state) {
    SteadyHeap();
    Bed bed(state.range(1));
    for (auto _ : state) {
        std::vector<EntityID> ids = bed.Populate(int(state.range(0)));
        state.PauseTiming();
        bed.Clear(ids);
        state.ResumeTiming();
    }
}

// The same through the call for many: n entities with their records at once.
void BM_CreateBulk(benchmark::State& state) {
    SteadyHeap();
    Bed bed(state.range(1));
    ECS& ecs = bed.ecs();
    for (auto _ : state) {
        const EntityRange ids = ecs.CreateEntities<Position, Velocity>(
            size_t(state.range(0)), [](EntityID e) { return Position{float(e), 0.0f}; }, Velocity{1.0f, 0.5f});
        state.PauseTiming();
        bed.Clear(std::vector<EntityID>(ids.begin(), ids.end()));
        state.ResumeTiming();
    }
}

void BM_PassEach(benchmark::State& state) {
    SteadyHeap();
    Bed bed(state.range(0));
    std::vector<EntityID> ids = bed.Populate(MILLION);
    for (auto _ : state) {
        bed.ecs().Each<Position, Velocity>([](EntityID, Position& p, const Velocity& v) {
            p.x += v.x * DT;
            p.y += v.y * DT;
        });
        benchmark::ClobberMemory();
    }
    bed.Clear(ids);
}

// The same pass where the stores do not hold the entities at the same slots:
// made first, range(0) entities of another kind, with a Position only (a
// ship among sparks) or a Velocity only (a second kind sharing one type).
void BM_PassEachOffset(benchmark::State& state) {
    SteadyHeap();
    Bed bed(false);
    ECS& ecs = bed.ecs();
    const size_t odd = size_t(state.range(0));
    if (state.range(1) == 0)
        ecs.CreateEntities<Position>(odd, Position{0.0f, 0.0f});
    else
        ecs.CreateEntities<Velocity>(odd, Velocity{0.0f, 0.0f});
    bed.Populate(MILLION);
    for (auto _ : state) {
        ecs.Each<Position, Velocity>([](EntityID, Position& p, const Velocity& v) {
            p.x += v.x * DT;
            p.y += v.y * DT;
        });
        benchmark::ClobberMemory();
    }
}

// The design's path: a system fetching its records by shared reference.
class MoveSystem : public System<Position, Velocity> {
public:
    void Run(EntityID e) override {
        Ref<Position> p = ECS::Get().GetComponent<Position>(e);
        Ref<Velocity> v = ECS::Get().GetComponent<Velocity>(e);
        p->x += v->x * DT;
        p->y += v->y * DT;
    }
};

// The same run, with a system that fetches nothing: what is left is the walk
// over the list and a virtual call an entity.
class IdleSystem : public System<Position, Velocity> {
public:
    void Run(EntityID e) override { benchmark::DoNotOptimize(e); }
};

// The same run, a system that takes and drops two shared references an
// entity but looks nothing up: the floor the design's Ref<T> sets under any
// registry, against which MoveSystem's figure is read.
class RefSystem : public System<Position, Velocity> {
public:
    void Run(EntityID e) override {
        if (!m_p) {
            m_p = ECS::Get().GetComponent<Position>(e);
            m_v = ECS::Get().GetComponent<Velocity>(e);
        }
        Ref<Position> p = m_p;
        Ref<Velocity> v = m_v;
        benchmark::DoNotOptimize(p.get());
        benchmark::DoNotOptimize(v.get());
    }

private:
    Ref<Position> m_p;
    Ref<Velocity> m_v;
};

// What the design's shared reference costs on its own: one copied from a
// held one and dropped, as GetComponent hands one out and a system drops it.
// libstdc++ counts without atomics while the process has never had a second
// thread (glibc's __libc_single_threaded), as here; ECS_SCALE_THREADED=1
// starts one first, as a game's audio device does, and the counts are atomic.
void BM_SharedRef(benchmark::State& state) {
    ECS& ecs = ECS::Get();
    ecs.Reset();
    Register(ecs);
    const EntityID e = ecs.CreateEntity();
    ecs.AddComponent<Position>(e, Position{0.0f, 0.0f});
    const Ref<Position> held = ecs.GetComponent<Position>(e);
    for (auto _ : state) {
        Ref<Position> copy = held;
        benchmark::DoNotOptimize(copy.get());
    }
    ecs.Reset();
}

[[maybe_unused]] const bool g_threaded = [] {
    const char* threaded = std::getenv("ECS_SCALE_THREADED");
    if (threaded && *threaded == '1')
        std::thread([] {}).join();
    return threaded != nullptr;
}();

template <typename S> void BM_PassRunSystemArch(benchmark::State& state) {
    SteadyHeap();
    ECS& ecs = ECS::Get();
    ecs.Reset();
    Register(ecs);
    Populate(ecs, MILLION);
    ecs.RegisterSystem(CreateRef<S>());
    const Archetype arch = ecs.GetArchetype<Position, Velocity>();
    for (auto _ : state)
        ecs.RunSystemArch(arch);
    ecs.Reset();
}

void BM_PassEntitiesWith(benchmark::State& state) {
    SteadyHeap();
    Bed bed(state.range(0));
    ECS& ecs = bed.ecs();
    std::vector<EntityID> ids = bed.Populate(MILLION);
    const Archetype arch = ecs.GetArchetype<Position, Velocity>();
    for (auto _ : state) {
        for (EntityID e : ecs.EntitiesWith(arch)) {
            Ref<Position> p = ecs.GetComponent<Position>(e);
            Ref<Velocity> v = ecs.GetComponent<Velocity>(e);
            p->x += v->x * DT;
            p->y += v->y * DT;
        }
    }
    bed.Clear(ids);
}

// A third component for every second entity.
void AddSpin(ECS& ecs, const std::vector<EntityID>& ids) {
    for (size_t i = 0; i < ids.size(); i += 2)
        ecs.AddComponent<Spin>(ids[i], Spin{0.0f, float(i)});
}

void BM_AddThird(benchmark::State& state) {
    SteadyHeap();
    Bed bed(state.range(0));
    ECS& ecs = bed.ecs();
    std::vector<EntityID> ids = bed.Populate(MILLION);
    for (auto _ : state) {
        AddSpin(ecs, ids);
        state.PauseTiming();
        for (size_t i = 0; i < ids.size(); i += 2)
            ecs.RemoveComponent<Spin>(ids[i]);
        state.ResumeTiming();
    }
    bed.Clear(ids);
}

void BM_AddThirdBulk(benchmark::State& state) {
    SteadyHeap();
    Bed bed(state.range(0));
    ECS& ecs = bed.ecs();
    std::vector<EntityID> ids = bed.Populate(MILLION);
    std::vector<EntityID> every2nd;
    for (size_t i = 0; i < ids.size(); i += 2)
        every2nd.push_back(ids[i]);
    for (auto _ : state) {
        ecs.AddComponents<Spin>(every2nd, [](EntityID e) { return Spin{0.0f, float(e)}; });
        state.PauseTiming();
        for (EntityID e : every2nd)
            ecs.RemoveComponent<Spin>(e);
        state.ResumeTiming();
    }
    bed.Clear(ids);
}

void BM_PassThree(benchmark::State& state) {
    SteadyHeap();
    Bed bed(state.range(0));
    ECS& ecs = bed.ecs();
    std::vector<EntityID> ids = bed.Populate(MILLION);
    AddSpin(ecs, ids);
    for (auto _ : state) {
        ecs.Each<Position, Velocity, Spin>([](EntityID, Position& p, const Velocity& v, Spin& s) {
            p.x += v.x * DT;
            s.angle += s.rate * DT;
        });
        benchmark::ClobberMemory();
    }
    bed.Clear(ids);
}

// Each entity removed on its own, oldest first.
void BM_RemoveEach(benchmark::State& state) {
    SteadyHeap();
    Bed bed(state.range(1));
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<EntityID> ids = bed.Populate(int(state.range(0)));
        state.ResumeTiming();
        for (EntityID e : ids)
            bed.ecs().RemoveEntity(e);
    }
    state.counters["ns_per_entity"] =
        benchmark::Counter(double(state.range(0)) * 1e-9,
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_RemoveAll(benchmark::State& state) {
    SteadyHeap();
    Bed bed(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<EntityID> ids = bed.Populate(MILLION);
        state.ResumeTiming();
        bed.ecs().RemoveEntities(ids);
    }
}

// The acceptance pair: 40,000 entities made into a registry of 960,000, and
// the same number removed one by one, every 25th, from one of 1,000,000.
void BM_Create40kInto960k(benchmark::State& state) {
    SteadyHeap();
    Bed bed(false);
    bed.Populate(MILLION - 40000);
    for (auto _ : state) {
        std::vector<EntityID> ids = bed.Populate(40000);
        state.PauseTiming();
        bed.ecs().RemoveEntities(ids);
        state.ResumeTiming();
    }
}

void BM_Remove40kOf1M(benchmark::State& state) {
    SteadyHeap();
    Bed bed(false);
    ECS& ecs = bed.ecs();
    std::vector<EntityID> ids = bed.Populate(MILLION);
    for (auto _ : state) {
        for (size_t i = 0; i < ids.size(); i += 25)
            ecs.RemoveEntity(ids[i]);
        state.PauseTiming();
        for (size_t i = 0; i < ids.size(); i += 25) {
            ids[i] = ecs.CreateEntity();
            ecs.AddComponent<Position>(ids[i], Position{0.0f, 0.0f});
            ecs.AddComponent<Velocity>(ids[i], Velocity{1.0f, 0.5f});
        }
        state.ResumeTiming();
    }
}

// --- memory ------------------------------------------------------------------

long ResidentBytes() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return resident * 4096;
}

// Resident bytes a million entities add, run first in a fresh process.
template <typename Make> void Footprint(benchmark::State& state, Make make) {
    for (auto _ : state) {
        const long rss = ResidentBytes();
        auto kept = make();
        state.counters["rss_per_entity"] = double(ResidentBytes() - rss) / MILLION;
        benchmark::DoNotOptimize(&kept);
    }
}

void BM_Footprint_Yardstick(benchmark::State& state) {
    Footprint(state, [] {
        Plain plain;
        plain.Fill(MILLION);
        return plain;
    });
}

void BM_Footprint_Registry(benchmark::State& state) {
    Footprint(state, [] {
        auto ecs = CreateUni<ECS>();
        Register(*ecs);
        ecs->EntitiesWith(ecs->GetArchetype<Position, Velocity>());
        Populate(*ecs, MILLION);
        return ecs;
    });
}

#define MS Unit(benchmark::kMillisecond)
BENCHMARK(BM_Footprint_Yardstick)->Iterations(1)->MS;
BENCHMARK(BM_Footprint_Registry)->Iterations(1)->MS;
BENCHMARK(BM_Yardstick_Create)->Arg(MILLION)->MS;
BENCHMARK(BM_Create)->Args({MILLION, 0})->Args({MILLION, 1})->MS;
BENCHMARK(BM_CreateBulk)->Args({MILLION, 0})->Args({MILLION, 1})->MS;
BENCHMARK(BM_Yardstick_Pass)->MS;
BENCHMARK(BM_PassEach)->Arg(0)->Arg(1)->MS;
BENCHMARK(BM_PassEachOffset)->Args({1, 0})->Args({MILLION / 100, 1})->MS;
BENCHMARK(BM_PassRunSystemArch<MoveSystem>)->MS;
BENCHMARK(BM_PassRunSystemArch<IdleSystem>)->MS;
BENCHMARK(BM_PassRunSystemArch<RefSystem>)->MS;
BENCHMARK(BM_SharedRef);
BENCHMARK(BM_PassEntitiesWith)->Arg(0)->Arg(1)->MS;
BENCHMARK(BM_Yardstick_AddThird)->MS;
BENCHMARK(BM_Yardstick_AddThirdIndexed)->MS;
BENCHMARK(BM_AddThird)->Arg(0)->Arg(1)->MS;
BENCHMARK(BM_AddThirdBulk)->Arg(0)->Arg(1)->MS;
BENCHMARK(BM_PassThree)->Arg(0)->Arg(1)->MS;
BENCHMARK(BM_RemoveEach)->Args({MILLION, 0})->Args({10000, 0})->Args({MILLION, 1})->MS;
BENCHMARK(BM_RemoveAll)->Arg(0)->Arg(1)->MS;
BENCHMARK(BM_Create40kInto960k)->MS;
BENCHMARK(BM_Remove40kOf1M)->MS;

} // namespace
