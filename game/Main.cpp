#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include <engine/audio/Audio.h>
#include <engine/core/Engine.h>
#include <engine/core/Window.h>
#include <engine/image/Image.h>

#include "game/BoatFrame.h"
#include "game/Scene.h"
#include "game/Settings.h"

namespace {

// %s: the command's name.
constexpr const char* USAGE =
    "usage: %s [--fullscreen] [LEVEL]\n"
    "Plays LEVEL: a level file of the game's own format (JSON), or a map made with\n"
    "the Tiled editor (TMX or JSON), told apart by their content. Without LEVEL it\n"
    "plays ./Assets/level1.json, in the game's own format. The game reads ./Assets\n"
    "below the working directory (installed, the sailhop command starts it in the\n"
    "folder that holds them); paths inside a Tiled map are relative to the file\n"
    "that names them.\n"
    "A LEVEL named here is played again as soon as it, or a file it names, is saved.\n"
    "A level file dropped on the window is played in place of the running level,\n"
    "live the same way (of several dropped at once, the last).\n"
    "\n"
    "P, or Start on a pad, pauses the game and goes on again; switching to\n"
    "another window, or pulling out a pad, pauses it too.\n"
    "M, or Back on a pad, turns the sound off and on.\n"
    "F11 or Alt+Enter switches to full screen and back; Esc leaves full screen.\n"
    "Both choices are kept for the next start, in sailhop/settings.json below\n"
    "$XDG_CONFIG_HOME (~/.config).\n"
    "\n"
    "  --fullscreen  start full screen\n"
    "  -h, --help    show this and exit\n";

// The name the program was started by, without its directory: "game" in the
// build tree, "sailhop" installed, so that the usage names what was typed.
const char* CommandName(const char* argv0) {
    if (!argv0 || !*argv0)
        return "game";
    const char* slash = std::strrchr(argv0, '/');
    return slash && slash[1] ? slash + 1 : argv0;
}

} // namespace

int main(int argc, char** argv) {
    const char* name = CommandName(argc > 0 ? argv[0] : nullptr);
    std::optional<std::string> level;
    bool options = true;
    bool fullscreen = false;
    int levels = 0;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (options && (std::strcmp(arg, "-h") == 0 || std::strcmp(arg, "--help") == 0)) {
            std::printf(USAGE, name);
            return 0;
        }
        if (options && std::strcmp(arg, "--fullscreen") == 0) {
            fullscreen = true;
            continue;
        }
        if (options && std::strcmp(arg, "--") == 0) {
            options = false;
            continue;
        }
        if (options && arg[0] == '-' && arg[1] != '\0') {
            std::fprintf(stderr, "%s: unknown option %s\n", name, arg);
            std::fprintf(stderr, USAGE, name);
            return 2;
        }
        level = arg;
        ++levels;
    }
    if (levels > 1) {
        std::fprintf(stderr, "%s: one level at a time\n", name);
        std::fprintf(stderr, USAGE, name);
        return 2;
    }

    // The player's choices of earlier runs; they outlive the engine, whose
    // scene saves them.
    Engine::Settings settings = Engine::Settings::Load(Engine::SettingsPath(false));

    Engine::Engine engine(1280, 720);
    engine.SetTargetFrameRate(settings.maxFps);
    // A level named on the command line is someone's work in progress: it is
    // played again as soon as it is saved.
    const bool live = levels > 0;
    auto scene =
        Engine::CreateRef<Engine::GameScene>(Engine::CreateUni<Engine::SceneContent>(), level, live);
    engine.SetScene(scene);
    engine.InitializeGraphicsSubSystem();
    // The boat, as the desktop's icons show it; a sheet that cannot be read
    // leaves the system's icon (the scene says why when it loads the sheet).
    engine.GetWindow()->SetIcon(
        Engine::BoatFrame(Engine::Image::Load(Engine::SceneFiles::BOAT_SHEET)));
    // Full screen shows the window's picture scaled up, not more of the world.
    engine.GetWindow()->SetViewSize({1280, 720});
    Engine::Window& window = *engine.GetWindow();
    if (fullscreen || settings.fullscreen)
        window.ToggleFullscreen();
    // Before the music starts; the notice says why the game is silent.
    if (!settings.sound)
        scene->SetSound(false);
    bool shownFullscreen = window.IsFullscreen();
    scene->OnChoice([&] {
        // Full screen is kept only when the player changed it: --fullscreen
        // is for one run.
        if (window.IsFullscreen() != shownFullscreen)
            settings.fullscreen = shownFullscreen = window.IsFullscreen();
        settings.sound = Engine::Audio::GetMasterVolume() > 0.0f;
        if (const std::string path = Engine::SettingsPath(true); !path.empty())
            settings.Save(path);
    });
    engine.Start();
    if (!settings.problem.empty())
        scene->ShowProblem(settings.problem);
    // Switching to another window, or a pad pulled out, pauses the game.
    scene->WatchFocus();
    scene->WatchPads();
    engine.MainGameLoop();
    engine.Shutdown();
    return 0;
}
