#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <utility>
#include <vector>

#include <engine/ecs/ECS.h>
#include <engine/ecs/System.h>

// Type ids are handed out once per process and this takes 33 of them, so the
// file is linked last: a run of the whole program meets it after the others.

using namespace Engine;

namespace {

struct Pos {
    float x = 0, y = 0;
};
struct Vel {
    float x = 0, y = 0;
};

template <typename... Cs> class Recorder : public System<Cs...> {
public:
    void Run(EntityID e) override { seen.push_back(e); }
    std::vector<EntityID> seen;
};

class EcsTypeLimit : public ::testing::Test {
protected:
    void SetUp() override {
        ecs.Reset();
        ecs.RegisterComponent<Pos>();
        ecs.RegisterComponent<Vel>();
    }
    void TearDown() override { ecs.Reset(); }

    ECS& ecs = ECS::Get();
};

// Types of their own, so that 33 of them take ids whatever else ran before.
template <int N> struct Numbered {
    int value = N;
};

template <int... N> void RegisterNumbered(ECS& ecs, std::integer_sequence<int, N...>) {
    (ecs.RegisterComponent<Numbered<N>>(), ...);
}

// A type id past the archetype's width can be registered, but every entry
// point that would give it a bit fails with the bit set's range error before
// it changes anything, and the registry goes on working.
TEST_F(EcsTypeLimit, ATypeIdPastTheArchetypesWidthFailsWithoutHarm) {
    using Last = Numbered<32>;
    RegisterNumbered(ecs, std::make_integer_sequence<int, 33>());
    ASSERT_GE(Component<Last>::GetTypeID(), MAX_COMPONENTS);
    EXPECT_TRUE(ecs.IsComponentRegistered<Last>());

    const EntityID a = ecs.CreateEntity();
    ecs.AddComponent<Pos>(a, Pos{1, 2});
    ecs.AddComponent<Numbered<0>>(a);
    const Archetype before = ecs.GetArchetype(a);

    const std::vector<std::pair<const char*, std::function<void()>>> calls = {
        {"AddComponent", [&] { ecs.AddComponent<Last>(a); }},
        {"AddComponent to a new id", [&] { ecs.AddComponent<Last>(a + 100); }},
        {"ReserveComponents", [&] { ecs.ReserveComponents<Last>(1000); }},
        {"GetArchetype", [&] { (void)ecs.GetArchetype<Pos, Last>(); }},
        {"System", [&] { System<Last> system; }},
    };
    for (const auto& [name, call] : calls) {
        EXPECT_THROW(call(), std::out_of_range) << name;
        EXPECT_EQ(ecs.GetArchetype(a), before) << name;
        EXPECT_EQ(ecs.GetComponent<Last>(a), nullptr) << name;
        EXPECT_EQ(ecs.EntityCount(), 1u) << name;
    }
    // Removal walks the entity's own bits: all of it goes, whatever is registered.
    ecs.RemoveEntity(a);
    EXPECT_EQ(ecs.GetComponent<Pos>(a), nullptr);
    EXPECT_EQ(ecs.GetComponent<Numbered<0>>(a), nullptr);
    EXPECT_TRUE(ecs.GetArchetype(a).none());

    // Still a working registry.
    const EntityID b = ecs.CreateEntity();
    ecs.AddComponent<Pos>(b, Pos{5, 6});
    ecs.AddComponent<Vel>(b, Vel{1, 0});
    auto system = CreateRef<Recorder<Pos, Vel>>();
    ecs.RegisterSystem(system);
    ecs.RunSystemArch(ecs.GetArchetype<Pos, Vel>());
    EXPECT_EQ(system->seen, std::vector<EntityID>{b});
    EXPECT_EQ(ecs.GetComponent<Pos>(b)->x, 5);
    ecs.RemoveEntity(b);
    EXPECT_EQ(ecs.EntityCount(), 0u);
}

} // namespace
