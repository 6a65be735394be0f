// The tile map renderer draws only the cells that meet the view: which cells
// those are, and that the picture is the one drawing every cell gives.

#include <gtest/gtest.h>

#include <random>

#include <glm/gtc/matrix_transform.hpp>

#include <engine/ecs/ECS.h>
#include <engine/render/Camera.h>
#include <engine/render/Mesh.h>

#include "render/GLRenderer.h"
#include "support/DrawScene.h"

using namespace Engine;
using glm::vec3;

namespace {

const glm::vec2 VIEW{1280, 720};

glm::mat4 ViewProjection(vec3 camera, float zoom = 1, glm::vec2 view = VIEW, float turn = 0) {
    Camera cam;
    cam.transform.position = camera;
    cam.zoom = zoom;
    cam.rotation = turn;
    cam.w = view.x;
    cam.h = view.y;
    return cam.GetProjection() * cam.GetView();
}

// Whether any part of cell (x, y), turned by the map's rotation as the
// renderer turns it, lands inside the screen: no axis of either shape
// separates the cell's quad from the screen's square.
bool OnScreen(const glm::mat4& vp, int x, int y, int tw, int th, vec3 rotation = vec3(0)) {
    const glm::mat4 m =
        vp * Transform({float(tw * x), float(th * y), 0}, rotation, {tw, th, 0}).GetMatrix();
    glm::vec2 q[4];
    for (int i = 0; i < 4; ++i) {
        const glm::vec4 p = m * glm::vec4(float(i == 1 || i == 2), float(i >= 2), 0, 1);
        q[i] = glm::vec2(p) / p.w;
    }
    // On the stack: the test asks this of a few million cells.
    glm::vec2 axes[6] = {{1, 0}, {0, 1}};
    for (int i = 0; i < 4; ++i) {
        const glm::vec2 e = q[(i + 1) % 4] - q[i];
        axes[2 + i] = {-e.y, e.x};
    }
    for (const glm::vec2 axis : axes) {
        float lo = 1e30f, hi = -1e30f;
        for (const glm::vec2 p : q)
            lo = std::min(lo, glm::dot(p, axis)), hi = std::max(hi, glm::dot(p, axis));
        const float reach = std::abs(axis.x) + std::abs(axis.y); // the square's, either side
        if (hi <= -reach || lo >= reach)
            return false;
    }
    return true;
}

TEST(VisibleTiles, SpanHoldsEveryCellOnScreenAndLittleElse) {
    TileSpan s = VisibleTiles(ViewProjection({640, 360, 0}), 64, 64, vec3(0), VIEW);
    EXPECT_FALSE(s.all);
    EXPECT_EQ(s.x0, -1); // two pixels of margin reach into the cell left of 0
    EXPECT_EQ(s.x1, 20); // 1282 / 64
    EXPECT_EQ(s.y0, -1);
    EXPECT_EQ(s.y1, 11); // 722 / 64

    // Views of other sizes, small ones too, where two pixels are a larger
    // share of the screen; zoomed, turned, over maps turned on their own.
    const glm::vec2 views[] = {VIEW, {640, 360}, {1920, 1080}, {320, 200}, {97, 1013}};
    const float turns[] = {0, 30, 90, 135, -17.5f, 200};
    std::mt19937 rng(3);
    auto uni = [&](float a, float b) { return std::uniform_real_distribution<float>(a, b)(rng); };
    for (int i = 0; i < 300; ++i) {
        const int tw = 8 + int(rng() % 120), th = 8 + int(rng() % 120);
        const float zoom = i % 3 == 0 ? uni(0.25f, 4.0f) : 1.0f;
        const float turn = turns[i % std::size(turns)];
        const vec3 rotation = i % 7 == 0 ? vec3(0, 0, uni(-180, 180)) : vec3(0);
        const glm::vec2 view = views[i % std::size(views)];
        const glm::mat4 vp =
            ViewProjection({uni(-1000, 9000), uni(-600, 5000), 0}, zoom, view, turn);
        s = VisibleTiles(vp, tw, th, rotation, view);
        ASSERT_FALSE(s.all);
        int inside = 0;
        // Grids have no cells at negative indices; the span may stop at -1.
        for (long long x = std::max(0LL, s.x0 - 40); x <= s.x1 + 40; ++x)
            for (long long y = std::max(0LL, s.y0 - 40); y <= s.y1 + 40; ++y) {
                const bool in = x >= s.x0 && x <= s.x1 && y >= s.y0 && y <= s.y1;
                if (OnScreen(vp, int(x), int(y), tw, th, rotation)) {
                    ASSERT_TRUE(in) << "cell " << x << "," << y << " case " << i;
                }
                inside += in;
            }
        // No more than a ring of cells beyond the box around what the screen
        // shows (and a tile's diagonal around it for a turned map).
        const double r = glm::radians(turn), c = std::abs(std::cos(r)), sn = std::abs(std::sin(r));
        const double reach = rotation == vec3(0) ? 0 : 2 * std::hypot(tw, th);
        const double across = ((c * view.x + sn * view.y) / zoom + reach) / tw + 3;
        const double down = ((sn * view.x + c * view.y) / zoom + reach) / th + 3;
        EXPECT_LE(inside, across * down) << i;
    }
}

TEST(VisibleTiles, ViewsThatCannotBeNarrowedDrawEverything) {
    const glm::mat4 vp = ViewProjection({100, 100, 0});
    EXPECT_TRUE(VisibleTiles(vp, 0, 64, vec3(0), VIEW).all);
    EXPECT_TRUE(VisibleTiles(vp, 64, 64, vec3(0), {0, 720}).all);
    EXPECT_TRUE(VisibleTiles(glm::scale(vp, vec3(0, 1, 1)), 64, 64, vec3(0), VIEW).all);
    EXPECT_TRUE(
        VisibleTiles(glm::perspective(1.0f, 1.7f, 0.1f, 10.0f) * vp, 64, 64, vec3(0), VIEW).all);
    // Far off the map the span is simply empty or out of the grid's range.
    TileSpan s = VisibleTiles(ViewProjection({-1e6f, -1e6f, 0}), 64, 64, vec3(0), VIEW);
    EXPECT_LT(s.x1, 0);
    s = VisibleTiles(ViewProjection({1e30f, 0, 0}), 64, 64, vec3(0), VIEW);
    EXPECT_FALSE(s.all);
    EXPECT_GT(s.x0, 1LL << 31);

    // A map turned out of its plane under a view that shows depth: its tiles
    // lean across the screen by more than a tile.
    const glm::mat4 tilted = glm::rotate(vp, glm::radians(-75.0f), vec3(0, 1, 0));
    const vec3 leaning(80, 0, 0);
    s = VisibleTiles(tilted, 64, 64, leaning, VIEW);
    for (int x = 0; x < 80 && !s.all; ++x)
        for (int y = 0; y < 80; ++y) {
            if (OnScreen(tilted, x, y, 64, 64, leaning)) {
                ASSERT_TRUE(x >= s.x0 && x <= s.x1 && y >= s.y0 && y <= s.y1) << x << "," << y;
            }
        }
}

class CullingDraw : public EngineTest::DrawSceneTest {
protected:
    std::vector<EngineTest::Pixel> Frame(bool everyCell, EntityID map) {
        BeginFrame();
        if (everyCell) {
            // What the renderer did before it looked at the view.
            auto tiles = ECS::Get().GetComponent<TileMap>(map);
            Transform t({0, 0, 0}, ECS::Get().GetComponent<Transform>(map)->rotation, {0, 0, 0});
            tiles->getTile(0)->Bind(0);
            for (size_t x = 0; x < tiles->boardData.size(); ++x)
                for (size_t y = 0; y < tiles->boardData[x].size(); ++y) {
                    const int v = tiles->boardData[x][y];
                    if (!tiles->IsDrawable(v))
                        continue;
                    t.position = vec3(float(64 * int(x)), float(64 * int(y)), 0);
                    t.scale = vec3(64, 64, 0);
                    Mesh::DrawQuad(shader, t.GetMatrix(), *tiles->lookup[size_t(v)]);
                }
        } else {
            ECS::Get().RunSystemArch(ECS::Get().GetArchetype<TileMap, Transform>());
        }
        return EndFrame();
    }
};

TEST_F(CullingDraw, PicturesEqualDrawingEveryCell) {
    // Ragged columns of the game's tiles, see-through ones and gaps included.
    std::mt19937 rng(11);
    std::vector<std::vector<int>> grid(150);
    for (auto& column : grid) {
        column.resize(4 + rng() % 20);
        for (int& v : column)
            v = rng() % 4 == 0 ? -1 : int(rng() % 12);
    }
    ECS& ecs = ECS::Get();
    EntityID map = ecs.CreateEntity();
    ecs.AddComponent<TileMap>(map, std::string("./Assets/tiles.png"), grid, 64, 64);
    ecs.AddComponent<Transform>(map, vec3(0), vec3(0), vec3(512, 512, 0));

    // Plain, turned and zoomed views, over the map upright and turned on its own.
    struct View {
        vec3 camera;
        float turn = 0, zoom = 1;
        float mapTurn = 0;
    };
    const View views[] = {{{640, 360, 0}},
                          {{0, 0, 0}},
                          {{3000.5f, 700.25f, 0}},
                          {{5000.49f, 300.5f, 0}},
                          {{9570, 1000, 0}},
                          {{-700, -400, 0}},
                          {{9600.7f, -359.5f, 0}},
                          {{3000.5f, 700.25f, 0}, 30},
                          {{640, 360, 0}, 90, 2},
                          {{6000.3f, 500, 0}, -135, 0.75f},
                          {{4000, 600, 0}, 12, 1, 25}};
    Camera& camera = Camera::Main();
    for (const View& v : views) {
        camera.transform.position = v.camera;
        camera.rotation = v.turn;
        camera.zoom = v.zoom;
        ecs.GetComponent<Transform>(map)->rotation = vec3(0, 0, v.mapTurn);
        const auto culled = Frame(false, map);
        const auto every = Frame(true, map);
        int differ = 0;
        for (size_t i = 0; i < culled.size(); ++i)
            differ += !(culled[i] == every[i]);
        EXPECT_EQ(differ, 0) << "camera " << v.camera.x << "," << v.camera.y << " turned "
                             << v.turn;
    }
    camera.rotation = 0;
    camera.zoom = 1;
    ecs.GetComponent<Transform>(map)->rotation = vec3(0);
    // The transform is left at the last cell drawn on screen: at the right
    // edge of the view for a view inside the map.
    Camera::Main().transform.position = {3000, 360, 0};
    Frame(false, map);
    const vec3 last = ecs.GetComponent<Transform>(map)->position;
    EXPECT_GE(last.x, 3000.0f + 640 - 64);
    EXPECT_LE(last.x, 3000.0f + 640 + 64);
    Camera::Main().transform.position = {640, 360, 0};
}

} // namespace
