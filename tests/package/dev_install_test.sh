#!/usr/bin/env bash
# The engine as developers install it, from the build directory given as the
# only argument, under the current X display:
#  1. `cmake --install --component Development` into a scratch prefix lays out
#     the public headers under include/keel, libkeel.a and libkeel-tiled.a,
#     the CMake package, keel.pc and keel-tiled.pc, the reference, the
#     examples and the sanitizer files, and nothing of the game; the libraries link into a shared
#     library;
#  2. the prefix is moved elsewhere; the installed examples, configured there
#     as a project of their own against the moved prefix (the Tiled map reader
#     asked for as a component), have a target each, two build, and one runs with its own assets
#     (tests/examples/example_run.sh); find_package(Keel) without components
#     looks for none of the map reader's libraries, and with them missing
#     leaves an optional component out and names them for a required one;
#  3. a short program built with `pkg-config --cflags --libs keel-tiled` (which
#     brings keel) and one plain compiler call, with the sanitizer builds'
#     dlclose that pkg-config's sanitizerdir names, reads a Tiled map, opens
#     the engine's window, draws a frame and ends 0;
#  4. a project that adds this tree with add_subdirectory gets Keel::engine and
#     Keel::tiled and none of the game, examples, tests or tools (configured
#     only).
# Compiles on both cores; about 20 s.
set -u
build="$(cd "${1:?usage: dev_install_test.sh <build dir>}" && pwd)"
repo="$(cd "$(dirname "$0")/../.." && pwd)"
export SDL_AUDIODRIVER=dummy
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

source "$repo/tests/package/common.sh"
needs cmake pkg-config c++ xdotool import
jobs=$(nproc)

# 1. The install tree.
prefix="$out/prefix"
timeout -k 5 120 cmake --install "$build" --component Development --prefix "$prefix" --strip \
    >"$out/install.log" 2>&1 || die "cmake --install --component Development failed" "$out/install.log"
arch=$(ls "$prefix/lib")
libdir="lib/$arch"
[ "$arch" = lib ] && libdir=lib
for file in "$libdir/libkeel.a" "$libdir/libkeel-tiled.a" "$libdir/cmake/Keel/KeelConfig.cmake" \
    "$libdir/cmake/Keel/KeelConfigVersion.cmake" "$libdir/cmake/Keel/KeelTargets.cmake" \
    "$libdir/cmake/Keel/KeelTiledTargets.cmake" "$libdir/pkgconfig/keel.pc" \
    "$libdir/pkgconfig/keel-tiled.pc" include/keel/engine/core/Engine.h \
    include/keel/engine/tiled/TiledMap.h share/doc/libkeel-dev/examples/assets/platformer.tmx \
    share/doc/libkeel-dev/copyright share/doc/libkeel-dev/changelog.gz \
    share/doc/libkeel-dev/html/index.html share/doc/libkeel-dev/examples/CMakeLists.txt \
    share/doc/libkeel-dev/examples/assets/sans.ttf share/keel/sanitizers/lsan.supp \
    share/keel/sanitizers/lsan_keep_libraries.cpp; do
    [ -f "$prefix/$file" ] || die "the install has no $file"
done
# The public headers and only they: what engine/include holds.
diff <(cd "$repo/engine/include" && find engine -name '*.h' | sort) \
    <(cd "$prefix/include/keel" && find . -type f | sed 's|^\./||' | sort) >"$out/headers" ||
    die "the installed headers are not the public ones (< public, > installed): $(cat "$out/headers")"
# Nothing generic in the prefix's shared folders, nothing of the game.
stray=$(cd "$prefix" && find . -type f | grep -vE "^\./(include/keel/|$libdir/(libkeel(-tiled)?\.a|cmake/Keel/|pkgconfig/keel(-tiled)?\.pc)|share/doc/libkeel-dev/|share/keel/sanitizers/)")
[ -z "$stray" ] || die "files outside the engine's own places: $stray"
# Debug information stripped, symbols kept: the library still links below.
nm -A "$prefix/$libdir/libkeel.a" 2>/dev/null | grep -q ' T .*Engine.*Start' ||
    die "libkeel.a has no Engine::Start symbol"
nm -A "$prefix/$libdir/libkeel-tiled.a" 2>/dev/null | grep -q ' T .*Tiled.*Load' ||
    die "libkeel-tiled.a has no Tiled::Load symbol"
# Position-independent: a game built as a shared library can link the kit.
timeout -k 5 60 c++ -shared -o "$out/plugin.so" -Wl,--whole-archive "$prefix/$libdir/libkeel.a" \
    "$prefix/$libdir/libkeel-tiled.a" -Wl,--no-whole-archive >"$out/shared.log" 2>&1 ||
    die "the kit's libraries do not link into a shared library" "$out/shared.log"
echo "ok: installed ($(du -sk "$prefix" | cut -f1) KiB)"

# 2. Moved, then the examples as a project of their own.
moved="$out/elsewhere/keel"
mkdir -p "$out/elsewhere"
mv "$prefix" "$moved"
examples="$moved/share/doc/libkeel-dev/examples"
timeout -k 5 60 cmake -S "$examples" -B "$out/examples" -DCMAKE_PREFIX_PATH="$moved" \
    >"$out/configure.log" 2>&1 ||
    die "the examples do not configure against the moved prefix" "$out/configure.log"
grep -q "Keel_DIR:PATH=$moved/" "$out/examples/CMakeCache.txt" ||
    die "find_package(Keel) found another engine than the moved one: $(grep Keel_DIR "$out/examples/CMakeCache.txt")"
# The map reader's libraries are looked for only when it is asked for; when
# they are missing, an optional component is left out and a required one
# names them.
mkdir "$out/probe"
cat >"$out/probe/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.20)
project(probe CXX)
find_package(Keel CONFIG REQUIRED)
if(NOT EXISTS "${Keel_SANITIZER_DIR}/lsan_keep_libraries.cpp")
    message(FATAL_ERROR "Keel_SANITIZER_DIR is not where the sanitizer files went")
endif()
if(TARGET Keel::tiled OR TARGET pugixml::pugixml)
    message(FATAL_ERROR "find_package(Keel) without components loads the map reader")
endif()
set(CMAKE_DISABLE_FIND_PACKAGE_pugixml ON)
find_package(Keel CONFIG QUIET OPTIONAL_COMPONENTS tiled)
if(NOT Keel_FOUND OR Keel_tiled_FOUND OR TARGET Keel::tiled)
    message(FATAL_ERROR "without pugixml, the optional component fails the package or is found")
endif()
find_package(Keel CONFIG QUIET COMPONENTS tiled)
if(Keel_FOUND OR NOT Keel_NOT_FOUND_MESSAGE MATCHES "pugixml")
    message(FATAL_ERROR "without pugixml, the tiled component is found or its message names nothing")
endif()
CMAKE
timeout -k 5 60 cmake -S "$out/probe" -B "$out/probe/build" -DCMAKE_PREFIX_PATH="$moved" \
    >"$out/probe.log" 2>&1 || die "find_package(Keel) and its tiled component" "$out/probe.log"
# Every example has its target; two build, one with the map reader, as all of
# them already built in the tree against the same public headers.
targets=$(timeout 30 cmake --build "$out/examples" --target help | sed -n 's/^\.\.\. //p')
for source in "$examples"/*.cpp; do
    name=$(basename "$source" .cpp)
    grep -qx "$name" <<<"$targets" || die "the installed examples have no target $name"
done
start=$SECONDS
timeout -k 5 240 cmake --build "$out/examples" -j"$jobs" --target gamepad_sprite tiled_world \
    >"$out/build.log" 2>&1 || die "the examples do not build against the moved prefix" "$out/build.log"
echo "ok: $(ls "$examples"/*.cpp | wc -l) example targets; two built against the moved prefix in $((SECONDS - start)) s"
"$repo/tests/examples/example_run.sh" gamepad_sprite "$out/examples/gamepad_sprite" ||
    die "the example built against the moved prefix does not run"

# 3. pkg-config and a plain compiler call.
cat >"$out/hello.cpp" <<'CPP'
#include <cstdio>
#include <engine/core/Engine.h>
#include <engine/tiled/TiledMap.h>
int main() {
    const Engine::Tiled::Map map = Engine::Tiled::Parse(
        "<map version=\"1.8\" orientation=\"orthogonal\" renderorder=\"right-down\" width=\"3\" "
        "height=\"1\" tilewidth=\"8\" tileheight=\"8\" infinite=\"0\"><layer id=\"1\" name=\"a\" "
        "width=\"3\" height=\"1\"><data encoding=\"csv\">0,0,0</data></layer></map>",
        "hello.tmx");
    std::printf("map of %d x %d cells\n", map.width, map.height);
    Engine::Engine engine(320, 240, "pkg-config");
    engine.InitializeGraphicsSubSystem();
    engine.Start();
    engine.Render();
    engine.Shutdown();
    return 0;
}
CPP
flags=$(PKG_CONFIG_PATH="$moved/$libdir/pkgconfig" pkg-config --cflags --libs keel-tiled) ||
    die "pkg-config does not know keel-tiled from $moved/$libdir/pkgconfig"
sanitizers=$(PKG_CONFIG_PATH="$moved/$libdir/pkgconfig" pkg-config --variable=sanitizerdir keel)
[ -f "$sanitizers/lsan.supp" ] || die "pkg-config's sanitizerdir ($sanitizers) holds no lsan.supp"
# With the dlclose a sanitizer build takes, which must compile as C++ (and does nothing else).
# shellcheck disable=SC2086
timeout -k 5 120 c++ "$out/hello.cpp" "$sanitizers/lsan_keep_libraries.cpp" -o "$out/hello" \
    $flags -Wall -Wextra -Werror >"$out/cc.log" 2>&1 ||
    die "c++ hello.cpp \$(pkg-config --cflags --libs keel-tiled) failed" "$out/cc.log"
timeout -k 5 20 "$out/hello" >"$out/hello.log" 2>&1 || die "the pkg-config program failed" "$out/hello.log"
grep -q "map of 3 x 1 cells" "$out/hello.log" || die "the pkg-config program read no map" "$out/hello.log"
grep -q "Window created" "$out/hello.log" || die "the pkg-config program opened no window" "$out/hello.log"
echo "ok: pkg-config program built and ran"

# 4. add_subdirectory: the engine alone.
mkdir "$out/sub"
cp "$out/hello.cpp" "$out/sub/main.cpp"
cat >"$out/sub/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.20)
project(sub CXX)
add_subdirectory("$repo" keel)
add_executable(app main.cpp)
target_link_libraries(app PRIVATE Keel::engine Keel::tiled)
CMAKE
timeout -k 5 60 cmake -S "$out/sub" -B "$out/sub/build" >"$out/sub.log" 2>&1 ||
    die "a project adding the tree does not configure" "$out/sub.log"
targets=$(timeout 30 cmake --build "$out/sub/build" --target help | sed -n 's/^\.\.\. //p' |
    grep -vE '^(all|clean|depend|edit_cache|rebuild_cache)|\.(o|i|s)$' | sort | tr '\n' ' ')
[ "$targets" = "app engine engine_tiled " ] || die "a project adding the tree gets the targets: $targets"
echo "ok"
