// The registry against a plain model of it: entities, records, the lists
// and their order, references held to records, runs and walks.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <tuple>
#include <type_traits>

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
// Owns memory and counts its lives: records the stores move, pack and
// destroy must neither leak nor be destroyed twice, nor be read moved-from.
int livingC = 0;
struct C {
    int v = 0;
    std::string owned = std::string(32, 'c');
    C(int value = 0) : v(value) { ++livingC; }
    C(const C& other) : v(other.v), owned(other.owned) { ++livingC; }
    C(C&& other) noexcept : v(other.v), owned(std::move(other.owned)) { ++livingC; }
    C& operator=(const C&) = default;
    C& operator=(C&&) = default;
    ~C() { --livingC; }
};
// A block holds 64 of these: a few hundred entities span several blocks.
struct Big {
    int v = 0;
    char pad[1020] = {};
};

class EcsIndex : public ::testing::Test {
protected:
    void SetUp() override {
        ecs.Reset();
        ecs.RegisterComponent<A>();
        ecs.RegisterComponent<B>();
        ecs.RegisterComponent<C>();
        ecs.RegisterComponent<Big>();
    }
    void TearDown() override {
        ecs.Reset();
        EXPECT_EQ(livingC, 0);
    }

    ECS& ecs = ECS::Get();
};

template <typename... Cs> class Tracker : public System<Cs...> {
public:
    void Run(EntityID e) override { seen.push_back(e); }
    std::vector<EntityID> seen;
};

// Calls f.template operator()<T>() for the component type of index k.
using Types = std::tuple<A, B, C, Big>;
constexpr int TYPES = 4;
template <typename F> void WithType(int k, F&& f) {
    switch (k) {
    case 0: f.template operator()<A>(); break;
    case 1: f.template operator()<B>(); break;
    case 2: f.template operator()<C>(); break;
    default: f.template operator()<Big>(); break;
    }
}

// What the registry should hold: records by entity and type, and the lists
// asked for, each in the order the registry promises.
struct Model {
    std::map<EntityID, std::array<std::optional<int>, TYPES>> entities;
    std::map<unsigned long, std::vector<EntityID>> lists;
    // References taken, with the record they should read: the entity's while
    // it has it, their own once it is gone.
    struct Held {
        int type;
        EntityID owner;
        bool detached;
        int frozen;
        std::shared_ptr<void> ref;
        int& Value() const {
            int* v = nullptr;
            WithType(type, [&]<typename T>() { v = &std::static_pointer_cast<T>(ref)->v; });
            return *v;
        }
    };
    std::vector<Held> held;

    static Archetype Bit(int k) {
        Archetype arch;
        WithType(k, [&]<typename T>() { arch.set(Component<T>::GetTypeID()); });
        return arch;
    }
    Archetype ArchOf(EntityID e) const {
        Archetype arch;
        if (auto it = entities.find(e); it != entities.end())
            for (int k = 0; k < TYPES; ++k)
                if (it->second[k])
                    arch |= Bit(k);
        return arch;
    }
    void Ask(Archetype q) {
        auto [it, made] = lists.try_emplace(q.to_ulong());
        if (made)
            for (const auto& [e, records] : entities)
                if ((ArchOf(e) & q) == q)
                    it->second.push_back(e);
    }
    // The lists follow a change of an entity's existence and archetype.
    void Follow(EntityID e, bool was, Archetype before, bool is, Archetype after) {
        for (auto& [bits, list] : lists) {
            const Archetype q(bits);
            const bool had = was && (before & q) == q, has = is && (after & q) == q;
            if (has && !had)
                list.push_back(e);
            if (had && !has)
                list.erase(std::find(list.begin(), list.end(), e));
        }
    }
    void Detach(EntityID e, int k) {
        for (Held& h : held)
            if (!h.detached && h.owner == e && h.type == k) {
                h.frozen = *entities[e][k];
                h.detached = true;
            }
    }
    void Add(EntityID e, int k, int v) {
        const bool was = entities.count(e) != 0;
        const Archetype before = ArchOf(e);
        auto& record = entities[e][k];
        if (record)
            return;
        record = v;
        Follow(e, was, before, true, ArchOf(e));
    }
    void RemoveComponent(EntityID e, int k) {
        auto it = entities.find(e);
        if (it == entities.end() || !it->second[k])
            return;
        const Archetype before = ArchOf(e);
        Detach(e, k);
        it->second[k].reset();
        Follow(e, true, before, true, ArchOf(e));
    }
    void Remove(EntityID e) {
        if (!entities.count(e))
            return;
        const Archetype before = ArchOf(e);
        for (int k = 0; k < TYPES; ++k)
            if (entities[e][k])
                Detach(e, k);
        entities.erase(e);
        Follow(e, true, before, false, Archetype());
    }
    void Create(EntityID e) {
        const bool was = entities.count(e) != 0;
        const Archetype before = ArchOf(e);
        for (int k = 0; k < TYPES; ++k)
            if (was && entities[e][k])
                Detach(e, k);
        entities[e] = {};
        Follow(e, was, before, true, Archetype());
    }
};

// Random changes of every kind, the registry checked against the model after
// each hundred: entities, archetypes, records, every list in its order, what
// held references read, what systems visit and in which order, what walks
// visit. Ids include 0 and ones never made; a reference held to a record
// keeps a block from being packed, so removals leave holes to be used again.
// The calls for many are checked against the single calls they stand for,
// with runs of consecutive ids, repeated ones, and functions that throw.
TEST_F(EcsIndex, MatchesAPlainModelThroughRandomChanges) {
    std::mt19937 rng(27);
    const EntityID maxId = 300;
    // The next id the registry hands out, and the ids made so far reach.
    EntityID next = 1;
    EntityID span = maxId;
    Model model;
    auto pairSystem = CreateRef<Tracker<A, B>>();
    const SystemID pairId = ecs.RegisterSystem(pairSystem);
    const Archetype pair = ecs.GetArchetype<A, B>();
    const std::vector<Archetype> queries = {Archetype(), ecs.GetArchetype<A>(), pair,
                                            ecs.GetArchetype<B, C>(), ecs.GetArchetype<Big, A>(),
                                            ecs.GetArchetype<A, B, C, Big>()};
    for (Archetype q : {queries[1], queries[4]}) {
        model.Ask(q);
        ecs.EntitiesWith(q);
    }
    uint64_t epoch = ecs.ListEpoch();
    std::map<unsigned long, std::vector<EntityID>> seenLists;

    auto check = [&](int step) {
        SCOPED_TRACE(step);
        ASSERT_EQ(ecs.EntityCount(), model.entities.size());
        for (EntityID e = 0; e <= span + 2; ++e) {
            ASSERT_EQ(ecs.GetArchetype(e), model.ArchOf(e)) << e;
            for (int k = 0; k < TYPES; ++k)
                WithType(k, [&]<typename T>() {
                    Ref<T> got = ecs.GetComponent<T>(e);
                    const auto it = model.entities.find(e);
                    const std::optional<int> want = it == model.entities.end() ? std::nullopt : it->second[k];
                    ASSERT_EQ(got != nullptr, want.has_value()) << e << " type " << k;
                    if (want) {
                        ASSERT_EQ(got->v, *want) << e << " type " << k;
                        if constexpr (std::is_same_v<T, C>) {
                            ASSERT_EQ(got->owned.size(), 32u) << e;
                        }
                    }
                });
        }
        // While the epoch stays, lists only grow at their end.
        const bool sameEpoch = ecs.ListEpoch() == epoch;
        for (const auto& [bits, list] : model.lists) {
            const std::vector<EntityID>& got = ecs.EntitiesWith(Archetype(bits));
            ASSERT_EQ(got, list) << Archetype(bits);
            const std::vector<EntityID>& before = seenLists[bits];
            if (sameEpoch) {
                ASSERT_TRUE(got.size() >= before.size() && std::equal(before.begin(), before.end(), got.begin()));
            }
            seenLists[bits] = got;
        }
        epoch = ecs.ListEpoch();
        for (const Model::Held& h : model.held)
            ASSERT_EQ(h.Value(), h.detached ? h.frozen : *model.entities[h.owner][h.type]);
        std::set<std::tuple<EntityID, int, int>> walked, want;
        ecs.Each<Big, A>([&](EntityID e, Big& big, A& a) { walked.insert({e, big.v, a.v}); });
        ecs.Each<A, B>([&](EntityID e, A& a, B& b) { walked.insert({e, -a.v, -b.v}); });
        for (const auto& [e, r] : model.entities) {
            if (r[3] && r[0])
                want.insert({e, *r[3], *r[0]});
            if (r[0] && r[1])
                want.insert({e, -*r[0], -*r[1]});
        }
        ASSERT_EQ(walked, want);
    };

    // A function for the calls for many, which throws at its call number
    // `fail` (none when negative).
    int calls = 0, fail = -1;
    auto maker = [&]<typename T>(int value) {
        return [&, value](EntityID id) {
            if (calls++ == fail)
                throw std::runtime_error("no record");
            return T{value + int(id)};
        };
    };

    for (int step = 0; step < 20000; ++step) {
        const int op = int(rng() % 106);
        const EntityID e = rng() % (span + 1);
        const int k = int(rng() % TYPES);
        const int value = step;
        calls = 0;
        fail = rng() % 4 == 0 ? int(rng() % 40) : -1;
        if (op < 10) {
            if (ecs.EntityCount() < maxId / 2) {
                const EntityID made = ecs.CreateEntity();
                ASSERT_EQ(made, next++);
                model.Create(made);
            }
        } else if (op >= 100 && op < 102) {
            // Many at once, plain or with two types; ids that got records
            // before they were made start over.
            const EntityID n = rng() % 40;
            if (next + n > 4 * maxId)
                continue;
            const EntityID first = next;
            next += n;
            span = std::max(span, next);
            const int which = int(rng() % 3);
            EntityID made = n;
            try {
                const EntityRange got =
                    which == 0 ? ecs.CreateEntities(n)
                    : which == 1
                        ? ecs.CreateEntities<A, Big>(n, maker.operator()<A>(value), Big{value})
                        : ecs.CreateEntities<B, C>(n, B{value}, maker.operator()<C>(-value));
                ASSERT_EQ(got.size(), n);
                ASSERT_TRUE(n == 0 || got.front() == first);
            } catch (const std::runtime_error&) {
                ASSERT_NE(which, 0);
                made = EntityID(fail);
            }
            for (EntityID id = first; id < first + made; ++id) {
                model.Create(id);
                if (which == 1) {
                    model.Add(id, 0, value + int(id));
                    model.Add(id, 3, value);
                } else if (which == 2) {
                    model.Add(id, 1, value);
                    model.Add(id, 2, -value + int(id));
                }
            }
        } else if (op >= 102) {
            // One type for many: a run of consecutive ids or scattered ones,
            // with repeats, 0 and ids never made among them.
            std::vector<EntityID> ids(rng() % 30);
            const bool run = rng() % 2 == 0;
            for (size_t i = 0; i < ids.size(); ++i)
                ids[i] = run ? e + EntityID(i) : EntityID(rng() % (span + 1));
            const bool made = rng() % 2 == 0;
            size_t added = ids.size();
            try {
                WithType(k, [&]<typename T>() {
                    if (made)
                        ecs.AddComponents<T>(ids, maker.operator()<T>(value));
                    else
                        ecs.AddComponents<T>(ids, T{value});
                });
            } catch (const std::runtime_error&) {
                ASSERT_TRUE(made);
                added = size_t(fail);
            }
            for (size_t i = 0; i < added; ++i)
                model.Add(ids[i], k, made ? value + int(ids[i]) : value);
            span = std::max(span, ids.empty() ? 0 : *std::max_element(ids.begin(), ids.end()));
        } else if (op < 45) {
            WithType(k, [&]<typename T>() { ecs.AddComponent<T>(e, T{value}); });
            model.Add(e, k, value);
        } else if (op < 60) {
            WithType(k, [&]<typename T>() { ecs.RemoveComponent<T>(e); });
            model.RemoveComponent(e, k);
        } else if (op < 68) {
            ecs.RemoveEntity(e);
            model.Remove(e);
        } else if (op < 71) {
            // Several at once, one twice, one never made.
            const std::vector<EntityID> doomed = {e, EntityID(rng() % (span + 1)), e, 100000};
            const uint64_t before = ecs.ListEpoch();
            const bool any = model.entities.count(doomed[0]) || model.entities.count(doomed[1]);
            ecs.RemoveEntities(doomed);
            for (EntityID d : doomed)
                model.Remove(d);
            if (any) {
                ASSERT_NE(ecs.ListEpoch(), before);
            }
        } else if (op < 79) {
            if (model.entities.count(e) && model.entities[e][k]) {
                WithType(k, [&]<typename T>() { ecs.GetComponent<T>(e)->v = value; });
                model.entities[e][k] = value;
            }
        } else if (op < 85) {
            if (model.entities.count(e) && model.entities[e][k])
                WithType(k, [&]<typename T>() {
                    model.held.push_back({k, e, false, 0, ecs.GetComponent<T>(e)});
                });
        } else if (op < 91) {
            if (!model.held.empty()) {
                Model::Held& h = model.held[rng() % model.held.size()];
                h.Value() = value;
                (h.detached ? h.frozen : *model.entities[h.owner][h.type]) = value;
                // Every reference to that removed record sees the write.
                for (Model::Held& other : model.held)
                    if (h.detached && other.ref == h.ref)
                        other.frozen = value;
            }
        } else if (op < 95) {
            if (!model.held.empty())
                model.held.erase(model.held.begin() + long(rng() % model.held.size()));
        } else if (op < 97) {
            const Archetype q = queries[rng() % queries.size()];
            model.Ask(q);
            ecs.EntitiesWith(q);
        } else {
            model.Ask(pair);
            pairSystem->seen.clear();
            ecs.RunSystem(pairId);
            ASSERT_EQ(pairSystem->seen, model.lists[pair.to_ulong()]) << step;
        }
        if (step % 100 == 0 || step == 19999)
            check(step);
        if (HasFatalFailure())
            return;
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
    EXPECT_EQ(ecs.GetComponent<A>(1), nullptr);
    EXPECT_TRUE(ecs.EntitiesWith(a).empty());
    EXPECT_EQ(ecs.EntitiesWith(Archetype()), std::vector<EntityID>{1});
    EXPECT_NE(ecs.ListEpoch(), epoch);
}

// Removes, while it runs, entities ahead of it in its own list, takes the
// signature from others, makes new ones of its signature, and asks for the
// list, which drops its holes under the run's feet.
class Culling : public System<A> {
public:
    void Run(EntityID e) override {
        ECS& ecs = ECS::Get();
        seen.push_back(e);
        ecs.RemoveEntity(e + 2);
        if (e % 3 == 0)
            ecs.RemoveComponent<A>(e + 3);
        if (e % 7 == 0)
            ecs.RemoveEntity(e);
        ecs.AddComponent<A>(ecs.CreateEntity(), A{});
        if (e % 5 == 0)
            ecs.EntitiesWith(ecs.GetArchetype<A>());
        if (e == 50 && inner)
            inner();
    }
    std::vector<EntityID> seen;
    std::function<void()> inner;
};

// A run passes by what leaves its list before it gets there, and leaves what
// comes meanwhile to the next run; a run of another system over the same
// list, started from within, sees the list as it is then. A walk passes by
// what is removed ahead of it, and a record it was handed stays usable when
// its entity goes.
TEST_F(EcsIndex, RunsAndWalksPassByWhatIsRemovedAheadOfThem) {
    // A walk over a store filled to the edge of its last block.
    for (int i = 0; i < 64; ++i)
        ecs.AddComponent<Big>(1000 + i, Big{i});
    int bigs = 0;
    ecs.Each<Big>([&](EntityID, Big& big) { bigs += big.v == bigs; });
    EXPECT_EQ(bigs, 64);

    for (EntityID e = 1; e <= 200; ++e)
        ecs.AddComponent<A>(ecs.CreateEntity(), A{int(e)});
    const Archetype a = ecs.GetArchetype<A>();
    auto culling = CreateRef<Culling>();
    auto recorder = CreateRef<Tracker<A>>();
    const SystemID cullingId = ecs.RegisterSystem(culling);
    const SystemID recorderId = ecs.RegisterSystem(recorder);
    std::vector<EntityID> atInner;
    culling->inner = [&] {
        atInner = ecs.EntitiesWith(a);
        ecs.RunSystem(recorderId);
    };
    ecs.RunSystem(cullingId);
    std::vector<EntityID> want;
    std::set<EntityID> gone;
    for (EntityID e = 1; e <= 200; ++e) {
        if (gone.count(e))
            continue;
        want.push_back(e);
        gone.insert(e + 2);
        if (e % 3 == 0)
            gone.insert(e + 3);
    }
    EXPECT_EQ(culling->seen, want);
    EXPECT_EQ(recorder->seen, atInner);
    const std::vector<EntityID> now = ecs.EntitiesWith(a);
    culling->seen.clear();
    culling->inner = nullptr;
    ecs.RemoveComponent<A>(now[1]);
    ecs.RunSystem(cullingId);
    EXPECT_EQ(culling->seen.front(), now.front());
    EXPECT_EQ(culling->seen[1], now[2]);

    // Walks over stores made together, holding the same entities at the same
    // slots: walked in step while they do, and no longer once they do not.
    std::set<EntityID> all, thirds;
    auto fresh = [&] {
        ecs.Reset();
        ecs.RegisterComponent<B>();
        ecs.RegisterComponent<C>();
        for (int i = 0; i < 300; ++i) {
            const EntityID e = ecs.CreateEntity();
            ecs.AddComponent<B>(e, B{int(e)});
            ecs.AddComponent<C>(e, C{int(e)});
            all.insert(e);
            if (e % 3 == 1)
                thirds.insert(e);
        }
    };
    auto pairsMatch = [&] {
        size_t count = 0;
        ecs.Each<B, C>([&](EntityID e, B& b, C& c) {
            EXPECT_EQ(b.v, int(e));
            EXPECT_EQ(c.v, int(e));
            ++count;
        });
        return count;
    };
    fresh();
    EXPECT_EQ(pairsMatch(), 300u);
    ecs.RemoveComponent<C>(5);
    ecs.AddComponent<C>(5, C{5});
    EXPECT_EQ(pairsMatch(), 300u);

    // One that removes a third of them after the tenth visit, and some of
    // those it visits as it goes.
    fresh();
    std::vector<EntityID> walked;
    ecs.Each<B, C>([&](EntityID e, B& b, C& c) {
        walked.push_back(e);
        if (walked.size() == 10)
            ecs.RemoveEntities(thirds);
        if (e % 5 == 0) {
            ecs.RemoveEntity(e);
            b.v = -c.v;
        }
        EXPECT_EQ(std::abs(b.v), int(e));
    });
    std::set<EntityID> expected(walked.begin(), walked.begin() + 10);
    std::set_difference(all.begin(), all.end(), thirds.begin(), thirds.end(),
                        std::inserter(expected, expected.end()));
    EXPECT_EQ(std::set<EntityID>(walked.begin(), walked.end()), expected);
    EXPECT_EQ(walked.size(), expected.size());
}

// Walks over stores whose records follow one another for the same entities,
// but not at the same slots, or only in part: each walk visits exactly the
// entities with all its types, once each, with their own records, also when
// walked again unchanged and when a walk over other stores came before.
TEST_F(EcsIndex, WalksVisitTheirOwnRecordsHoweverTheStoresLineUp) {
    // A's value is the entity, B's and Big's its negative and twice it.
    auto both = [&](EntityID from, int n) {
        for (EntityID e = from; e < from + EntityID(n); ++e) {
            ecs.AddComponent<A>(e, A{int(e)});
            ecs.AddComponent<B>(e, B{-int(e)});
            ecs.AddComponent<Big>(e, Big{2 * int(e)});
        }
    };
    std::vector<Ref<A>> held;
    const std::vector<std::pair<const char*, std::function<void()>>> layouts = {
        {"one with Big only made first: every Big a slot on, across its blocks' ends",
         [&] {
             ecs.AddComponent<Big>(1, Big{2});
             both(2, 300);
         }},
        {"a second kind sharing B and Big made first",
         [&] {
             for (EntityID e = 1; e <= 20; ++e) {
                 ecs.AddComponent<B>(e, B{-int(e)});
                 ecs.AddComponent<Big>(e, Big{2 * int(e)});
             }
             both(21, 300);
         }},
        {"runs broken in the middle by removals and by held records of removed ones",
         [&] {
             ecs.AddComponent<Big>(1, Big{2});
             both(2, 300);
             ecs.RemoveEntity(150);
             ecs.RemoveComponent<Big>(100);
             ecs.RemoveComponent<A>(200);
             held.push_back(ecs.GetComponent<A>(120));
             ecs.RemoveComponent<A>(120);
             ecs.AddComponent<A>(400, A{400});
             ecs.AddComponent<Big>(400, Big{800});
             ecs.AddComponent<B>(400, B{-400});
         }},
        {"a pair that lines up slot for slot only as far as a third, smaller-blocked, type does",
         [&] {
             both(1, 100);
             for (EntityID e = 101; e <= 150; ++e)
                 ecs.AddComponent<A>(e, A{int(e)});
             for (EntityID e = 201; e <= 250; ++e)
                 ecs.AddComponent<B>(e, B{-int(e)});
             for (EntityID e = 301; e <= 350; ++e)
                 ecs.AddComponent<Big>(e, Big{2 * int(e)});
         }},
    };
    for (const auto& [name, make] : layouts) {
        SCOPED_TRACE(name);
        ecs.Reset();
        ecs.RegisterComponent<A>();
        ecs.RegisterComponent<B>();
        ecs.RegisterComponent<Big>();
        make();
        std::map<EntityID, int> triple, pairAB, pairABig;
        for (EntityID e = 0; e <= 400; ++e) {
            const bool a = ecs.GetComponent<A>(e) != nullptr, b = ecs.GetComponent<B>(e) != nullptr,
                       big = ecs.GetComponent<Big>(e) != nullptr;
            if (a && b && big)
                triple[e] = 1;
            if (a && b)
                pairAB[e] = 1;
            if (a && big)
                pairABig[e] = 1;
        }
        for (int round = 0; round < 2; ++round) {
            std::map<EntityID, int> seen;
            ecs.Each<A, B, Big>([&](EntityID e, A& a, B& b, Big& big) {
                EXPECT_TRUE(a.v == int(e) && b.v == -int(e) && big.v == 2 * int(e)) << e;
                ++seen[e];
            });
            EXPECT_EQ(seen, triple);
            seen.clear();
            ecs.Each<A, B>([&](EntityID e, A& a, B& b) {
                EXPECT_TRUE(a.v == int(e) && b.v == -int(e)) << e;
                ++seen[e];
            });
            EXPECT_EQ(seen, pairAB);
            seen.clear();
            ecs.Each<Big, A>([&](EntityID e, Big& big, A& a) {
                EXPECT_TRUE(a.v == int(e) && big.v == 2 * int(e)) << e;
                ++seen[e];
            });
            EXPECT_EQ(seen, pairABig);
        }
        held.clear();
    }

    // A visit that removes the entity after its own, and another's Big,
    // while the walk is inside a stretch a slot off.
    ecs.Reset();
    ecs.RegisterComponent<A>();
    ecs.RegisterComponent<Big>();
    ecs.AddComponent<Big>(1, Big{2});
    for (EntityID e = 2; e <= 301; ++e) {
        ecs.AddComponent<A>(e, A{int(e)});
        ecs.AddComponent<Big>(e, Big{2 * int(e)});
    }
    std::vector<EntityID> walked;
    ecs.Each<A, Big>([&](EntityID e, A& a, Big& big) {
        EXPECT_TRUE(a.v == int(e) && big.v == 2 * int(e)) << e;
        walked.push_back(e);
        if (e % 10 == 0)
            ecs.RemoveEntity(e + 1);
        if (e == 100)
            ecs.RemoveComponent<Big>(250);
    });
    // 250, passed by, does not remove 251.
    std::vector<EntityID> want;
    for (EntityID e = 2; e <= 301; ++e)
        if ((e % 10 != 1 || e == 251) && e != 250)
            want.push_back(e);
    std::sort(walked.begin(), walked.end());
    EXPECT_EQ(walked, want);
}

} // namespace
