#!/usr/bin/env bash
# Runs one example under the current X display and checks what it shows:
#   example_run.sh <case> <binary>
# Every case: the window has the example's title and size, a frame is drawn
# (many colours, little of it the clear colour); the animated ones' frame
# keeps changing, for those that move only when steered while keys are held;
# SIGTERM ends the program with status 0. Case-specific checks are below.
# The examples' data and config folders are the run's own, never the home's.
# Every wait is bounded; a program that exits early or shows no window fails
# the script in seconds.
set -u

case_name="${1:-}"
bin="${2:-}"
[ -n "$case_name" ] && [ -n "$bin" ] || { echo "usage: $0 <case> <binary>"; exit 2; }
case "$bin" in /*) ;; *) bin="$PWD/$bin" ;; esac
[ -x "$bin" ] || { echo "FAIL: $bin is not an executable"; exit 1; }
[ -n "${DISPLAY:-}" ] || { echo "FAIL: no X display (DISPLAY unset); run under xvfb-run"; exit 1; }

# <title> <width>x<height> <animated: yes or no> [keys held while it should change]
keys=""
case "$case_name" in
falling_boxes) title='Falling boxes' size=1280x720 animated=yes ;;
fonts_and_text) title='Fonts and text' size=960x540 animated=yes ;;
sprite_animation) title='Sprite animation' size=800x450 animated=yes ;;
audio_keys) title='Audio' size=800x450 animated=yes ;;
custom_system) title='Custom system' size=800x600 animated=yes ;;
tiled_platformer) title='Tiled platformer' size=960x540 animated=yes keys=Right ;;
gamepad_sprite) title='Gamepad' size=800x450 animated=yes keys=Right ;;
breakout) title='Breakout' size=800x600 animated=yes keys=space ;;
shapes_and_input) title='Shapes and input' size=960x700 animated=yes keys=space ;;
many_sprites) title='Many sprites' size=1280x720 animated=yes keys=space ;;
pixel_art) title='Pixel art' size=1280x720 animated=yes ;;
tiled_world) title='Tiled world' size=960x540 animated=yes ;;
camera_2d) title='Camera 2D' size=1280x720 animated=yes ;;
life) title='Life' size=1280x720 animated=yes ;;
effects) title='Effects' size=1280x720 animated=yes ;;
scenes) title='Scenes' size=960x540 animated=yes keys=space ;;
roguelike) title='Roguelike' size=1280x720 animated=yes keys=Right ;;
*) echo "FAIL: no case '$case_name'"; exit 2 ;;
esac
width=${size%x*}

# Examples find their assets by an absolute path; they may start anywhere.
out=$(mktemp -d)
cd "$out" || exit 1
pid=""
held=""
cleanup() {
    # A key left down on the display would reach whatever runs there next.
    [ -n "$held" ] && timeout 5 xdotool keyup $held 2>/dev/null
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
        kill -KILL "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    fi
    rm -rf "$out"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $case_name: $*"
    echo "--- stderr of the example"
    cat "$out/err"
    exit 1
}
alive() { kill -0 "$pid" 2>/dev/null; }
# Fails with the status of an example that ended by itself; $1 says when.
ended() {
    wait "$pid"
    local status=$?
    pid=""
    fail "the example exited with status $status $1"
}
# X and ImageMagick calls, bounded like every other wait.
x() { timeout 5 xdotool "$@" 2>/dev/null; }
im() { timeout 10 "$@" 2>/dev/null; }
# A screenshot reads the screen: other tests' windows on the display may cover
# the example's, so it is raised first and given time to draw again.
shot() {
    x windowraise "$wid"
    sleep "$1"
    timeout 10 import -window "$wid" "$2" 2>/dev/null
}
# share <image> <crop> <fx test on a pixel>: the share of the crop's pixels
# for which the test holds, from every second pixel across and down: -fx is
# slow, and a whole crop cost seconds of processor time.
share() {
    im convert "$1" -crop "$2" +repage -sample 50% -alpha off -fx "$3" -colorspace gray \
        -format '%[fx:mean]' info:
}
above() { awk -v v="${1:-x}" -v t="$2" 'BEGIN { exit !(v ~ /^[0-9.e+-]+$/ && v + 0 > t) }'; }
below() { awk -v v="${1:-x}" -v t="$2" 'BEGIN { exit !(v ~ /^[0-9.e+-]+$/ && v + 0 < t) }'; }

CLEAR='srgb(38,46,51)'

SDL_AUDIODRIVER=dummy XDG_DATA_HOME="$out/data" XDG_CONFIG_HOME="$out/config" \
    "$bin" >"$out/out" 2>"$out/err" &
pid=$!

# Waits end at a deadline on the clock, not after a count of tries.
wid=""
deadline=$((SECONDS + 10))
while [ "$SECONDS" -lt "$deadline" ]; do
    alive || ended "before showing a window"
    wid=$(x search --pid "$pid" --name "^$title\$" | head -n1)
    [ -n "$wid" ] && break
    sleep 0.2
done
[ -n "$wid" ] || fail "no window titled '$title' within 10 s"

# The view is the size the program asks for.
geometry=$(x getwindowgeometry "$wid" | sed -n 's/.*Geometry: //p')
[ "$geometry" = "$size" ] || fail "window is '$geometry', not $size"

# need <image> <crop> <fx test> above|below <limit> <what is missing>: the
# share of the crop's pixels passing the test is past the limit; sets why and
# returns non-zero if not.
need() {
    local v
    v=$(share "$1" "$2" "$3")
    "$4" "$v" "$5" || { why="$6 (share ${v:-?})"; return 1; }
}

# What the case must show in a frame; sets why and returns non-zero if not.
# White is text (or the audio example's bar), the only white anything draws.
white='r>0.94&&g>0.94&&b>0.94'
green='g>r+0.15&&g>b+0.15'
# The walker's body; not the crates, dirt, wood or flowers around it.
orange='r>0.6&&g<r-0.3&&b<0.3'
# Strong colours: breakout's bricks; not the clear colour, greys or white.
vivid='max(r,max(g,b))-min(r,min(g,b))>0.4'
clear='abs(r-38/255)<0.01&&abs(g-46/255)<0.01&&abs(b-51/255)<0.01'
case_shows() {
    local img="$1" v
    case "$case_name" in
    falling_boxes)
        # The dirt along the bottom, the white counter in the corner.
        v=$(im convert "$img" -crop 1280x40+0+670 +repage -fill white -opaque "$CLEAR" \
            -fill black +opaque white -format '%[fx:mean]' info:)
        below "$v" 0.1 || { why="the bottom is ${v:-?} clear colour: no floor"; return 1; }
        need "$img" 480x80+0+0 "$white" above 0.005 "no white counter text in the top-left corner" ;;
    fonts_and_text)
        # The large title, and the guide line at the centre.
        need "$img" 520x60+30+30 "$white" above 0.05 "no title text" &&
            need "$img" 2x100+479+340 "$white" above 0.9 "no guide line at the view's centre" ;;
    sprite_animation)
        # Grass along the row where the floor is, the orange walker above it.
        need "$img" 800x10+0+352 "$green" above 0.3 "no grass floor" &&
            need "$img" 800x100+0+260 'r>0.6&&r>g+0.2&&r>b+0.4' above 0.001 "no orange walker" ;;
    audio_keys)
        # The key labels, and the tune's position bar growing from the left.
        need "$img" 300x200+80+180 "$white" above 0.003 "no key labels" &&
            need "$img" 720x12+40+400 "$white" above 0.01 "no position bar: the tune does not play" ;;
    custom_system)
        # Blue balls all over the window, the white counter at the top.
        need "$img" 800x560+0+40 'b>0.5&&b>r+0.3' above 0.02 "no balls" &&
            need "$img" 300x50+0+0 "$white" above 0.005 "no counter text" ;;
    tiled_platformer)
        # The map's grass along the ground and up the hill past the crates (its
        # ramps' tiles), the walker at its start, the help text.
        need "$img" 960x30+0+400 "$green" above 0.1 "no grass on the ground" &&
            need "$img" 120x28+740+350 "$green" above 0.1 "no grassy hill past the crates" &&
            need "$img" 100x80+60+340 "$orange" above 0.03 "no walker at the start" &&
            need "$img" 400x40+0+0 "$white" above 0.005 "no help text" ;;
    gamepad_sprite)
        # The title and the pad count, the walker in the middle.
        need "$img" 300x120+20+20 "$white" above 0.03 "no title text" &&
            need "$img" 120x120+340+205 "$orange" above 0.015 "no walker in the middle" ;;
    breakout)
        # The wall of bricks, the score, the grey paddle at the bottom.
        need "$img" 756x164+22+80 "$vivid" above 0.75 "no wall of bricks" &&
            need "$img" 200x40+0+0 "$white" above 0.01 "no score text" &&
            need "$img" 800x14+0+556 'abs(r-0.78)<0.05&&abs(g-r)<0.02&&abs(b-r)<0.02' above 0.1 \
                "no paddle" ;;
    shapes_and_input)
        # The title, the blue rectangle, the red disc.
        need "$img" 400x40+10+10 "$white" above 0.05 "no title text" &&
            need "$img" 120x70+20+98 'b>0.9&&r<0.5' above 0.9 "no filled rectangle" &&
            need "$img" 40x40+60+200 'r>0.9&&g<0.1&&b<0.1' above 0.9 "no disc" ;;
    many_sprites)
        # The counter on its dark band, a thousand balls thrown about below it.
        need "$img" 400x40+0+0 "$white" above 0.02 "no counter text" &&
            need "$img" 400x100+440+230 "!($clear)" above 0.05 "no balls" ;;
    pixel_art)
        # The grass of the path four window pixels a picture pixel, the caption.
        need "$img" 900x12+0+600 "$green" above 0.9 "no grass along the path, scaled" &&
            need "$img" 600x40+0+0 "$white" above 0.02 "no caption text" ;;
    tiled_world)
        # The maps' sky and grass where the view starts, the caption on its band.
        need "$img" 960x200+0+60 "$clear" below 0.05 "no map's sky at the top of the view" &&
            need "$img" 960x80+0+320 "$green" above 0.04 "no grass along the ground" &&
            need "$img" 600x30+0+0 "$white" above 0.02 "no caption text" ;;
    camera_2d)
        # The world's ground, the help text, the world's gold border on the minimap.
        need "$img" 300x120+40+560 'abs(r-44/255)<0.01&&abs(g-62/255)<0.01&&abs(b-58/255)<0.01' \
            above 0.3 "no world ground through the camera" &&
            need "$img" 700x56+8+4 "$white" above 0.03 "no help text" &&
            need "$img" 260x196+1006+14 'r>0.9&&g>0.7&&b<0.1' above 0.03 "no minimap" ;;
    life)
        # Living cells over the whole field, four window pixels a cell, the caption.
        need "$img" 1280x640+0+60 "$green" above 0.03 "no living cells" &&
            need "$img" 600x40+0+0 "$white" above 0.02 "no caption text" ;;
    effects)
        # The harbour's water, bright sparks in their dark panel, the list's
        # lines in theirs and none of them below it, where the scissor ends.
        need "$img" 600x80+40+330 'b>0.35&&r<0.3' above 0.5 "no harbour drawn through the shader" &&
            need "$img" 580x360+680+50 'r>0.8&&g>0.6' above 0.001 "no glowing sparks" &&
            need "$img" 560x200+690+450 "$white" above 0.02 "no lines in the list" &&
            need "$img" 580x14+680+673 "$clear" above 0.99 "the list reaches past its panel" ;;
    scenes)
        # The title's gold name and white prompt, and no basket: the title scene.
        need "$img" 600x80+180+130 'r>0.9&&g>0.7&&b<0.1' above 0.05 "no gold title" &&
            need "$img" 600x40+180+280 "$white" above 0.02 "no prompt text" &&
            need "$img" 960x30+0+475 "$orange" below 0.001 "a basket on the title" ;;
    esac
}

# What the case must show once the keys were held; sets why and returns
# non-zero if not.
case_steered() {
    case "$case_name" in
    tiled_platformer)
        # Run right, the walker stops against the crates: the map's "solid"
        # tiles are solid, and the grass holds it up.
        need "$1" 70x70+330+350 "$orange" above 0.02 "the walker is not against the crates" &&
            need "$1" 500x200+400+250 "$orange" below 0.001 "the walker went past the crates" ;;
    breakout)
        # SPACE served the ball, which knocked a brick out of the lowest row.
        need "$1" 756x20+22+222 "$clear" above 0.1 "no brick of the lowest row is gone" ;;
    shapes_and_input)
        # The box beside the key counts is filled while SPACE is held.
        need "$1" 20x20+462+482 'g>0.9&&r<0.1&&b<0.1' above 0.9 "SPACE held does not fill its box" ;;
    many_sprites)
        # SPACE held adds balls by the thousand until they hide most of the window.
        need "$1" 400x100+440+500 "!($clear)" above 0.6 "SPACE held does not fill the window with balls" ;;
    scenes)
        # SPACE changed to the game's scene: the basket, the counters, no title.
        need "$1" 960x30+0+475 "$orange" above 0.05 "SPACE does not start the game's scene" &&
            need "$1" 600x40+180+280 "$white" below 0.002 "the title's prompt is still drawn" ;;
    esac
}

# A frame of the example's size and many colours, showing what the case must.
frame_shows() {
    local colours geometry
    colours=$(im identify -format '%k' "$1")
    geometry=$(im identify -format '%wx%h' "$1")
    if [ "$geometry" != "$size" ]; then
        why="the screenshot is $geometry"
        return 1
    fi
    above "${colours:-0}" 8 || { why="the frame has ${colours:-no} distinct colours: nothing drawn"; return 1; }
    case_shows "$1"
}
# Whether a shot differs from the first one; the number of differing pixels
# goes to stderr, anything else is an error.
frame_moved() {
    above "$(timeout 10 compare -metric AE "$out/a.png" "$1" null: 2>&1)" 0
}
# poll <seconds> <pause> <shot file> <check>: takes shots, each after the
# pause, until the check holds for one; fails once the seconds are up.
poll() {
    local end=$((SECONDS + $1))
    while [ "$SECONDS" -lt "$end" ]; do
        alive || ended "while running"
        shot "$2" "$3" && "$4" "$3" && return 0
    done
    return 1
}

# The first frames may still be the clear colour alone: look again until the
# scene shows, for at most ten seconds.
why="no screenshot could be taken"
poll 10 0.5 "$out/a.png" frame_shows || fail "$why"

if [ "$animated" = yes ]; then
    if [ -n "$keys" ]; then
        x windowfocus --sync "$wid" || fail "could not give the window the keyboard"
        held="$keys"
        x keydown $keys || fail "could not press $keys"
    fi
    poll 3 0.3 "$out/b.png" frame_moved ||
        fail "the frame stays the same for 3 s: nothing moves${keys:+ while $keys is held}"
    if [ -n "$keys" ]; then
        # Long enough to get where the keys lead.
        why=""
        poll 4 0.3 "$out/c.png" case_steered ||
            fail "after holding $keys: ${why:-no screenshot could be taken}"
        x keyup $keys
        held=""
    fi
fi

kill -TERM "$pid"
deadline=$((SECONDS + 5))
while [ "$SECONDS" -lt "$deadline" ]; do
    alive || break
    sleep 0.1
done
alive && fail "still running 5 s after SIGTERM"
wait "$pid"
status=$?
pid=""
[ "$status" -eq 0 ] || fail "exit status $status after SIGTERM"
if [ "$case_name" = breakout ]; then
    # The brick knocked out made a best score, kept as the window closed.
    best=$(cat "$out/data/keel-breakout/best-score" 2>/dev/null)
    above "$best" 9 || fail "no best score kept in its data folder (found '${best}')"
fi
echo "ok: $case_name (${width} wide)"
