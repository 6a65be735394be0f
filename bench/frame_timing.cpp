// Frame, step and start-up timing of the real engine under the current X
// display. Run from the repository root:
//
//   frame_timing [--rounds R] [--frames N] [--cells C]
//       Interleaves R rounds of: a bare frame (the engine's Render with no
//       scene: clear and swap), the shipped scene, and the game on a generated
//       level of C cells (in a temporary directory whose Assets/ links to the
//       real assets); then times R starts of the game binary, of the game on
//       the generated level and of a bare window (this program's bare mode) to
//       their first swapped frame, with their peak resident memory after 100
//       frames (or 3 s). Prints medians and ratios.
//       With --compare OTHER (another build's frame_timing, next to its game),
//       that build's scenes and starts are interleaved with this one's and
//       reported beside them, all against this run's bare frame and window.
//       With --tiled, each build's game also starts on the same generated
//       level as a zlib-compressed Tiled map (`game Assets/generated.tmx`).
//   frame_timing --child bare|scene --frames N
//       One measurement in the working directory; prints a RESULT line.
//   frame_timing --shots DIR
//       Renders the scene of the working directory with the camera at fixed
//       points and writes DIR/shot-<i>.png, for comparing builds pixel by pixel.
//   frame_timing --make-level DIR [--cells C]
//       Makes DIR a working directory for the game with a generated level,
//       also as Assets/generated.tmx.
//   frame_timing --cap FPS [--seconds S] [--rounds R]
//       Runs the engine's own loop (Engine::Run) on a bare 1280x720 window
//       with a frame-rate cap of FPS, R times for S seconds (default 3 of
//       10); prints the frames drawn a second and the process's CPU time as
//       a share of the wall time.

#include <dlfcn.h>
#include <stb_image_write.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <engine/core/Engine.h>
#include <engine/render/Camera.h>

#include "LevelGen.h"
#include "core/GLUtil.h"
#include "game/Scene.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> v) {
    if (v.empty())
        return 0.0;
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

double Mean(const std::vector<double>& v) {
    double s = 0.0;
    for (double x : v)
        s += x;
    return v.empty() ? 0.0 : s / double(v.size());
}

// One step and one frame at a time, as the loop runs when frames take about a
// step. The first 300 let the camera settle near the player.
int Child(const std::string& mode, int frames) {
    Engine::Engine engine(1280, 720);
    engine.InitializeGraphicsSubSystem();
    const bool scene = mode == "scene";
    if (scene) {
        engine.SetScene(Engine::CreateRef<Engine::GameScene>());
        engine.Start();
    }
    std::vector<double> frame, step;
    for (int i = 0; i < 300 + frames; ++i) {
        auto t0 = Clock::now();
        if (scene)
            engine.Update(0.01);
        auto t1 = Clock::now();
        engine.Render();
        auto t2 = Clock::now();
        if (i >= 300) {
            step.push_back(Ms(t1 - t0));
            frame.push_back(Ms(t2 - t1));
        }
    }
    engine.Shutdown();
    std::printf("RESULT %.4f %.4f %.5f %.5f\n", Median(frame), Mean(frame), Median(step),
                Mean(step));
    return 0;
}

// The engine's loop under a cap: a scene that draws nothing, notes when each
// frame is drawn, and quits after `seconds`.
int Capped(int fps, double seconds, int rounds) {
    struct Timed : Engine::Scene {
        double seconds = 0;
        Engine::Engine* engine = nullptr;
        std::vector<Clock::time_point> frames;
        std::clock_t cpuFirst = 0, cpuLast = 0;
        double engineRate = 0;
        void Build(Engine::Engine& e) override {
            engine = &e;
            frames.reserve(size_t(seconds * 1000));
        }
        void Update() override {
            if (frames.size() > 1 &&
                frames.back() - frames.front() >= std::chrono::duration<double>(seconds)) {
                engineRate = engine->GetFrameRate();
                engine->Quit();
            }
        }
        void Draw(const Engine::Uni<Engine::Renderer>&) override {
            if (frames.empty())
                cpuFirst = std::clock();
            cpuLast = std::clock();
            frames.push_back(Clock::now());
        }
    };
    std::vector<double> rates, cpu, engineRates;
    for (int r = 0; r < rounds; ++r) {
        auto scene = Engine::CreateRef<Timed>();
        scene->seconds = seconds;
        Engine::Engine::Run(scene, 1280, 720, "Capped", {.targetFrameRate = fps});
        const double wall =
            std::chrono::duration<double>(scene->frames.back() - scene->frames.front()).count();
        rates.push_back(double(scene->frames.size() - 1) / wall);
        cpu.push_back(double(scene->cpuLast - scene->cpuFirst) / CLOCKS_PER_SEC / wall);
        engineRates.push_back(scene->engineRate);
    }
    std::sort(rates.begin(), rates.end());
    std::printf("cap %d: %d runs of %.0f s; frames a second: median %.2f (lowest %.2f, highest "
                "%.2f); GetFrameRate median %.2f; CPU time %.1f %% of the wall time (median)\n",
                fps, rounds, seconds, Median(rates), rates.front(), rates.back(),
                Median(engineRates), 100 * Median(cpu));
    return 0;
}

// Where the next swap leaves the back buffer's pixels, read just before it.
std::vector<unsigned char>* capture = nullptr;

} // namespace

// The engine's own SDL_GL_SwapWindow calls come here first, so a shot is the
// whole of Render as the game runs it, read before the swap.
extern "C" void SDL_GL_SwapWindow(SDL_Window* window) {
    using Swap = void (*)(SDL_Window*);
    static Swap real = reinterpret_cast<Swap>(dlsym(RTLD_NEXT, "SDL_GL_SwapWindow"));
    if (capture) {
        capture->resize(1280 * 720 * 4);
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, 1280, 720, GL_RGBA, GL_UNSIGNED_BYTE, capture->data());
    }
    real(window);
}

namespace {

int Shots(const std::string& dir) {
    fs::create_directories(dir);
    Engine::Engine engine(1280, 720);
    engine.InitializeGraphicsSubSystem();
    engine.SetScene(Engine::CreateRef<Engine::GameScene>());
    engine.Start();
    // Fractional points check the whole-pixel rounding; the far ones show the
    // map's edges and empty space around it.
    const glm::vec3 points[] = {{0, 0, 0},
                                {640, 360, 0},
                                {300.5f, 250.25f, 0},
                                {1000, 300, 0},
                                {1700.7f, 420.3f, 0},
                                {2900, 360, 0},
                                {3100.4f, 100, 0},
                                {-500, -200, 0},
                                {1536, 768, 0},
                                {2000.49f, 200.51f, 0},
                                {200000, 300, 0}};
    std::vector<unsigned char> raw(1280 * 720 * 4), image(raw.size());
    int i = 0;
    for (const glm::vec3& p : points) {
        Engine::Camera::Main().transform.position = p;
        capture = &raw;
        engine.Render();
        capture = nullptr;
        for (int y = 0; y < 720; ++y)
            std::memcpy(&image[size_t(y) * 1280 * 4], &raw[size_t(719 - y) * 1280 * 4], 1280 * 4);
        std::string path = dir + "/shot-" + std::to_string(i++) + ".png";
        if (!stbi_write_png(path.c_str(), 1280, 720, 4, image.data(), 1280 * 4)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    engine.Shutdown();
    return 0;
}

long long NowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

// Runs argv in cwd with stderr silenced; returns its stdout.
std::string Run(const std::vector<std::string>& argv, const std::string& cwd,
                const std::vector<std::string>& env = {}) {
    int fds[2];
    if (pipe(fds) != 0)
        return "";
    pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        close(fds[1]);
        if (FILE* null = std::fopen("/dev/null", "w"))
            dup2(fileno(null), 2);
        if (chdir(cwd.c_str()) != 0)
            _exit(127);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        // No settings of this machine's player (full screen, say) in what is
        // timed: the game reads none from a folder that is never there, and a
        // run without keys writes none.
        setenv("XDG_CONFIG_HOME", "/nonexistent", 1);
        for (const std::string& e : env)
            putenv(strdup(e.c_str()));
        setenv("STARTUP_T0_NS", std::to_string(NowNs()).c_str(), 1);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(fds[1]);
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0)
        out.append(buf, size_t(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return out;
}

struct FrameResult {
    std::vector<double> frameMed, frameMean, stepMed, stepMean;
};

bool ParseResult(const std::string& out, FrameResult& r) {
    size_t at = out.rfind("RESULT ");
    double a, b, c, d;
    if (at == std::string::npos ||
        std::sscanf(out.c_str() + at, "RESULT %lf %lf %lf %lf", &a, &b, &c, &d) != 4)
        return false;
    r.frameMed.push_back(a);
    r.frameMean.push_back(b);
    r.stepMed.push_back(c);
    r.stepMean.push_back(d);
    return true;
}

struct StartResult {
    std::vector<double> ms, kb;
};

bool TimeStart(const std::vector<std::string>& argv, const std::string& cwd,
               const std::string& shim, const std::string& outFile, StartResult& r) {
    fs::remove(outFile);
    Run(argv, cwd,
        {"LD_PRELOAD=" + shim, "STARTUP_FRAMES=100", "STARTUP_SECONDS=3",
         "STARTUP_OUT=" + outFile});
    FILE* f = std::fopen(outFile.c_str(), "r");
    if (!f)
        return false;
    double ms = 0, kb = 0;
    bool ok = std::fscanf(f, "%lf %lf", &ms, &kb) == 2;
    std::fclose(f);
    if (ok) {
        r.ms.push_back(ms);
        r.kb.push_back(kb);
    }
    return ok;
}

// A working directory whose Assets/ links to the real assets but holds a
// generated level1.json.
// The generated level as a Tiled map, beside it in Assets/.
constexpr const char* TILED_LEVEL = "generated.tmx";

fs::path MakeLevelDir(const fs::path& root, int cells, fs::path dir = {}) {
    if (dir.empty())
        dir = fs::temp_directory_path() / ("frame_timing_" + std::to_string(getpid()));
    fs::create_directories(dir / "Assets");
    for (const auto& entry : fs::directory_iterator(root / "Assets"))
        if (entry.path().filename() != "level1.json")
            fs::create_symlink(fs::absolute(entry.path()),
                               dir / "Assets" / entry.path().filename());
    const BenchLevel::Board board = BenchLevel::Generate(cells);
    BenchLevel::WriteJson((dir / "Assets" / "level1.json").string(), board);
    BenchLevel::WriteText((dir / "Assets" / TILED_LEVEL).string(),
                          BenchLevel::TiledLevel(board, "zlib"));
    return dir;
}

// The scenes and starts of one build: its frame_timing and its game.
struct Build {
    std::string timing, game, label;
    FrameResult shipped, large;
    StartResult sGame, sLarge, sTiled;
};

int Parent(int rounds, int frames, int cells, const std::string& other, bool tiled) {
    const fs::path self = fs::read_symlink("/proc/self/exe");
    const fs::path root = fs::current_path();
    const std::string shim = (self.parent_path() / "libstartup_shim.so").string();
    std::vector<Build> builds = {{self.string(), "", "", {}, {}, {}, {}, {}}};
    if (!other.empty())
        builds.push_back({fs::canonical(other).string(), "", "other: ", {}, {}, {}, {}, {}});
    for (Build& b : builds) {
        b.game = (fs::path(b.timing).parent_path().parent_path() / "game").string();
        if (!fs::exists(b.game)) {
            std::fprintf(stderr, "no game binary at %s\n", b.game.c_str());
            return 1;
        }
    }
    if (!fs::exists(root / "Assets" / "level1.json")) {
        std::fprintf(stderr, "run from the repository root\n");
        return 1;
    }
    const fs::path big = MakeLevelDir(root, cells);
    const std::string fr = std::to_string(frames);

    // Everything interleaved, so drift in the machine's load falls on all alike.
    FrameResult bare;
    StartResult sBare;
    bool ok = true;
    for (int r = 0; r < rounds; ++r) {
        ok &= ParseResult(Run({self, "--child", "bare", "--frames", fr}, root), bare);
        for (Build& b : builds) {
            ok &= ParseResult(Run({b.timing, "--child", "scene", "--frames", fr}, root), b.shipped);
            ok &= ParseResult(Run({b.timing, "--child", "scene", "--frames", fr}, big), b.large);
        }
    }
    const std::string outFile = (big / "startup.txt").string();
    for (int r = 0; r < rounds; ++r) {
        ok &=
            TimeStart({self, "--child", "bare", "--frames", "1000000"}, root, shim, outFile, sBare);
        for (Build& b : builds) {
            ok &= TimeStart({b.game}, root, shim, outFile, b.sGame);
            ok &= TimeStart({b.game}, big.string(), shim, outFile, b.sLarge);
            if (tiled)
                ok &= TimeStart({b.game, "Assets/" + std::string(TILED_LEVEL)}, big.string(), shim,
                                outFile, b.sTiled);
        }
    }
    fs::remove_all(big);
    if (!ok) {
        std::fprintf(stderr, "a measurement failed (no display?)\n");
        return 1;
    }

    const double fb = Median(bare.frameMed);
    const std::string level = "level of " + std::to_string(cells) + " cells";
    std::printf("frames: %d rounds of %d frames, medians of per-run medians (ms)\n", rounds,
                frames);
    std::printf("  %-31s %9s %9s %9s %9s\n", "", "frame", "ratio", "frame avg", "step");
    auto row = [&](const std::string& name, const FrameResult& f) {
        double m = Median(f.frameMed);
        std::printf("  %-31s %9.3f %9.2f %9.3f %9.4f\n", name.c_str(), m, m / fb,
                    Median(f.frameMean), Median(f.stepMed));
    };
    row("bare (clear + swap)", bare);
    for (const Build& b : builds) {
        row(b.label + "shipped scene", b.shipped);
        row(b.label + level, b.large);
    }
    const double sb = Median(sBare.ms);
    std::printf(
        "start to first frame: %d runs, medians (ms); peak RSS after 100 frames or 3 s (MiB)\n",
        rounds);
    auto srow = [&](const std::string& label, const StartResult& s) {
        double m = Median(s.ms);
        std::printf("  %-31s %9.1f %9.2f %9.1f\n", label.c_str(), m, m / sb, Median(s.kb) / 1024.0);
    };
    srow("bare window", sBare);
    for (const Build& b : builds) {
        srow(b.label + "game", b.sGame);
        srow(b.label + level, b.sLarge);
        if (tiled)
            srow(b.label + level + ", zlib TMX", b.sTiled);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    int rounds = 5, frames = 500, cells = 100000, cap = 0;
    double seconds = 10;
    std::string child, shots, levelDir, other;
    bool tiled = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& k = args[i];
        if (k == "--tiled") {
            tiled = true;
            continue;
        }
        if (i + 1 == args.size())
            break;
        const std::string& v = args[++i];
        if (k == "--rounds")
            rounds = std::max(1, std::atoi(v.c_str()));
        else if (k == "--frames")
            frames = std::max(1, std::atoi(v.c_str()));
        else if (k == "--cells")
            cells = std::max(1, std::atoi(v.c_str()));
        else if (k == "--child")
            child = v;
        else if (k == "--shots")
            shots = v;
        else if (k == "--make-level")
            levelDir = v;
        else if (k == "--compare")
            other = v;
        else if (k == "--cap")
            cap = std::max(1, std::atoi(v.c_str()));
        else if (k == "--seconds")
            seconds = std::max(1.0, std::atof(v.c_str()));
    }
    if (cap)
        return Capped(cap, seconds, std::count(args.begin(), args.end(), "--rounds") ? rounds : 3);
    if (!child.empty())
        return Child(child, frames);
    if (!shots.empty())
        return Shots(shots);
    if (!levelDir.empty())
        return MakeLevelDir(fs::current_path(), cells, levelDir).empty();
    return Parent(rounds, frames, cells, other, tiled);
}
