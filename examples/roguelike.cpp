// A grid roguelike: a dungeon of characters on an 80 by 45 grid of 16-pixel cells, the map on the
// left, a status panel on the right and a message log below. Turn by turn: the arrow keys, vi keys
// (hjkl, yubn) or the pad's D-pad move and attack, repeating while held; '.' or the pad's X
// waits; '>' or the pad's A goes down the stairs. Each level is made from the game's seed, and
// only what has been seen is drawn. F5 saves, F9 loads (with the random numbers' state, so a
// loaded fight goes as it would have); PAGE UP and PAGE DOWN or the wheel scroll the log.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include <engine/core/Engine.h>
#include <engine/core/Files.h>
#include <engine/core/Input.h>
#include <engine/core/Random.h>
#include <engine/render/Draw.h>
#include <engine/text/Font.h>

namespace {

using namespace Engine;

constexpr int COLS = 80, ROWS = 45, CELL = 16, MAP_W = 60, MAP_H = 36, SIGHT = 8;
constexpr float SIZE = 16, SMALL = 14, LOG_TOP = MAP_H * CELL + 4;
enum Action { UP, DOWN, LEFT, RIGHT, UP_LEFT, UP_RIGHT, DOWN_LEFT, DOWN_RIGHT, WAIT, DESCEND };
constexpr int STEPS[8][2] = {{0, -1}, {0, 1}, {-1, 0}, {1, 0}, {-1, -1}, {1, -1}, {-1, 1}, {1, 1}};

struct Mob {
    int x = 0, y = 0, hp = 1, attack = 1;
    char glyph = 'r';
};

class Roguelike : public Scene {
public:
    void Build(::Engine::Engine& engine) override {
        m_engine = &engine;
        engine.SetClearColor(0x0B0B10);
        const int keys[8][2] = {{SDLK_UP, SDLK_k},    {SDLK_DOWN, SDLK_j}, {SDLK_LEFT, SDLK_h},
                                {SDLK_RIGHT, SDLK_l}, {SDLK_y, 0},         {SDLK_u, 0},
                                {SDLK_b, 0},          {SDLK_n, 0}};
        for (int a = UP; a <= DOWN_RIGHT; ++a)
            for (int key : keys[a])
                if (key)
                    m_actions.BindKey(a, key);
        const SDL_GameControllerButton pad[] = {
            SDL_CONTROLLER_BUTTON_DPAD_UP, SDL_CONTROLLER_BUTTON_DPAD_DOWN,
            SDL_CONTROLLER_BUTTON_DPAD_LEFT, SDL_CONTROLLER_BUTTON_DPAD_RIGHT};
        for (int a = UP; a <= RIGHT; ++a)
            m_actions.BindPad(a, PadInput::Button(pad[a]));
        m_actions.BindPad(WAIT, PadInput::Button(SDL_CONTROLLER_BUTTON_X));
        m_actions.BindPad(DESCEND, PadInput::Button(SDL_CONTROLLER_BUTTON_A));
        m_seed = uint64_t(Random::Int(1, 1 << 30));
        NewLevel();
        Say("Welcome to the dungeon. Find the stairs (>) and go down.");
    }

    void Update() override {
        if (Input::WasKeyPressed(SDLK_ESCAPE))
            m_engine->Quit();
        if (Input::WasKeyPressed(SDLK_F5))
            Save();
        if (Input::WasKeyPressed(SDLK_F9))
            Load();
        const float wheel = Input::GetMouseWheelMove();
        if (Input::WasKeyPressedOrRepeated(SDLK_PAGEUP) || wheel > 0)
            ++m_scroll;
        if (Input::WasKeyPressedOrRepeated(SDLK_PAGEDOWN) || wheel < 0)
            m_scroll = std::max(0, m_scroll - 1);
        if (m_hp <= 0)
            return;
        // A symbol typed with shift ('>') is read from the text typed, which follows the layout.
        const std::string& typed = Input::GetTypedText();
        bool turn = false;
        for (int a = UP; a <= DOWN_RIGHT && !turn; ++a)
            if (m_actions.WasPressedOrRepeated(a))
                turn = Move(STEPS[a][0], STEPS[a][1]);
        if (!turn && (typed.find('.') != std::string::npos || m_actions.WasPressedOrRepeated(WAIT)))
            turn = true;
        if (typed.find('>') != std::string::npos || m_actions.WasPressed(DESCEND)) {
            if (m_map[Index(m_x, m_y)] != '>') {
                Say("There are no stairs here.");
            } else {
                ++m_depth;
                NewLevel();
                Say("You go down to depth " + std::to_string(m_depth) + ".");
            }
        }
        if (turn)
            MonstersAct();
    }

    void Draw(const Uni<Renderer>&) override {
        for (int y = 0; y < MAP_H; ++y)
            for (int x = 0; x < MAP_W; ++x) {
                const size_t i = Index(x, y);
                if (!m_seen[i])
                    continue;
                const bool lit = m_visible[i];
                if (m_map[i] == '#')
                    Draw::Rect({float(x * CELL), float(y * CELL), CELL, CELL},
                               lit ? Color{92, 80, 70, 255} : Color{40, 38, 48, 255});
                else
                    Glyph(m_map[i], x, y, m_map[i] == '>' ? GOLD : lit ? GRAY : DARKGRAY);
            }
        for (const Mob& m : m_mobs)
            if (m_visible[Index(m.x, m.y)])
                Glyph(m.glyph, m.x, m.y, m.glyph == 'r' ? BEIGE : m.glyph == 'g' ? LIME : RED);
        Glyph('@', m_x, m_y, m_hp > 0 ? WHITE : MAROON);
        DrawPanel();
        DrawLog();
    }

private:
    static size_t Index(int x, int y) { return size_t(y * MAP_W + x); }
    bool Wall(int x, int y) const {
        return x < 0 || y < 0 || x >= MAP_W || y >= MAP_H || m_map[Index(x, y)] == '#';
    }
    Mob* MobAt(int x, int y) {
        for (Mob& m : m_mobs)
            if (m.x == x && m.y == y)
                return &m;
        return nullptr;
    }

    // One character in the middle of its cell: placed by its advance, left-aligned, since
    // centring would place it by its ink.
    static void Glyph(char c, int x, int y, Color color) {
        const Font& font = Font::Default();
        const float advance =
            float(font.GlyphOf(char32_t(c)).advance) * SIZE / float(font.pixelSize);
        Draw::Text(std::string(1, c),
                   {float(x * CELL) + (CELL - advance) / 2,
                    float(y * CELL) + (CELL - Draw::LineHeight(SIZE)) / 2},
                   SIZE, color);
    }

    // Rooms joined by corridors, the same for a seed and depth on every run.
    void NewLevel() {
        // The level's own numbers, then the play's go on where they were.
        const uint64_t play = Random::GetState();
        Random::SetSeed(m_seed * 1000 + uint64_t(m_depth));
        m_map.assign(MAP_W * MAP_H, '#');
        m_seen.assign(m_map.size(), false);
        m_mobs.clear();
        int px = 0, py = 0; // the previous room's middle
        for (int tries = 0, rooms = 0; tries < 200 && rooms < 12; ++tries) {
            const int w = Random::Int(4, 11), h = Random::Int(3, 7);
            const int rx = Random::Int(1, MAP_W - w - 2), ry = Random::Int(1, MAP_H - h - 2);
            bool clear = true;
            for (int y = ry - 1; y <= ry + h && clear; ++y)
                for (int x = rx - 1; x <= rx + w && clear; ++x)
                    clear = m_map[Index(x, y)] == '#';
            if (!clear)
                continue;
            for (int y = ry; y < ry + h; ++y)
                for (int x = rx; x < rx + w; ++x)
                    m_map[Index(x, y)] = '.';
            const int cx = rx + w / 2, cy = ry + h / 2;
            if (rooms++ == 0) {
                m_x = cx, m_y = cy;
            } else {
                for (int x = px; x != cx; x += cx > px ? 1 : -1)
                    m_map[Index(x, py)] = '.';
                for (int y = py; y != cy; y += cy > py ? 1 : -1)
                    m_map[Index(cx, y)] = '.';
                for (int n = Random::Int(0, 1 + m_depth / 2); n > 0; --n) {
                    const int kind = std::min(Random::Int(0, m_depth), 2);
                    m_mobs.push_back({Random::Int(rx, rx + w - 1), Random::Int(ry, ry + h - 1),
                                      3 + 4 * kind, 1 + kind, "rgo"[kind]});
                }
            }
            px = cx, py = cy;
        }
        m_map[Index(px, py)] = '>';
        Random::SetState(play);
        Look();
    }

    // What the player sees: the cells within SIGHT whose straight line to the player crosses
    // no wall on the way.
    void Look() {
        m_visible.assign(m_map.size(), false);
        for (int y = m_y - SIGHT; y <= m_y + SIGHT; ++y)
            for (int x = m_x - SIGHT; x <= m_x + SIGHT; ++x) {
                const int dx = x - m_x, dy = y - m_y, n = std::max(std::abs(dx), std::abs(dy));
                if (x < 0 || y < 0 || x >= MAP_W || y >= MAP_H || dx * dx + dy * dy > SIGHT * SIGHT)
                    continue;
                bool clear = true;
                for (int k = 1; k < n && clear; ++k)
                    clear = !Wall(m_x + int(std::lround(double(dx) * k / n)),
                                  m_y + int(std::lround(double(dy) * k / n)));
                if (clear)
                    m_visible[Index(x, y)] = m_seen[Index(x, y)] = true;
            }
    }

    bool Move(int dx, int dy) {
        const int x = m_x + dx, y = m_y + dy;
        if (Mob* m = MobAt(x, y)) {
            const int damage = Random::Int(1, 4);
            m->hp -= damage;
            Say("You hit the " + Name(*m) + " for " + std::to_string(damage) +
                (m->hp <= 0 ? ". It dies." : "."));
            std::erase_if(m_mobs, [](const Mob& mob) { return mob.hp <= 0; });
            return true;
        }
        if (Wall(x, y))
            return false;
        m_x = x, m_y = y;
        Look();
        return true;
    }
    // Monsters in sight step towards the player, or strike from beside.
    void MonstersAct() {
        ++m_turn;
        for (Mob& m : m_mobs) {
            if (!m_visible[Index(m.x, m.y)])
                continue;
            const int dx = (m_x > m.x) - (m_x < m.x), dy = (m_y > m.y) - (m_y < m.y);
            if (std::abs(m_x - m.x) <= 1 && std::abs(m_y - m.y) <= 1) {
                const int damage = Random::Int(1, m.attack + 1);
                m_hp -= damage;
                Say("The " + Name(m) + " hits you for " + std::to_string(damage) + "." +
                    (m_hp <= 0 ? " You die... (F9 loads the last save)" : ""));
            } else if (!Wall(m.x + dx, m.y + dy) && !MobAt(m.x + dx, m.y + dy)) {
                m.x += dx, m.y += dy;
            }
        }
    }
    static std::string Name(const Mob& m) {
        return m.glyph == 'r' ? "rat" : m.glyph == 'g' ? "goblin" : "orc";
    }
    void Say(const std::string& text) {
        m_log.push_back(std::to_string(m_turn) + ": " + text);
        m_scroll = 0;
    }

    void DrawPanel() {
        const float x = MAP_W * CELL + 12, width = (COLS - MAP_W) * CELL - 24;
        Draw::Rect({MAP_W * CELL, 0, (COLS - MAP_W) * CELL, MAP_H * CELL}, {20, 20, 30, 255});
        Draw::Text("Depth " + std::to_string(m_depth) + "   Turn " + std::to_string(m_turn),
                   {x, 12}, SIZE, LIGHTGRAY);
        Draw::Text("HP " + std::to_string(std::max(m_hp, 0)) + " / 30", {x, 40}, SIZE, LIGHTGRAY);
        Draw::Rect({x, 64, width, 10}, MAROON);
        Draw::Rect({x, 64, width * float(std::max(m_hp, 0)) / 30.0f, 10}, RED);
        float y = 96;
        for (const Mob& m : m_mobs)
            if (m_visible[Index(m.x, m.y)] && y < 400) {
                Draw::Text(std::string(1, m.glyph) + "  " + Name(m), {x, y}, SIZE, LIGHTGRAY);
                y += Draw::LineHeight(SIZE);
            }
        Draw::TextWrapped("Arrows or hjkl yubn move and attack, '.' waits, '>' goes down. "
                          "F5 saves, F9 loads.",
                          {x, MAP_H * CELL - 80}, SMALL, width, GRAY);
    }
    // The newest line at the bottom, brighter; older ones above, scrolled by m_scroll lines.
    void DrawLog() {
        const Rectangle box{0, LOG_TOP, COLS * CELL, ROWS * CELL - LOG_TOP};
        Draw::Rect(box, {14, 14, 22, 255});
        std::vector<std::string> lines;
        for (size_t i = m_log.size() > 50 ? m_log.size() - 50 : 0; i < m_log.size(); ++i)
            for (std::string& line : Draw::WrapText(m_log[i], SMALL, box.width - 16))
                lines.push_back(std::move(line));
        const float step = Draw::LineHeight(SMALL);
        m_scroll = std::clamp(m_scroll, 0, std::max(0, int(lines.size()) - int(box.height / step)));
        Draw::BeginScissor(box);
        float y = box.y + box.height - step;
        for (int i = int(lines.size()) - 1 - m_scroll; i >= 0 && y > box.y - step; --i, y -= step)
            Draw::Text(lines[size_t(i)], {8, y}, SMALL, i + 1 == int(lines.size()) ? WHITE : GRAY);
        Draw::EndScissor();
    }

    // A game is its seed, where it stands and the random numbers' state; the level is made
    // again from the seed, and the cells seen are kept.
    void Save() {
        const std::string dir = Files::DataDir("keel-roguelike");
        std::ostringstream out;
        out << m_seed << ' ' << m_depth << ' ' << m_turn << ' ' << m_x << ' ' << m_y << ' ' << m_hp
            << ' ' << Random::GetState() << ' ' << m_mobs.size();
        for (const Mob& m : m_mobs)
            out << ' ' << m.x << ' ' << m.y << ' ' << m.hp << ' ' << m.glyph;
        out << ' ';
        for (bool seen : m_seen)
            out << (seen ? '1' : '0');
        Say(!dir.empty() && Files::SaveText(dir + "/save.txt", out.str()) ? "Saved."
                                                                          : "Could not save.");
    }
    void Load() {
        const std::string dir = Files::DataDir("keel-roguelike", false);
        const auto text = dir.empty() ? std::nullopt : Files::LoadText(dir + "/save.txt", 1 << 16);
        std::istringstream in(text.value_or(""));
        uint64_t seed = 0, state = 0;
        int depth = 0, turn = 0, x = 0, y = 0, hp = 0;
        size_t count = 0;
        in >> seed >> depth >> turn >> x >> y >> hp >> state >> count;
        std::vector<Mob> mobs(std::min<size_t>(count, 1000));
        for (Mob& m : mobs)
            in >> m.x >> m.y >> m.hp >> m.glyph;
        std::string seen;
        in >> seen;
        // A file edited by hand or cut short must not place anything off the map.
        auto off = [](int cx, int cy) { return cx < 0 || cy < 0 || cx >= MAP_W || cy >= MAP_H; };
        const bool placed = !off(x, y) && std::none_of(mobs.begin(), mobs.end(),
                                                       [&](const Mob& m) { return off(m.x, m.y); });
        if (!in || !placed || seen.size() != size_t(MAP_W * MAP_H) || depth < 1) {
            Say(text ? "The saved game cannot be read." : "There is no saved game.");
            return;
        }
        m_seed = seed, m_depth = depth;
        NewLevel();
        m_turn = turn, m_x = x, m_y = y, m_hp = hp;
        for (Mob& m : mobs)
            m.attack = m.glyph == 'o' ? 3 : m.glyph == 'g' ? 2 : 1;
        m_mobs = mobs;
        for (size_t i = 0; i < seen.size(); ++i)
            m_seen[i] = seen[i] == '1';
        Random::SetState(state);
        Look();
        Say("Loaded.");
    }

    ::Engine::Engine* m_engine = nullptr;
    ActionMap m_actions;
    std::vector<char> m_map;
    std::vector<bool> m_seen, m_visible;
    std::vector<Mob> m_mobs;
    std::vector<std::string> m_log;
    uint64_t m_seed = 1;
    int m_depth = 1, m_turn = 0, m_x = 0, m_y = 0, m_hp = 30, m_scroll = 0;
};

} // namespace

int main() {
    return ::Engine::Engine::Run(::Engine::CreateRef<Roguelike>(), COLS * CELL, ROWS * CELL,
                                 "Roguelike", {.targetFrameRate = 60});
}
