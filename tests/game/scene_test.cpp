// The assembled game scene. Component type ids are fixed by first use in the
// process, so this program asks for none before the engine's Start.

#include <gtest/gtest.h>

#include <typeinfo>

#include <engine/audio/Audio.h>
#include <engine/audio/Clip.h>
#include <engine/core/Engine.h>
#include <engine/core/Input.h>
#include <engine/core/Time.h>
#include <engine/ecs/ECS.h>
#include <engine/physics/Collider.h>
#include <engine/physics/ForceApplier.h>
#include <engine/physics/ForceGenerator.h>
#include <engine/physics/ForceSystem.h>
#include <engine/physics/PhysicsSystem.h>
#include <engine/physics/RigidBody.h>
#include <engine/physics/Transform.h>
#include <engine/render/Animation.h>
#include <engine/render/CameraSystem.h>
#include <engine/render/MeshRenderer.h>
#include <engine/render/TileMap.h>
#include <engine/text/TextMesh.h>

#include "game/Controller.h"
#include "game/ControllerSystem.h"
#include "game/Enemy.h"
#include "game/EnemySystem.h"
#include "game/Level.h"
#include "game/Scene.h"

using namespace Engine;

namespace {

class SceneTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!std::getenv("DISPLAY"))
            return;
        game = new ::Engine::Engine(1280, 720);
        game->InitializeGraphicsSubSystem();
        game->SetScene(::Engine::CreateRef<::Engine::GameScene>());
        game->Start();
    }
    static void TearDownTestSuite() {
        if (game)
            game->Shutdown();
        delete game;
        game = nullptr;
    }
    void SetUp() override {
        if (!game)
            GTEST_SKIP() << "no X display";
    }

    // The systems the registry starts while f runs, in order.
    template <typename F> static std::vector<std::string> Trace(F f) {
        std::vector<std::string> names;
        ECS::Get().SetRunObserver(
            [&](const SystemBase& system) { names.push_back(typeid(system).name()); });
        f();
        ECS::Get().SetRunObserver(nullptr);
        return names;
    }
    template <typename T> static std::string Name() { return typeid(T).name(); }

    static inline ::Engine::Engine* game = nullptr;
};

TEST_F(SceneTest, ComponentTypesTakeIdsZeroToThirteen) {
    EXPECT_EQ(ECS::Get().ComponentTypeCount(), 14u);
    EXPECT_EQ(Component<Transform>::GetTypeID(), 0u);
    EXPECT_EQ(Component<Mesh>::GetTypeID(), 1u);
    EXPECT_EQ(Component<Texture2D>::GetTypeID(), 2u);
    EXPECT_EQ(Component<Texture>::GetTypeID(), 3u);
    EXPECT_EQ(Component<TextMesh>::GetTypeID(), 4u);
    EXPECT_EQ(Component<Clip>::GetTypeID(), 5u);
    EXPECT_EQ(Component<Controller>::GetTypeID(), 6u);
    EXPECT_EQ(Component<RigidBody>::GetTypeID(), 7u);
    EXPECT_EQ(Component<Collider>::GetTypeID(), 8u);
    EXPECT_EQ(Component<ForceGenerator>::GetTypeID(), 9u);
    EXPECT_EQ(Component<ForceApplier>::GetTypeID(), 10u);
    EXPECT_EQ(Component<TileMap>::GetTypeID(), 11u);
    EXPECT_EQ(Component<Animation>::GetTypeID(), 12u);
    EXPECT_EQ(Component<Enemy>::GetTypeID(), 13u);
}

TEST_F(SceneTest, SystemsTakeIdsZeroToNine) {
    ECS& ecs = ECS::Get();
    ASSERT_EQ(ecs.SystemCount(), 10u);
    const std::vector<std::string> expected = {
        Name<MeshRenderer>(),     Name<TextRenderer>(),      Name<TileMapRenderer>(),
        Name<ControllerSystem>(), Name<PhysicsSystem>(),     Name<CameraSystem<Controller>>(),
        Name<AnimationUpdater>(), Name<AnimationRenderer>(), Name<ForceSystem>(),
        Name<EnemySystem>()};
    for (SystemID id = 0; id < 10; ++id) {
        Ref<SystemBase> system = ecs.GetSystem(id);
        ASSERT_TRUE(system);
        const SystemBase& registered = *system;
        EXPECT_EQ(typeid(registered).name(), expected[id]) << "system " << id;
    }
    EXPECT_EQ(sysid, 0u);
    EXPECT_EQ(meshRenderer, ecs.GetSystem(0));
    EXPECT_EQ(controllerSystem, ecs.GetSystem(3));
    EXPECT_EQ(physicsSystem, ecs.GetSystem(4));
    // Assigned three times in a row; the last is the animation renderer.
    EXPECT_EQ(cameraSystem, ecs.GetSystem(7));
    EXPECT_EQ(enemySystem, ecs.GetSystem(9));
}

TEST_F(SceneTest, EntitiesOfTheScene) {
    ECS& ecs = ECS::Get();
    LevelData level = Level::Load(Level::PATH);
    size_t cells = 0;
    for (const auto& column : level.board)
        for (int code : column)
            cells += code != Level::EMPTY;
    EXPECT_EQ(ecs.EntityCount(), 4 + cells);

    EXPECT_EQ(player, 1u);
    EXPECT_EQ(ecs.GetComponent<Transform>(1)->position, glm::vec3(250, 0, 0));
    EXPECT_EQ(ecs.GetComponent<Transform>(1)->scale, glm::vec3(64, 64, 0));
    EXPECT_TRUE(ecs.GetComponent<Animation>(1));
    EXPECT_EQ(ecs.GetComponent<ForceGenerator>(1)->force, glm::vec3(0, 1960, 0));
    EXPECT_TRUE(ecs.GetComponent<Collider>(1)->solid);

    EXPECT_EQ(enemy, 2u);
    EXPECT_EQ(ecs.GetComponent<Transform>(2)->position, glm::vec3(400, 250, 0));
    EXPECT_EQ(ecs.GetComponent<Enemy>(2)->player, 1u);
    EXPECT_FALSE(ecs.GetComponent<Collider>(2));

    EXPECT_EQ(ecs.GetComponent<Transform>(3)->position, glm::vec3(10, 100, 0));
    EXPECT_EQ(ecs.GetComponent<Transform>(3)->scale, glm::vec3(1, 1, 0));
    EXPECT_EQ(ecs.GetComponent<TextMesh>(3)->text,
              "AD to move, SPACE to jump, get over the vvv fish.");

    ASSERT_TRUE(ecs.GetComponent<TileMap>(4));
    EXPECT_EQ(ecs.GetComponent<TileMap>(4)->boardData, level.board);
    // Level cells follow from id 5, column by column, each column top down.
    EntityID id = 5;
    for (size_t x = 0; x < level.board.size(); ++x)
        for (size_t y = 0; y < level.board[x].size(); ++y) {
            int code = level.board[x][y];
            if (code == Level::EMPTY)
                continue;
            auto transform = ecs.GetComponent<Transform>(id);
            ASSERT_TRUE(transform);
            EXPECT_EQ(transform->position, glm::vec3(64.0f * x, 64.0f * y, 0));
            EXPECT_EQ(ecs.GetComponent<Collider>(id)->solid, !Level::IsDraught(code));
            EXPECT_EQ(bool(ecs.GetComponent<ForceApplier>(id)), Level::IsDraught(code));
            ++id;
        }
}

TEST_F(SceneTest, OneUpdateRunsTheSixSimulationSystemsInOrder) {
    auto names = Trace([] { game->Update(0.01); });
    EXPECT_EQ(names,
              (std::vector<std::string>{Name<ControllerSystem>(), Name<EnemySystem>(),
                                        Name<CameraSystem<Controller>>(), Name<ForceSystem>(),
                                        Name<PhysicsSystem>(), Name<AnimationUpdater>()}));
}

TEST_F(SceneTest, OneFrameRunsTheFourRenderersInOrder) {
    auto names = Trace([] { game->Render(); });
    EXPECT_EQ(names,
              (std::vector<std::string>{Name<MeshRenderer>(), Name<TextRenderer>(),
                                        Name<TileMapRenderer>(), Name<AnimationRenderer>()}));
}

TEST_F(SceneTest, MusicLoopsFromTheStart) {
    ASSERT_EQ(Clip::sounds.size(), 1u);
    EXPECT_TRUE(Clip::sounds[0]->active);
    EXPECT_TRUE(Clip::sounds[0]->loop);
}

// M turns the sound off under a failure shown (a dropped level that cannot be
// read) without hiding it.
TEST_F(SceneTest, SoundKeyLeavesAFailureShown) {
    auto& scene = dynamic_cast<GameScene&>(*game->GetScene());
    auto step = [&] {
        Input::BeginStep();
        scene.Update();
        Input::EndStep();
    };
    SDL_Event event{};
    event.type = SDL_DROPFILE;
    char missing[] = "/nonexistent/level.json";
    event.drop.file = missing;
    Input::HandleEvent(event);
    step();
    ASSERT_TRUE(scene.GetNotice().Failed());
    const std::string failure = scene.GetNotice().Text();
    for (Uint32 type : {SDL_KEYDOWN, SDL_KEYUP}) {
        event = SDL_Event{};
        event.type = type;
        event.key.keysym.sym = GameScene::SoundKey;
        Input::HandleEvent(event);
    }
    step();
    EXPECT_EQ(Audio::GetMasterVolume(), 0.0f);
    Audio::SetMasterVolume(1.0f);
    Input::Clear();
    EXPECT_EQ(scene.GetNotice().Text(), failure);
}

// The player's keys outside play and the window's focus, on a scene never
// built (no display needed): only the pause and the notice act.
TEST(SceneControls, LeavingTheWindowPausesAndMSwitchesTheSoundOffAndOn) {
    struct Restore {
        ~Restore() {
            Audio::SetMasterVolume(1.0f);
            Input::Clear();
        }
    } restore;
    Time::dt = ::Engine::Engine::STEP;
    auto tap = [](SDL_Keycode key) {
        for (Uint32 type : {SDL_KEYDOWN, SDL_KEYUP}) {
            SDL_Event event{};
            event.type = type;
            event.key.keysym.sym = key;
            Input::HandleEvent(event);
        }
    };
    auto focus = [](GameScene& scene, bool gained) {
        SDL_Event event{};
        event.type = SDL_WINDOWEVENT;
        event.window.event = gained ? SDL_WINDOWEVENT_FOCUS_GAINED : SDL_WINDOWEVENT_FOCUS_LOST;
        scene.HandleEvent(event);
    };
    auto step = [](GameScene& scene) {
        Input::BeginStep();
        scene.Update();
        Input::EndStep();
    };

    // Each letter one step after it: the focus gained (g) or lost (l), P (p).
    const struct {
        const char* steps;
        bool paused;
    } cases[] = {
        {"l", false},    // a window that never had the focus loses nothing
        {"gl", true},    // leaving pauses
        {"glg", true},   // coming back does not go on
        {"glgp", false}, // P does
        {"pgl", true},   // leaving a paused game leaves it paused
        {"gpglp", false},
    };
    for (const auto& c : cases) {
        GameScene scene;
        for (const char* at = c.steps; *at; ++at) {
            if (*at == 'p')
                tap(SDLK_p);
            else
                focus(scene, *at == 'g');
            step(scene);
        }
        EXPECT_EQ(scene.IsPaused(), c.paused) << c.steps;
    }

    // M works while paused too, and says what it did.
    GameScene scene;
    for (bool paused : {false, true}) {
        if (paused) {
            tap(SDLK_p);
            step(scene);
        }
        tap(SDLK_m);
        step(scene);
        EXPECT_EQ(Audio::GetMasterVolume(), 0.0f);
        EXPECT_EQ(scene.GetNotice().Text(), "Sound off");
        EXPECT_FALSE(scene.GetNotice().Failed());
        tap(SDLK_m);
        step(scene);
        EXPECT_EQ(Audio::GetMasterVolume(), 1.0f);
        EXPECT_EQ(scene.GetNotice().Text(), "Sound on");
        EXPECT_EQ(scene.IsPaused(), paused);
    }
}

} // namespace
