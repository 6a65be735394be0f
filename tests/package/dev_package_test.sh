#!/usr/bin/env bash
# The Debian development package, from the build directory given as the only
# argument, under the current X display:
#  1. cpack makes libkeel-dev alone (the Development component): Section
#     libdevel, Depends naming the -dev packages of the engine's libraries by
#     hand and not the game; lintian reports no error and no warning;
#  2. unpacked with dpkg-deb, it holds the headers, the libraries, the CMake and
#     pkg-config files, the reference, the copyright file and the examples with
#     their assets, and nothing of the game;
#  3. the examples configure from the unpacked tree (the Tiled map reader
#     asked for as a component); one builds and runs with its own assets
#     (tests/examples/example_run.sh).
set -u
build="$(cd "${1:?usage: dev_package_test.sh <build dir>}" && pwd)"
repo="$(cd "$(dirname "$0")/../.." && pwd)"
export SDL_AUDIODRIVER=dummy
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

source "$repo/tests/package/common.sh"
needs cpack lintian dpkg-deb cmake xdotool import
[ -f "$build/CPackConfig.cmake" ] || die "no $build/CPackConfig.cmake: configure the build"
[ -f "$build/keel/reference/html/index.html" ] || die "no reference in $build: build the docs target"

# 1. The package and its fields.
mkdir "$out/pkg"
(cd "$out/pkg" && timeout -k 5 240 cpack -G DEB -D CPACK_COMPONENTS_ALL=Development \
    --config "$build/CPackConfig.cmake" -B "$out/pkg") >"$out/cpack.log" 2>&1 ||
    die "cpack failed" "$out/cpack.log"
debs=("$out"/pkg/libkeel-dev_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || die "cpack made no libkeel-dev_*.deb" "$out/cpack.log"
deb="${debs[0]}"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Section)" = libdevel ] || die "Section '$(field Section)', not libdevel"
depends=$(field Depends)
for dev in libsdl2-dev libglew-dev libgl-dev libfreetype-dev libfontconfig-dev libglm-dev libstb-dev \
    pkg-config libpugixml-dev zlib1g-dev libzstd-dev nlohmann-json3-dev; do
    echo "$depends" | grep -qE "(^|, )$dev(,|$| )" || die "Depends '$depends' lacks $dev"
done
echo "$depends" | grep -q sailhop && die "Depends '$depends' names the game"
[ "$(field Description | wc -l)" -ge 3 ] || die "Description has no long part: $(field Description)"
timeout -k 5 120 lintian "$deb" >"$out/lintian.log" 2>&1
code=$?
if grep -qE '^[EW]: ' "$out/lintian.log" || [ "$code" -ne 0 ]; then
    die "lintian: status $code, errors or warnings" "$out/lintian.log"
fi
echo "ok: $(basename "$deb"): Depends: $depends; lintian: no errors, no warnings"

# 2. Its files.
root="$out/root"
timeout 60 dpkg-deb -x "$deb" "$root" || die "dpkg-deb -x failed"
doc="$root/usr/share/doc/libkeel-dev"
for file in usr/include/keel/engine/core/Engine.h usr/include/keel/engine/render/Shader.h \
    usr/include/keel/engine/tiled/TiledTileMap.h \
    usr/share/doc/libkeel-dev/copyright usr/share/doc/libkeel-dev/html/index.html \
    usr/share/doc/libkeel-dev/examples/README.md; do
    [ -f "$root/$file" ] || die "the package has no /$file"
done
for file in libkeel.a libkeel-tiled.a cmake/Keel/KeelConfig.cmake cmake/Keel/KeelTiledTargets.cmake \
    pkgconfig/keel.pc pkgconfig/keel-tiled.pc; do
    [ -n "$(find "$root/usr/lib" -path "*/$file")" ] || die "the package has no $file"
done
diff <(cd "$repo/examples" && find . -type f ! -name '.*' | sort) \
    <(cd "$doc/examples" && find . -type f | sort) >"$out/examples.diff" ||
    die "the packaged examples are not the repository's (< repository, > package): $(cat "$out/examples.diff")"
[ -z "$(find "$root" -path '*sailhop*')" ] || die "the package holds the game's files"

# 3. One example from the unpacked package, against it.
timeout -k 5 60 cmake -S "$doc/examples" -B "$out/example" -DCMAKE_PREFIX_PATH="$root/usr" \
    >"$out/configure.log" 2>&1 || die "the packaged examples do not configure" "$out/configure.log"
grep -q "Keel_DIR:PATH=$root/usr/" "$out/example/CMakeCache.txt" ||
    die "find_package(Keel) found another engine: $(grep Keel_DIR "$out/example/CMakeCache.txt")"
timeout -k 5 180 cmake --build "$out/example" --target fonts_and_text >"$out/build.log" 2>&1 ||
    die "fonts_and_text does not build from the package" "$out/build.log"
"$repo/tests/examples/example_run.sh" fonts_and_text "$out/example/fonts_and_text" ||
    die "the example built from the package does not run"
echo "ok"
