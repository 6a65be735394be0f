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

struct Spot {
    float x = 0, y = 0;
};

template <typename... Cs> class Witness : public System<Cs...> {
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
    ecs.RegisterComponent<Spot>();
    if (Component<Spot>::GetTypeID() != 0)
        GTEST_SKIP() << "type ids were taken by the tests run before in this process";
    // Spot took id 0, so the types take 1 to 32 in the order they are named.
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
            ecs.AddComponent<Spot>(a, Spot{1, 2});
            ecs.ReserveComponents<T>(10);
            ecs.AddComponent<T>(a, T{7});
            const Archetype both = ecs.GetArchetype<Spot, T>();
            EXPECT_TRUE(both.test(id));
            EXPECT_EQ(ecs.GetArchetype(a), both);
            EXPECT_EQ(ecs.GetComponent<T>(a)->value, 7);
            EXPECT_EQ(ecs.EntitiesWith(ecs.GetArchetype<T>()), std::vector<EntityID>{a});
            auto system = CreateRef<Witness<T, Spot>>();
            ecs.RegisterSystem(system);
            ecs.RunSystemArch(both);
            EXPECT_EQ(system->seen, std::vector<EntityID>{a});
            int walked = 0;
            ecs.Each<Spot, T>([&](EntityID e, Spot&, T& t) { walked += e == a && t.value == 7; });
            EXPECT_EQ(walked, 1);
            ecs.RemoveComponent<T>(a);
            EXPECT_EQ(ecs.GetComponent<T>(a), nullptr);
            EXPECT_TRUE(ecs.EntitiesWith(ecs.GetArchetype<T>()).empty());
            ecs.AddComponent<T>(a);
            ecs.RemoveEntity(a);
            EXPECT_EQ(ecs.GetComponent<T>(a), nullptr);
            EXPECT_EQ(ecs.EntityCount(), 0u);
            const EntityRange made = ecs.CreateEntities<Spot, T>(3, Spot{}, [](EntityID e) { return T{int(e)}; });
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
        ecs.AddComponent<Spot>(a, Spot{1, 2});
        const Archetype before = ecs.GetArchetype(a);
        const std::vector<std::pair<const char*, std::function<void()>>> calls = {
            {"AddComponent", [&] { ecs.AddComponent<T>(a); }},
            {"AddComponent to a new id", [&] { ecs.AddComponent<T>(a + 100); }},
            {"RemoveComponent", [&] { ecs.RemoveComponent<T>(a); }},
            {"ReserveComponents", [&] { ecs.ReserveComponents<T>(1000); }},
            {"GetArchetype", [&] { (void)ecs.GetArchetype<Spot, T>(); }},
            {"System", [&] { System<T> system; }},
            {"Each", [&] { ecs.Each<Spot, T>([](EntityID, Spot&, T&) {}); }},
            {"AddComponents", [&] { ecs.AddComponents<T>(std::vector<EntityID>{a, a + 100}, T{}); }},
            {"CreateEntities", [&] { ecs.CreateEntities<Spot, T>(3, Spot{}, T{}); }},
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
        EXPECT_EQ(ecs.GetComponent<Spot>(a), nullptr);
        // Still a working registry.
        const EntityID b = ecs.CreateEntity();
        ecs.AddComponent<Spot>(b, Spot{5, 6});
        auto system = CreateRef<Witness<Spot>>();
        ecs.RegisterSystem(system);
        ecs.RunSystemArch(ecs.GetArchetype<Spot>());
        EXPECT_EQ(system->seen, std::vector<EntityID>{b});
    };
    check.template operator()<Last>();
    check.template operator()<Next>();
    ecs.Reset();
}

} // namespace
