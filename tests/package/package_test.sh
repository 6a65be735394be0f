#!/usr/bin/env bash
# The game as players install it, from the build directory given as the only
# argument, under the current X display:
#  1. `cmake --install --component Game` into a scratch prefix whose path
#     has a space, made read-only; the launcher, started through symbolic links from another
#     directory, shows the game's window with a drawn frame, SIGTERM ends it
#     with 0, and neither the tree nor that directory has changed; a copy
#     of the shipped Tiled map, changed, plays by a path relative to its
#     folder, and a broken one ends with 255 naming itself;
#  2. the desktop entry, icons and AppStream metadata of that tree pass
#     desktop-file-validate and appstreamcli;
#  3. cpack makes the Debian package (Section games, Depends computed, a
#     maintainer and a description, versions that agree) and the archive,
#     and in the same run the engine's development package;
#     lintian reports no error on the package (its warnings are printed);
#  4. the package unpacked with dpkg-deb starts the same way, and the archive
#     holds the very same tree.
# Packages go to a scratch directory; the build directory only gets what
# building and installing write there (install_manifest.txt).
set -u
build="$(cd "${1:?usage: package_test.sh <build dir>}" && pwd)"
repo="$(cd "$(dirname "$0")/../.." && pwd)"
source "$repo/tests/game/game_run.sh"
export SDL_AUDIODRIVER=dummy
# The trees are made read-only; a user other than root could not remove them.
trap 'end_game 5; chmod -R u+w "$out" 2>/dev/null; rm -rf "$out"' EXIT

source "$repo/tests/package/common.sh"

needs cpack lintian readelf desktop-file-validate appstreamcli dpkg-deb dpkg-shlibdeps xdotool import identify convert
[ -x "$build/game" ] || die "no game program in $build: build it first"
[ -f "$build/CPackConfig.cmake" ] || die "no $build/CPackConfig.cmake: configure the build"

# listing <dir>: every entry below <dir> with its type, mode and contents'
# checksum, to tell two trees apart or one tree before and after a run.
listing() {
    (cd "$1" && find . -mindepth 1 -printf '%P %y %m\n' | sort &&
        find . -type f -print0 | sort -z | xargs -0r md5sum)
}

# run_launcher <launcher> <dir> <what> [args...]: starts <launcher> with the
# args from <dir> and checks the game's window (title Game, class sailhop as
# the desktop entry expects), a drawn frame with the level's tiles and the
# font's text, and status 0 after SIGTERM. The frame is left in $shot.
run_launcher() {
    local launcher="$1" dir="$2" what="$3" background colours
    shift 3
    shot="$out/shot-$what.png"
    (cd "$dir" && exec "$launcher" "$@") >"$out/out" 2>"$out/err" &
    wait_for_window $!
    sleep 1
    alive "its class was read ($what)"
    bounded xdotool search --pid "$game_pid" --class '^sailhop$' >/dev/null ||
        fail "$what: the window's class is not sailhop, the desktop entry's name"
    on_window "the screenshot ($what)" import -window "$wid" "$shot"
    stop_cleanly "$what"
    grep -qE '^texture font: [0-9]+$' "$out/out" || fail "$what: no 'texture font: ' line on stdout"
    # The share of the picture in the clear colour, and the colours in all:
    # a frame with nothing drawn is one colour.
    background=$(bounded convert "$shot" -alpha off -fill black +opaque 'srgb(38,46,51)' \
        -fill white -opaque 'srgb(38,46,51)' -format '%[fx:int(100*mean)]' info:)
    colours=$(bounded identify -format '%k' "$shot")
    [ "${background:-100}" -lt 90 ] && [ "${colours:-0}" -gt 100 ] ||
        fail "$what: nothing drawn: ${background}% of the frame is the clear colour, $colours colours"
    echo "ok: $what: window, frame drawn (${background}% clear colour, $colours colours), status 0"
}

# check_tree <prefix> <what>: read-only, started through a relative link to
# an absolute one, from an empty directory elsewhere; nothing may change.
check_tree() {
    local prefix="$1" what="$2" elsewhere="$out/elsewhere $2" links="$out/links $2"
    [ -x "$prefix/games/sailhop" ] || die "$what: no games/sailhop"
    chmod -R a-w "$prefix"
    listing "$prefix" >"$out/before"
    mkdir "$elsewhere" "$links" "$links/bin"
    ln -s "$prefix/games/sailhop" "$links/sailhop"
    ln -s ../sailhop "$links/bin/sailhop"
    run_launcher "$links/bin/sailhop" "$elsewhere" "$what"
    listing "$prefix" >"$out/after"
    cmp -s "$out/before" "$out/after" || die "$what: the run changed the installed tree:
$(diff "$out/before" "$out/after" | head -n 10)"
    [ -z "$(ls -A "$elsewhere")" ] || die "$what: the run wrote into its working directory: $(ls -A "$elsewhere")"
}

# 1. The install tree.
prefix="$out/pre fix"
timeout -k 5 120 cmake --install "$build" --component Game --prefix "$prefix" >"$out/install.log" 2>&1 ||
    die "cmake --install failed" "$out/install.log"
{
    printf '%s\n' games/sailhop lib/sailhop/sailhop share/applications/sailhop.desktop \
        share/man/man6/sailhop.6.gz share/doc/sailhop/copyright share/doc/sailhop/changelog.gz
    for size in 48 64 128 256; do echo "share/icons/hicolor/${size}x${size}/apps/sailhop.png"; done
    (cd "$repo" && find Assets -type f | sed 's|^|share/sailhop/|')
} | sort >"$out/expected"
(cd "$prefix" && find . -type f -o -type l) | sed 's|^\./||' | grep -v '^share/metainfo/' | sort \
    >"$out/installed"
cmp -s "$out/expected" "$out/installed" ||
    die "the installed files are not the expected ones (< expected, > installed):
$(diff "$out/expected" "$out/installed")"
# Hardened as Debian's own packages are (the game reads maps from anywhere).
game_elf="$prefix/lib/sailhop/sailhop"
readelf -d "$game_elf" | grep -q 'BIND_NOW' || die "the game is not linked with -z now"
readelf -W --dyn-syms "$game_elf" | grep -q '__stack_chk_fail' || die "the game has no stack protector"
# Fortified calls need the optimiser, so a Debug build has none.
case $(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt") in
Release | RelWithDebInfo | MinSizeRel)
    readelf -W --dyn-syms "$game_elf" | grep -qE '__[a-z]+_chk@' ||
        die "the game calls no fortified functions"
    ;;
esac
metainfo=("$prefix"/share/metainfo/*.metainfo.xml)
[ ${#metainfo[@]} -eq 1 ] && [ -f "${metainfo[0]}" ] || die "not one metainfo file: ${metainfo[*]}"
while IFS= read -r asset; do
    cmp -s "$repo/$asset" "$prefix/share/sailhop/$asset" || die "installed $asset differs from the repository's"
done < <(cd "$repo" && find Assets -type f)
# The font's licence travels in the copyright file, word for word.
# licence_text <name> <file>: the text of a "License: <name>" line's paragraph.
licence_text() {
    awk -v name="License: $1" '/^License: /{p = ($0 == name); next} /^$/{p = 0} p' "$2"
}
licence_text bitstream-vera "$repo/Assets/SGK100.LICENSE" >"$out/font-licence"
[ -s "$out/font-licence" ] || die "no licence text in Assets/SGK100.LICENSE"
licence_text Bitstream-Vera "$prefix/share/doc/sailhop/copyright" >"$out/copyright-licence"
cmp -s "$out/font-licence" "$out/copyright-licence" ||
    die "share/doc/sailhop/copyright does not carry the font's licence (a 'License: Bitstream-Vera' paragraph as in Assets/SGK100.LICENSE)"
zcat "$prefix/share/man/man6/sailhop.6.gz" | grep -q '^\.TH SAILHOP 6 ' || die "the manual page is not sailhop(6)"

bounded "$prefix/games/sailhop" --help >"$out/usage" 2>&1
code=$?
# The usage names the command the player typed, not the build tree's program.
[ "$code" -eq 0 ] && grep -q '^usage: sailhop \[--fullscreen\] \[LEVEL\]' "$out/usage" ||
    die "'sailhop --help' gave status $code, not 0 with a usage line naming sailhop: $(head -n 1 "$out/usage")"

check_tree "$prefix" "install tree"

# A level designer's copy of the shipped map, changed (every empty cell made
# brick), played by a path relative to its folder; a broken one ends with
# status 255 and the broken-level message naming it.
maps="$out/my maps"
mkdir "$maps"
cp "$prefix/share/sailhop/Assets/tiles.tsx" "$prefix/share/sailhop/Assets/tiles.png" "$maps/"
sed -E '/^[0-9,]+$/ s/(^|,)0(,|$)/\15\2/g; /^[0-9,]+$/ s/(^|,)0(,|$)/\15\2/g' \
    "$prefix/share/sailhop/Assets/level1.tmx" >"$maps/mine.tmx"
run_launcher "$prefix/games/sailhop" "$maps" "a map by a relative path" mine.tmx
brick=$(bounded convert "$shot" -fuzz 6% -fill white -opaque '#A64C38' -fill black +opaque white \
    -format '%[fx:mean]' info:)
awk -v b="$brick" 'BEGIN { exit !(b > 0.08) }' || die "the changed map is not what shows: brick covers $brick"
sed 's/^3,/99,/' "$maps/mine.tmx" >"$maps/broken.tmx"
(cd "$maps" && SDL_AUDIODRIVER=dummy timeout -k 5 60 "$prefix/games/sailhop" broken.tmx) >/dev/null 2>"$out/err"
code=$?
last=$(tail -n1 "$out/err")
[ "$code" -eq 255 ] && [[ "$last" == *"Could not load level file $maps/broken.tmx: "* ]] ||
    die "a broken map by a relative path: status $code, last line $last"
echo "ok: a map by a relative path shows (brick covers $brick); a broken one names itself"

# 2. Desktop entry, icons, AppStream metadata, as installed.
desktop="$prefix/share/applications/sailhop.desktop"
report=$(bounded desktop-file-validate "$desktop" 2>&1) && [ -z "$report" ] ||
    die "desktop-file-validate: $report"
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
[ "$exec_line" = sailhop ] || die "the desktop entry runs '$exec_line', not the launcher sailhop"
icon=$(sed -n 's/^Icon=//p' "$desktop")
for size in 48 64 128 256; do
    file="$prefix/share/icons/hicolor/${size}x${size}/apps/$icon.png"
    [ -f "$file" ] || die "no ${size}px icon for Icon=$icon"
    got=$(bounded identify -format '%m %wx%h' "$file")
    [ "$got" = "PNG ${size}x${size}" ] || die "$file is '$got', not a ${size}x${size} PNG"
done
report=$(bounded appstreamcli validate --no-net --strict "${metainfo[0]}" 2>&1) ||
    die "appstreamcli validate: $report"
echo "appstreamcli validate: $report"
# The tree as a whole: the metadata's launchable is the installed desktop entry.
report=$(bounded appstreamcli validate-tree --no-net --strict "$prefix" 2>&1) ||
    die "appstreamcli validate-tree: $report"
echo "ok: desktop-file-validate and appstreamcli pass"

# 3. The packages.
mkdir "$out/pkg"
(cd "$out/pkg" && timeout -k 5 240 cpack -G "DEB;TGZ" --config "$build/CPackConfig.cmake" -B "$out/pkg") \
    >"$out/cpack.log" 2>&1 || die "cpack failed" "$out/cpack.log"
debs=("$out"/pkg/sailhop_*.deb)
tgzs=("$out"/pkg/sailhop-*.tar.gz)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || die "cpack made no sailhop_*.deb" "$out/cpack.log"
[ ${#tgzs[@]} -eq 1 ] && [ -f "${tgzs[0]}" ] || die "cpack made no sailhop-*.tar.gz" "$out/cpack.log"
deb="${debs[0]}"
# The same run makes the engine's development package (checked by
# dev_package_test.sh); the game's does not depend on it.
devs=("$out"/pkg/libkeel-dev_*.deb)
[ ${#devs[@]} -eq 1 ] && [ -f "${devs[0]}" ] || die "the same cpack run made no libkeel-dev_*.deb" "$out/cpack.log"
field() { dpkg-deb -f "$deb" "$1"; }
field Depends | grep -q libkeel && die "the game's package depends on the engine's: $(field Depends)"
[ "$(field Package)" = sailhop ] || die "package name '$(field Package)'"
[ "$(field Section)" = games ] || die "Section '$(field Section)', not games"
field Maintainer | grep -qE '^[^<]+ <[^@ ]+@[^> ]+>$' || die "Maintainer '$(field Maintainer)'"
# dpkg-shlibdeps found the libraries the program links.
field Depends | grep -q 'libsdl2-2\.0-0' || die "Depends '$(field Depends)' does not name SDL2"
[ "$(field Description | wc -l)" -ge 3 ] || die "Description has no long part: $(field Description)"
version=$(field Version)
release=$(grep -o -m1 '<release version="[^"]*"' "${metainfo[0]}" | cut -d'"' -f2)
logged=$(zcat "$prefix/share/doc/sailhop/changelog.gz" | sed -n '1s/^sailhop (\([^)]*\)).*/\1/p')
[ "$release" = "$version" ] && [ "$logged" = "$version" ] ||
    die "versions disagree: package $version, metainfo release $release, changelog $logged"

timeout -k 5 120 lintian "$deb" >"$out/lintian.log" 2>&1
code=$?
grep -E '^W: ' "$out/lintian.log"
if grep -qE '^E: ' "$out/lintian.log" || [ "$code" -ne 0 ]; then
    die "lintian: status $code" "$out/lintian.log"
fi
echo "ok: $(basename "$deb"): Section games, Depends: $(field Depends); lintian: no errors"

# 4. The package's own files, unpacked; the archive, the same tree.
root="$out/deb root"
bounded dpkg-deb -x "$deb" "$root" || die "dpkg-deb -x failed"
mkdir "$out/tgz"
bounded tar -xzf "${tgzs[0]}" -C "$out/tgz" || die "the archive does not unpack"
tops=("$out"/tgz/*)
[ ${#tops[@]} -eq 1 ] && [ -d "${tops[0]}" ] || die "the archive has not one top directory"
listing "$root/usr" >"$out/deb-tree"
listing "${tops[0]}" >"$out/tgz-tree"
cmp -s "$out/deb-tree" "$out/tgz-tree" ||
    die "the archive's tree differs from the package's (< package, > archive):
$(diff "$out/deb-tree" "$out/tgz-tree" | head -n 20)"
(cd "$root/usr" && find . -type f -o -type l) | sed 's|^\./||' | grep -v '^share/metainfo/' | sort \
    >"$out/packaged"
cmp -s "$out/installed" "$out/packaged" || die "the package's files are not the install tree's:
$(diff "$out/installed" "$out/packaged")"
check_tree "$root/usr" "package"
echo "ok"
