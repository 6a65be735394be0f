// Preloaded into a program to time its start: on the first buffer swap it
// notes the time since STARTUP_T0_NS (CLOCK_MONOTONIC, set just before exec),
// and after STARTUP_FRAMES swaps, or at the first swap STARTUP_SECONDS after
// the first, it writes "<first-frame ms> <VmHWM kB>" to STARTUP_OUT and ends
// the process. (A loop that falls behind swaps ever more rarely.)

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

struct SDL_Window;

namespace {

long long NowNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

long PeakResidentKb() {
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f)
        return -1;
    char line[256];
    long kb = -1;
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, "VmHWM:", 6) == 0)
            kb = std::strtol(line + 6, nullptr, 10);
    std::fclose(f);
    return kb;
}

} // namespace

extern "C" void SDL_GL_SwapWindow(SDL_Window* window) {
    using Swap = void (*)(SDL_Window*);
    static Swap real = reinterpret_cast<Swap>(dlsym(RTLD_NEXT, "SDL_GL_SwapWindow"));
    static long swaps = 0;
    static double firstMs = 0.0;
    static long long firstNs = 0;
    real(window);
    ++swaps;
    const long long now = NowNs();
    const char* t0 = std::getenv("STARTUP_T0_NS");
    if (swaps == 1) {
        firstNs = now;
        if (t0)
            firstMs = double(now - std::atoll(t0)) / 1e6;
    }
    const char* frames = std::getenv("STARTUP_FRAMES");
    const char* seconds = std::getenv("STARTUP_SECONDS");
    if (swaps >= (frames ? std::atol(frames) : 1) ||
        (seconds && double(now - firstNs) / 1e9 >= std::atof(seconds))) {
        if (const char* out = std::getenv("STARTUP_OUT"))
            if (FILE* f = std::fopen(out, "w")) {
                std::fprintf(f, "%.3f %ld\n", firstMs, PeakResidentKb());
                std::fclose(f);
            }
        _exit(0);
    }
}
