#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <utility>
#include <vector>

#include <engine/ecs/ECS.h>
#include <engine/ecs/System.h>

// Type ids are handed out once per process and this takes 32 of them, so the
// file is linked last: a run of the whole program meets it after the others.

using namespace Engine;

namespace {

struct Pos {
    float x = 0, y = 0;
};

template <typename... Cs> class Recorder : public System<Cs...> {
public:
    void Run(EntityID e) override { seen.push_back(e); }
    std::vector<EntityID> seen;
};

// Types of their own, which take ids in the order they are first named.
template <int N> struct Numbered {
    int value = N;
};

// Names each type in order and registers those whose id is below 32. Only
// the last two are handed to the test's body, which is instantiated for
// those alone (for all 32 it would take a minute to compile).
template <int... N> void NameAll(ECS& ecs, std::integer_sequence<int, N...>) {
    ((Component<Numbered<N>>::GetTypeID() < MAX_COMPONENTS ? ecs.RegisterComponent<Numbered<N>>()
                                                            : void()),
     ...);
}

// With all 32 type ids registered, the last one works at every entry point,
// and the next one, though it can be registered, fails at every entry point
// that would give it a bit with the bit set's range error, before anything
// changes; the registry goes on working.
TEST(EcsTypeLimit, TheLastOf32TypesWorksEverywhereAndTheNextFailsWithoutHarm) {
    ECS& ecs = ECS::Get();
    ecs.Reset();
    ecs.RegisterComponent<Pos>();
    if (Component<Pos>::GetTypeID() != 0)
        GTEST_SKIP() << "type ids were taken by the tests run before in this process";
    // Pos took id 0, so the types take 1 to 32 in the order they are named.
    NameAll(ecs, std::make_integer_sequence<int, 32>());
    using Last = Numbered<30>;
    using Next = Numbered<31>;
    ASSERT_EQ(Component<Last>::GetTypeID(), MAX_COMPONENTS - 1);
    ASSERT_EQ(Component<Next>::GetTypeID(), MAX_COMPONENTS);
    auto check = [&]<typename T>() {
        const IDType id = Component<T>::GetTypeID();
        SCOPED_TRACE(id);
        if (id == MAX_COMPONENTS - 1) {
            ASSERT_EQ(ecs.ComponentTypeCount(), MAX_COMPONENTS);
            const EntityID a = ecs.CreateEntity();
            ecs.AddComponent<Pos>(a, Pos{1, 2});
            ecs.ReserveComponents<T>(10);
            ecs.AddComponent<T>(a, T{7});
            const Archetype both = ecs.GetArchetype<Pos, T>();
            EXPECT_TRUE(both.test(id));
            EXPECT_EQ(ecs.GetArchetype(a), both);
            EXPECT_EQ(ecs.GetComponent<T>(a)->value, 7);
            EXPECT_EQ(ecs.EntitiesWith(ecs.GetArchetype<T>()), std::vector<EntityID>{a});
            auto system = CreateRef<Recorder<T, Pos>>();
            ecs.RegisterSystem(system);
            ecs.RunSystemArch(both);
            EXPECT_EQ(system->seen, std::vector<EntityID>{a});
            int walked = 0;
            ecs.Each<Pos, T>([&](EntityID e, Pos&, T& t) { walked += e == a && t.value == 7; });
            EXPECT_EQ(walked, 1);
            ecs.RemoveComponent<T>(a);
            EXPECT_EQ(ecs.GetComponent<T>(a), nullptr);
            EXPECT_TRUE(ecs.EntitiesWith(ecs.GetArchetype<T>()).empty());
            ecs.AddComponent<T>(a);
            ecs.RemoveEntity(a);
            EXPECT_EQ(ecs.GetComponent<T>(a), nullptr);
            EXPECT_EQ(ecs.EntityCount(), 0u);
            const EntityRange made = ecs.CreateEntities<Pos, T>(3, Pos{}, [](EntityID e) { return T{int(e)}; });
            ecs.AddComponents<T>(std::vector<EntityID>{a}, T{8});
            EXPECT_EQ(ecs.EntitiesWith(ecs.GetArchetype<T>()), (std::vector<EntityID>{made[0], made[1], made[2], a}));
            EXPECT_EQ(ecs.GetComponent<T>(made[2])->value, int(made[2]));
            ecs.RemoveEntities({made[0], made[1], made[2], a});
            EXPECT_EQ(ecs.EntityCount(), 0u);
            return;
        }
        ecs.RegisterComponent<T>();
        EXPECT_TRUE(ecs.IsComponentRegistered<T>());
        const EntityID a = ecs.CreateEntity();
        ecs.AddComponent<Pos>(a, Pos{1, 2});
        const Archetype before = ecs.GetArchetype(a);
        const std::vector<std::pair<const char*, std::function<void()>>> calls = {
            {"AddComponent", [&] { ecs.AddComponent<T>(a); }},
            {"AddComponent to a new id", [&] { ecs.AddComponent<T>(a + 100); }},
            {"RemoveComponent", [&] { ecs.RemoveComponent<T>(a); }},
            {"ReserveComponents", [&] { ecs.ReserveComponents<T>(1000); }},
            {"GetArchetype", [&] { (void)ecs.GetArchetype<Pos, T>(); }},
            {"System", [&] { System<T> system; }},
            {"Each", [&] { ecs.Each<Pos, T>([](EntityID, Pos&, T&) {}); }},
            {"AddComponents", [&] { ecs.AddComponents<T>(std::vector<EntityID>{a, a + 100}, T{}); }},
            {"CreateEntities", [&] { ecs.CreateEntities<Pos, T>(3, Pos{}, T{}); }},
        };
        for (const auto& [name, call] : calls) {
            EXPECT_THROW(call(), std::out_of_range) << name;
            EXPECT_EQ(ecs.GetArchetype(a), before) << name;
            EXPECT_EQ(ecs.GetComponent<T>(a), nullptr) << name;
            EXPECT_EQ(ecs.EntityCount(), 1u) << name;
        }
        // Removal goes by the entity's own bits: all of it goes; no id was
        // spent by the calls that failed.
        ecs.RemoveEntity(a);
        EXPECT_EQ(ecs.CreateEntity(), a + 1);
        EXPECT_EQ(ecs.GetComponent<Pos>(a), nullptr);
        // Still a working registry.
        const EntityID b = ecs.CreateEntity();
        ecs.AddComponent<Pos>(b, Pos{5, 6});
        auto system = CreateRef<Recorder<Pos>>();
        ecs.RegisterSystem(system);
        ecs.RunSystemArch(ecs.GetArchetype<Pos>());
        EXPECT_EQ(system->seen, std::vector<EntityID>{b});
    };
    check.template operator()<Last>();
    check.template operator()<Next>();
    ecs.Reset();
}

} // namespace
