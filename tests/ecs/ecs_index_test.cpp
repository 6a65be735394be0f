// The registry's per-archetype entity lists against a plain scan of every
// entity's archetype.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include <engine/ecs/ECS.h>
#include <engine/ecs/System.h>

using namespace Engine;

namespace {

struct A {
    int v = 0;
};
struct B {
    int v = 0;
};
struct C {
    int v = 0;
};

class EcsIndex : public ::testing::Test {
protected:
    void SetUp() override {
        ecs.Reset();
        ecs.RegisterComponent<A>();
        ecs.RegisterComponent<B>();
        ecs.RegisterComponent<C>();
        queries = {Archetype(),
                   ecs.GetArchetype<A>(),
                   ecs.GetArchetype<B>(),
                   ecs.GetArchetype<A, B>(),
                   ecs.GetArchetype<B, C>(),
                   ecs.GetArchetype<A, B, C>()};
    }
    void TearDown() override { ecs.Reset(); }

    // What a scan of every id the registry may know finds.
    std::set<EntityID> Scan(Archetype arch) {
        std::set<EntityID> found;
        for (EntityID e : known)
            if ((ecs.GetArchetype(e) & arch) == arch)
                found.insert(e);
        return found;
    }
    void ExpectListsMatchScan() {
        for (Archetype q : queries) {
            const std::vector<EntityID>& list = ecs.EntitiesWith(q);
            std::set<EntityID> asSet(list.begin(), list.end());
            EXPECT_EQ(asSet.size(), list.size()) << "duplicate in list " << q;
            EXPECT_EQ(asSet, Scan(q)) << "list " << q;
            std::vector<EntityID> copy = ecs.GetEntitiesWith(q);
            EXPECT_EQ(std::set<EntityID>(copy.begin(), copy.end()), asSet);
        }
    }

    ECS& ecs = ECS::Get();
    std::vector<Archetype> queries;
    std::set<EntityID> known;
};

TEST_F(EcsIndex, ListsFollowEveryKindOfChange) {
    std::mt19937 rng(7);
    const EntityID maxId = 60;
    // Some lists exist from the start, the rest are first asked for midway.
    ecs.EntitiesWith(queries[1]);
    ecs.EntitiesWith(queries[3]);
    for (int i = 0; i < 3000; ++i) {
        if (i == 1500)
            ExpectListsMatchScan();
        const int op = int(rng() % 10);
        const EntityID e = 1 + rng() % maxId;
        if (op == 0) {
            if (ecs.EntityCount() < maxId - 1)
                known.insert(ecs.CreateEntity());
        } else if (op == 1 && i % 2) {
            ecs.RemoveEntity(e);
            known.erase(e);
        } else if (op == 1) {
            // Several at once, one twice, one that never was.
            const EntityID f = 1 + rng() % maxId;
            ecs.RemoveEntities({e, f, e, 1000});
            known.erase(e);
            known.erase(f);
        } else {
            // Also ids never created, and second records of a type.
            known.insert(e);
            if (op < 5)
                ecs.AddComponent<A>(e, A{i});
            else if (op < 8)
                ecs.AddComponent<B>(e, B{i});
            else
                ecs.AddComponent<C>(e, C{i});
        }
        if (i % 100 == 0)
            ExpectListsMatchScan();
    }
    ExpectListsMatchScan();
}

// Removing many entities at once leaves what removing them one by one does:
// the same entities, records (each where it belongs) and lists.
TEST_F(EcsIndex, RemovingManyAtOnceEqualsRemovingThemOneByOne) {
    std::mt19937 rng(11);
    ECS one, many;
    for (ECS* r : {&one, &many}) {
        r->RegisterComponent<A>();
        r->RegisterComponent<B>();
        r->RegisterComponent<C>();
        for (EntityID e = 1; e <= 400; ++e) {
            r->CreateEntity();
            if (e % 2)
                r->AddComponent<A>(e, A{int(e)});
            if (e % 3)
                r->AddComponent<B>(e, B{int(e) * 10});
            if (e % 5 == 0)
                r->AddComponent<C>(e, C{int(e) * 100});
        }
        for (Archetype q : queries)
            r->EntitiesWith(q);
    }
    std::vector<EntityID> doomed;
    for (int i = 0; i < 250; ++i)
        doomed.push_back(1 + rng() % 450); // some twice, some never made
    for (EntityID e : doomed)
        one.RemoveEntity(e);
    const uint64_t epoch = many.ListEpoch();
    many.RemoveEntities(doomed);
    EXPECT_NE(many.ListEpoch(), epoch);

    EXPECT_EQ(many.EntityCount(), one.EntityCount());
    for (EntityID e = 1; e <= 450; ++e) {
        ASSERT_EQ(many.GetArchetype(e), one.GetArchetype(e)) << e;
        auto value = [](auto ref) { return ref ? ref->v : -1; };
        EXPECT_EQ(value(many.GetComponent<A>(e)), value(one.GetComponent<A>(e))) << e;
        EXPECT_EQ(value(many.GetComponent<B>(e)), value(one.GetComponent<B>(e))) << e;
        EXPECT_EQ(value(many.GetComponent<C>(e)), value(one.GetComponent<C>(e))) << e;
    }
    for (Archetype q : queries) {
        std::vector<EntityID> a = one.EntitiesWith(q), b = many.EntitiesWith(q);
        std::sort(a.begin(), a.end());
        std::sort(b.begin(), b.end());
        EXPECT_EQ(a, b) << q;
    }
}

TEST_F(EcsIndex, ListsOnlyGrowAtTheEndWhileTheEpochStays) {
    for (int i = 0; i < 10; ++i)
        ecs.AddComponent<A>(ecs.CreateEntity(), A{});
    const Archetype ab = ecs.GetArchetype<A, B>();
    const uint64_t epoch = ecs.ListEpoch();
    std::vector<EntityID> seen = ecs.EntitiesWith(ab);
    for (EntityID e = 1; e <= 10; e += 3)
        ecs.AddComponent<B>(e, B{});
    ecs.AddComponent<B>(1, B{}); // no change
    EntityID fresh = ecs.CreateEntity();
    ecs.AddComponent<B>(fresh, B{});
    ecs.AddComponent<A>(fresh, A{});
    EXPECT_EQ(ecs.ListEpoch(), epoch);
    const std::vector<EntityID>& now = ecs.EntitiesWith(ab);
    ASSERT_GE(now.size(), seen.size());
    EXPECT_TRUE(std::equal(seen.begin(), seen.end(), now.begin()));
    EXPECT_EQ(std::set<EntityID>(now.begin(), now.end()), (std::set<EntityID>{1, 4, 7, 10, fresh}));

    ecs.RemoveEntity(4);
    EXPECT_NE(ecs.ListEpoch(), epoch);
    EXPECT_EQ(std::count(ecs.EntitiesWith(ab).begin(), ecs.EntitiesWith(ab).end(), 4u), 0);
    const uint64_t afterRemoval = ecs.ListEpoch();
    ecs.Reset();
    EXPECT_NE(ecs.ListEpoch(), afterRemoval);
}

TEST_F(EcsIndex, ACreatedIdThatAlreadyHadComponentsStartsOverEmpty) {
    // Id 1 gets a component before the counter hands it out.
    ecs.AddComponent<A>(1, A{});
    const Archetype a = ecs.GetArchetype<A>();
    ASSERT_EQ(ecs.EntitiesWith(a), std::vector<EntityID>{1});
    const uint64_t epoch = ecs.ListEpoch();
    EXPECT_EQ(ecs.CreateEntity(), 1u);
    EXPECT_TRUE(ecs.EntitiesWith(a).empty());
    EXPECT_EQ(ecs.EntitiesWith(Archetype()), std::vector<EntityID>{1});
    EXPECT_NE(ecs.ListEpoch(), epoch);
}

class CountRuns : public System<A, B> {
public:
    std::vector<EntityID> seen;
    void Run(EntityID e) override {
        seen.push_back(e);
        // New matches made during the run wait for the next one.
        if (seen.size() == 1)
            for (int i = 0; i < 100; ++i) {
                EntityID n = ECS::Get().CreateEntity();
                ECS::Get().AddComponent<A>(n, A{});
                ECS::Get().AddComponent<B>(n, B{});
            }
    }
};

TEST_F(EcsIndex, RunsVisitEachMatchOnceFromTheListsAsTheyWereAtTheStart) {
    for (int i = 0; i < 5; ++i) {
        EntityID e = ecs.CreateEntity();
        ecs.AddComponent<A>(e, A{});
        if (i != 2)
            ecs.AddComponent<B>(e, B{});
    }
    auto runs = CreateRef<CountRuns>();
    ecs.RegisterSystem(runs);
    ecs.RunSystemArch(ecs.GetArchetype<B, A>());
    EXPECT_EQ(std::set<EntityID>(runs->seen.begin(), runs->seen.end()),
              (std::set<EntityID>{1, 2, 4, 5}));
    EXPECT_EQ(runs->seen.size(), 4u);
    runs->seen.clear();
    ecs.RunSystemArch(ecs.GetArchetype<A, B>());
    EXPECT_EQ(runs->seen.size(), 104u);
}

} // namespace
