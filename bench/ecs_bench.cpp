#include <benchmark/benchmark.h>

#include <engine/ecs/ECS.h>
#include <engine/ecs/System.h>

using namespace Engine;

namespace {

struct BPos {
    float x, y;
};
struct BVel {
    float x, y;
};
struct BTag {
    int n;
};

class MoveSystem : public System<BPos, BVel> {
public:
    void Run(EntityID id) override {
        auto p = ECS::Get().GetComponent<BPos>(id);
        auto v = ECS::Get().GetComponent<BVel>(id);
        p->x += v->x;
        p->y += v->y;
    }
};

// A registry of n entities: all with a position, half moving, a tenth tagged.
void Populate(ECS& ecs, int n) {
    ecs.Reset();
    ecs.RegisterComponent<BPos>();
    ecs.RegisterComponent<BVel>();
    ecs.RegisterComponent<BTag>();
    for (int i = 0; i < n; ++i) {
        EntityID e = ecs.CreateEntity();
        ecs.AddComponent<BPos>(e, BPos{float(i), 0.0f});
        if (i % 2 == 0)
            ecs.AddComponent<BVel>(e, BVel{1.0f, 1.0f});
        if (i % 10 == 0)
            ecs.AddComponent<BTag>(e, BTag{i});
    }
}

void BM_GetComponent(benchmark::State& state) {
    ECS& ecs = ECS::Get();
    int n = int(state.range(0));
    Populate(ecs, n);
    EntityID e = 1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ecs.GetComponent<BPos>(e));
        e = e % EntityID(n) + 1;
    }
    ecs.Reset();
}
BENCHMARK(BM_GetComponent)->Arg(100)->Arg(10000);

void BM_GetEntitiesWith(benchmark::State& state) {
    ECS& ecs = ECS::Get();
    Populate(ecs, int(state.range(0)));
    Archetype arch = ecs.GetArchetype<BPos, BTag>();
    for (auto _ : state)
        benchmark::DoNotOptimize(ecs.GetEntitiesWith(arch));
    ecs.Reset();
}
BENCHMARK(BM_GetEntitiesWith)->Arg(100)->Arg(10000);

void BM_RunSystemArch(benchmark::State& state) {
    ECS& ecs = ECS::Get();
    Populate(ecs, int(state.range(0)));
    Ref<SystemBase> move = CreateRef<MoveSystem>();
    ecs.RegisterSystem(move);
    Archetype arch = ecs.GetArchetype<BVel, BPos>();
    for (auto _ : state)
        ecs.RunSystemArch(arch);
    ecs.Reset();
}
BENCHMARK(BM_RunSystemArch)->Arg(100)->Arg(10000);

} // namespace
