// Draws the player's boat sheet, the fish and the level's tile set, and writes them as PNG files
// into the directory given as the only argument. The shapes and the canvas are Draw.h's, so the
// files are the same on every machine.

#include "Draw.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace Draw;

// ---------------------------------------------------------------------------------------------
// The boat: a little sloop riding a travelling wave. The wave moves one wavelength per loop and
// the boat's bob and roll follow the water under its middle, so the last frame leads back into
// the first.

constexpr int kBoatFrames = 8;
constexpr double kWaveLength = 32.0;
constexpr double kWaveHeight = 1.6;
constexpr double kWaterLevel = 52.0;

double WaveSurface(double x, double phase) {
    return kWaterLevel + kWaveHeight * Sin(kTwoPi * x / kWaveLength + phase);
}

void DrawWater(Canvas& c, double phase, bool front) {
    // A patch of water whose ends taper down to the ground, so it reads as a wave the boat rides
    // rather than a strip cut off at the frame's edges.
    std::vector<Vec2> surface;
    for (int i = 0; i <= 62; ++i) {
        const double x = 1.0 + i;
        const double edge = std::min(x - 1.0, 63.0 - x);
        const double drop = 9.0 * (1.0 - SmoothStep(0.0, 12.0, edge));
        surface.push_back({x, std::min(WaveSurface(x, phase) + drop, 63.5)});
    }
    std::vector<Vec2> body = surface;
    body.push_back({63.0, 64.0});
    body.push_back({1.0, 64.0});
    const Shape water = Polygon(body);
    if (!front) {
        c.Outlined(water, Rgb(30, 82, 128));
        return;
    }
    // The front layer covers the hull's lower part; a little see-through so the keel shows.
    c.Fill(water, [](Vec2 p) {
        const Color top = Rgb(64, 164, 206, 0.93), deep = Rgb(34, 96, 160, 0.97);
        return Mix(top, deep, SmoothStep(kWaterLevel - 2, 63, p.y));
    });
    c.Fill(Intersect(Polyline(surface, 0.9), water), Rgb(214, 244, 250));
    // Streaks of light on the water body move with the wave.
    for (int i = 0; i < 4; ++i) {
        const double x = std::fmod(8.0 + i * 16.0 - phase / kTwoPi * kWaveLength + 64.0, 64.0);
        const double y = WaveSurface(x, phase) + 4.0 + (i % 2) * 3.0;
        c.Fill(Intersect(Segment({x - 2.5, y}, {x + 2.5, y}, 0.6), Grow(water, -1.5)),
               Rgb(150, 216, 236, 0.8));
    }
}

void DrawBoatFrame(Canvas& c, int frame) {
    const double t = kTwoPi * frame / kBoatFrames;
    // The wave travels to the left: the boat seems to sail right.
    const double phase = t;
    const double centre = 32.0;
    const double rise = WaveSurface(centre, phase) - kWaterLevel;
    const double slope =
        kWaveHeight * kTwoPi / kWaveLength * Cos(kTwoPi * centre / kWaveLength + phase);
    const double roll = 0.35 * slope;
    const Vec2 pivot{32, 50};
    const Vec2 lift{0, 0.9 * rise};
    auto place = [&](Shape s) { return Placed(std::move(s), lift, roll, pivot); };
    auto at = [&](Vec2 p) { return Rotate(p - pivot, roll) + pivot + lift; };

    DrawWater(c, phase, false);

    // Flag at the masthead, streaming aft with a wave running along it.
    {
        std::vector<Vec2> top, bottom;
        for (int i = 0; i <= 12; ++i) {
            const double s = i / 12.0;
            const double x = 32.0 - 13.0 * s;
            const double wave = 1.3 * s * Sin(kTwoPi * 1.3 * s - 2.0 * t);
            const double half = 2.6 * (1.0 - s) + 0.3;
            top.push_back({x, 5.0 + wave - half});
            bottom.push_back({x, 5.0 + wave + half});
        }
        std::reverse(bottom.begin(), bottom.end());
        Append(top, bottom);
        const Shape flag = place(Polygon(top));
        c.Outlined(flag, Rgb(226, 56, 52));
        c.Fill(Intersect(flag, place(Box({24.5, 0}, {27.0, 10}))), Rgb(250, 214, 80));
    }

    // Mast and boom.
    const Color wood = Rgb(156, 102, 58);
    c.Outlined(place(Segment({32, 3.5}, {32, 41}, 1.25)), wood);
    c.Outlined(place(Segment({12.5, 37.5}, {31, 37.5}, 1.0)), wood);

    // Sails: cream with a soft shadow towards the luff, seams running across.
    const Color sail = Rgb(246, 238, 218), sailShade = Rgb(206, 194, 174);
    {
        std::vector<Vec2> main{{30.5, 7.5}, {30.5, 36.0}};
        std::vector<Vec2> leech;
        for (int i = 0; i <= 14; ++i) {
            const double s = i / 14.0;
            Vec2 p = Lerp(Vec2{13.5, 35.5}, Vec2{30.5, 7.5}, s);
            // The leech bellies out and ripples a little in the wind.
            const double belly = 4.0 * Sin(kPi * s) + 0.7 * Sin(kPi * s) * Sin(3 * kPi * s - 2 * t);
            p = p + Vec2{-0.85, -0.52} * belly;
            leech.push_back(p);
        }
        Append(main, leech);
        main.pop_back();
        const Shape mainSail = place(Polygon(main));
        c.Outlined(mainSail, [&](Vec2 p) {
            const Vec2 q = Rotate(p - lift - pivot, -roll) + pivot;
            return Mix(sailShade, sail, SmoothStep(30.0, 20.0, q.x));
        });
        for (int i = 1; i <= 3; ++i) {
            const double y = 36.0 - i * 7.0;
            c.Fill(Intersect(place(Segment({31, y}, {10, y + 4.0}, 0.45)), Grow(mainSail, -0.8)),
                   Rgb(196, 182, 160));
        }
    }
    {
        std::vector<Vec2> jib{{33.5, 9.0}, {56.5, 35.0}};
        for (int i = 0; i <= 12; ++i) {
            const double s = i / 12.0;
            Vec2 p = Lerp(Vec2{36.0, 34.5}, Vec2{33.5, 9.0}, s);
            const double belly =
                3.2 * Sin(kPi * s) + 0.5 * Sin(kPi * s) * Sin(2 * kPi * s - 2 * t + 1);
            p = p + Vec2{0.99, 0.1} * belly;
            jib.push_back(p);
        }
        jib.pop_back();
        const Shape jibSail = place(Polygon(jib));
        c.Outlined(jibSail, [&](Vec2 p) {
            const Vec2 q = Rotate(p - lift - pivot, -roll) + pivot;
            return Mix(sail, sailShade, SmoothStep(38.0, 52.0, q.x) * 0.7);
        });
        c.Fill(Intersect(place(Segment({34, 22}, {46, 27}, 0.45)), Grow(jibSail, -0.8)),
               Rgb(196, 182, 160));
    }

    // Hull: sheer rising to the bow, transom at the stern.
    const std::vector<Vec2> rail = Bezier({6.0, 40.0}, {30, 44.5}, {61.0, 35.0}, 16);
    std::vector<Vec2> hull = Bezier({5.5, 39.5}, {30, 44.5}, {61.5, 34.5}, 16);
    Append(hull, Bezier({61.5, 34.5}, {58.5, 52.5}, {44, 57}, 10));
    Append(hull, std::vector<Vec2>{{44, 57}, {17, 57}});
    Append(hull, Bezier({17, 57}, {8.5, 54}, {5.5, 39.5}, 8));
    hull.pop_back();
    const Shape hullShape = place(Polygon(hull));
    c.Outlined(hullShape, [&](Vec2 p) {
        const Vec2 q = Rotate(p - lift - pivot, -roll) + pivot;
        const double below = q.y - CurveY(rail, q.x);
        return Mix(Rgb(236, 88, 70), Rgb(112, 30, 40), SmoothStep(0.0, 15.0, below));
    });
    std::vector<Vec2> stripe;
    for (const Vec2& p : rail)
        stripe.push_back(p + Vec2{0, 5.5});
    c.Fill(Intersect(place(Polyline(stripe, 0.8)), hullShape), Rgb(248, 236, 210));
    // Gunwale: a rail of pale wood along the sheer.
    c.Outlined(place(Polyline(rail, 1.1)), Rgb(222, 172, 108), 0.9);
    // A porthole.
    c.Outlined(place(Circle({46.5, 44.5}, 1.9)), Rgb(150, 210, 230), 1.0);
    c.Fill(place(Circle({46.0, 44.0}, 0.7)), Rgb(240, 252, 255));

    DrawWater(c, phase, true);

    // Spray thrown up from the bow, each drop on its own arc and clock so the loop has no seam.
    const Vec2 bow = at({57.5, 51.0});
    for (int i = 0; i < 5; ++i) {
        const double s = std::fmod(double(frame) / kBoatFrames + i / 5.0, 1.0);
        const double up = 10.0 + 2.5 * (i % 3);
        const Vec2 p = bow + Vec2{1.0 + (3.5 - (i % 2)) * s, -up * s + 12.0 * s * s};
        const double r = 1.4 * (1.0 - s) + 0.6;
        c.Outlined(Circle(p, r), Rgb(232, 250, 255), 0.7, Rgb(36, 104, 150));
    }
    // Foam where the bow cuts the water, biggest as the bow dips.
    const double dip = 0.5 + 0.5 * Sin(t);
    c.Fill(Ellipse(at({57.5, 52.0}), {3.0 + 1.5 * dip, 1.2 + 0.5 * dip}), Rgb(236, 250, 255, 0.9));
    c.Fill(Ellipse(at({8.0, 52.5}), {2.5 + dip, 0.9}), Rgb(220, 244, 252, 0.8));
}

Canvas MakeBoatSheet() {
    Canvas sheet(64 * kBoatFrames, 64);
    for (int i = 0; i < kBoatFrames; ++i) {
        Canvas frame(64, 64);
        DrawBoatFrame(frame, i);
        sheet.Blit(frame, 64 * i, 0);
    }
    return sheet;
}

// ---------------------------------------------------------------------------------------------
// The fish: a spiny, sharp-toothed brute facing right.

// A spike standing on `base`, `width` wide at the foot, reaching to `tip`.
Shape Spike(Vec2 base, Vec2 tip, double width) {
    const Vec2 dir = tip - base;
    const Vec2 side = Vec2{-dir.y, dir.x} * (0.5 * width / Length(dir));
    return Polygon({base + side, tip, base - side});
}

Canvas MakeFish() {
    Canvas c(64, 64);
    const Color bone = Rgb(240, 228, 196), boneShade = Rgb(176, 150, 120);
    auto spikePaint = [&](Vec2 base, Vec2 tip) {
        return [=](Vec2 p) {
            const Vec2 d = tip - base;
            const double along = Clamp(Dot(p - base, d) / Dot(d, d), 0, 1);
            return Mix(boneShade, bone, SmoothStep(0.1, 0.7, along));
        };
    };

    // Body outline, nose at the right with a gaping mouth notch, tail joint at the left.
    const Vec2 snout{57.5, 28.5}, jaw{59.5, 42.5}, gape{45.5, 36.5};
    std::vector<Vec2> body = Bezier({15.0, 31.5}, {22.0, 13.0}, {44.0, 11.0}, snout, 20);
    body.push_back(gape);
    Append(body, Bezier(jaw, {52.0, 55.0}, {28.0, 55.0}, {15.0, 36.5}, 20));
    const Shape bodyShape = Polygon(body);

    // Tail, forked, with ragged points.
    const Shape tail =
        Polygon({{19.0, 34.0}, {5.0, 18.5}, {8.5, 28.0}, {3.0, 34.0}, {8.5, 40.0}, {5.0, 50.0}});
    c.Outlined(tail, [](Vec2 p) {
        return Mix(Rgb(120, 30, 52), Rgb(200, 64, 60), SmoothStep(4.0, 18.0, p.x));
    });
    c.Fill(Intersect(Polyline({{17, 34}, {7, 22}}, 0.5), tail), Rgb(100, 24, 44));
    c.Fill(Intersect(Polyline({{17, 34}, {7, 46}}, 0.5), tail), Rgb(100, 24, 44));

    // Spines: a crest of swept-back spikes along the back, smaller ones under the belly.
    const Vec2 backBases[] = {{22.5, 21.5}, {29.5, 16.5}, {37.0, 14.0}, {44.5, 14.5}};
    const Vec2 backTips[] = {{13.5, 9.5}, {21.0, 3.5}, {30.5, 1.5}, {40.5, 3.0}};
    for (int i = 0; i < 4; ++i)
        c.Outlined(Spike(backBases[i], backTips[i], 8.0), spikePaint(backBases[i], backTips[i]));
    const Vec2 bellyBases[] = {{25.0, 48.5}, {34.0, 51.0}, {43.0, 50.0}};
    const Vec2 bellyTips[] = {{18.5, 57.0}, {27.5, 61.0}, {38.5, 60.5}};
    for (int i = 0; i < 3; ++i)
        c.Outlined(Spike(bellyBases[i], bellyTips[i], 6.5),
                   spikePaint(bellyBases[i], bellyTips[i]));

    // Mouth: dark throat in the notch, with fangs on both jaws.
    c.Fill(Polygon({snout, {44.0, 36.5}, jaw, {62.0, 36.0}}), kInk);
    c.Fill(Polygon({{56.0, 30.0}, {47.5, 36.5}, {57.5, 41.5}, {59.0, 36.0}}), Rgb(110, 20, 36));
    const Vec2 upper[] = {{49.0, 33.5}, {52.5, 31.5}, {56.0, 29.5}};
    const Vec2 lower[] = {{50.5, 39.0}, {54.0, 40.5}, {57.5, 42.0}};
    for (const Vec2& b : upper)
        c.Outlined(Spike(b, b + Vec2{0.8, 4.6}, 3.0), Rgb(252, 250, 240), 0.7);
    for (const Vec2& b : lower)
        c.Outlined(Spike(b, b + Vec2{-0.4, -4.2}, 3.0), Rgb(252, 250, 240), 0.7);

    // Body: dark red back over an orange flank into a pale belly.
    c.Outlined(bodyShape, [](Vec2 p) {
        const Color back = Rgb(150, 32, 52), flank = Rgb(226, 84, 50), belly = Rgb(246, 196, 120);
        if (p.y < 32)
            return Mix(back, flank, SmoothStep(14.0, 32.0, p.y));
        return Mix(flank, belly, SmoothStep(34.0, 50.0, p.y));
    });
    // Warning stripes across the flank.
    for (double x : {23.0, 31.0}) {
        const Shape band = Polyline({{x + 3.0, 14.0}, {x, 33.0}, {x + 2.0, 52.0}}, 1.7);
        c.Fill(Intersect(band, Grow(bodyShape, -1.0)), Rgb(110, 20, 42, 0.9));
    }
    // Gill slit and a pointed pectoral fin.
    c.Fill(Intersect(Polyline(Bezier({40.5, 22.5}, {36.5, 31.0}, {40.0, 41.0}, 8), 0.6),
                     Grow(bodyShape, -1.5)),
           Rgb(100, 18, 40));
    std::vector<Vec2> fin = Bezier({41.0, 34.5}, {33.0, 34.0}, {26.5, 45.0}, 8);
    Append(fin, Bezier({26.5, 45.0}, {34.0, 40.5}, {41.0, 40.5}, 8));
    fin.pop_back();
    const Shape finShape = Polygon(fin);
    c.Outlined(
        finShape,
        [](Vec2 p) {
            return Mix(Rgb(252, 140, 84), Rgb(190, 48, 52), SmoothStep(40.0, 29.0, p.x));
        },
        0.9);
    for (double y : {36.5, 39.0})
        c.Fill(Intersect(Segment({40.0, y}, {31.0, y + 4.5}, 0.4), Grow(finShape, -0.6)),
               Rgb(150, 30, 44));

    // Eye: small yellow iris with a slit, crowned by a heavy angry brow.
    c.Outlined(Circle({47.5, 25.0}, 3.6), Rgb(252, 226, 70), 0.9);
    c.Fill(Box({47.0, 22.0}, {48.6, 28.0}, 0.8), kInk);
    c.Fill(Circle({46.6, 23.6}, 0.7), Rgb(255, 255, 255));
    c.Fill(Polygon({{40.5, 19.0}, {53.5, 22.5}, {52.5, 24.5}, {41.0, 21.5}}), kInk);

    // Sheen along the back.
    c.Fill(Intersect(Polyline(Bezier({21.0, 25.0}, {28.0, 16.0}, {40.0, 15.5}, 10), 0.7),
                     Grow(bodyShape, -1.2)),
           Rgb(255, 150, 120, 0.55));
    return c;
}

// ---------------------------------------------------------------------------------------------
// The tile set: 4 x 3 tiles of 64 x 64, lit from the top left. Every tile that can stand next
// to a copy of itself is drawn on a wrapping canvas.

constexpr int kTile = 64;

// Earth with pebbles; the soil under the grass uses the very same picture so a grass tile
// sits on an earth tile without a seam.
Canvas MakeEarth() {
    Canvas c(kTile, kTile, true, true);
    c.Fill(kEverywhere, [](Vec2 p) {
        const double n = Fractal(p, kTile, 11);
        return Mix(Rgb(84, 52, 34), Rgb(140, 92, 56), SmoothStep(0.2, 0.8, n));
    });
    Rng rng(2024);
    // Darker clods, then specks of grit.
    for (int i = 0; i < 6; ++i) {
        const Vec2 at{rng.Range(0, 64), rng.Range(0, 64)};
        c.Fill(Ellipse(at, {rng.Range(4, 7), rng.Range(2, 3.5)}), Rgb(70, 42, 28, 0.35));
    }
    for (int i = 0; i < 28; ++i) {
        const Vec2 at{rng.Range(0, 64), rng.Range(0, 64)};
        const bool light = rng.Next() < 0.5;
        c.Fill(Circle(at, rng.Range(0.5, 0.9)), light ? Rgb(172, 124, 82) : Rgb(62, 38, 26));
    }
    // Pebbles: rounded stones with a lit top and a dark rim.
    const Vec2 pebbles[] = {{12, 22}, {40, 12}, {52, 40}, {22, 50}, {33, 32}, {6, 60}};
    for (const Vec2& at : pebbles) {
        const Vec2 r{rng.Range(2.4, 4.0), rng.Range(1.8, 2.8)};
        const Shape stone = Ellipse(at, r);
        const double tint = rng.Range(0.85, 1.1);
        c.Outlined(
            stone,
            [=](Vec2 p) {
                const Color base = Rgb(int(150 * tint), int(134 * tint), int(116 * tint));
                return Mix(Rgb(200, 188, 168), base, SmoothStep(at.y - r.y, at.y + 0.3 * r.y, p.y));
            },
            0.8, Rgb(58, 36, 24));
    }
    // A thin root wandering through.
    c.Fill(Polyline(Bezier({44, 54}, {50, 58}, {60, 52}, {68, 58}, 10), 0.6), Rgb(168, 122, 78));
    return c;
}

Canvas MakeGrass(const Canvas& earth) {
    Canvas c(kTile, kTile);
    c.Blit(earth, 0, 0);
    // Grass only wraps sideways: its copy must not appear at the tile's foot.
    c.SetWrap(true, false);
    auto edge = [](double x) {
        const double u = kTwoPi * x / kTile;
        return 13.0 + 1.8 * Sin(2 * u + 0.5) + 1.1 * Sin(5 * u + 1.3);
    };
    std::vector<Vec2> outline{{-8, -4}, {72, -4}};
    for (int i = 0; i <= 80; ++i) {
        const double x = 72.0 - i;
        outline.push_back({x, edge(x)});
    }
    Shape grass = Polygon(outline);
    // Tufts hanging over the lip.
    for (double x : {9.0, 27.0, 46.0, 58.0}) {
        const double y = edge(x);
        grass = Union(grass, Segment({x, y - 2}, {x + 0.5, y + 3.5 + 2.0 * Sin(x)}, 2.0));
    }
    // Shadow cast on the earth, a dark lip, then the turf.
    c.Fill(Grow(grass, 4.0), Rgb(30, 18, 12, 0.35));
    c.Fill(Grow(grass, 1.3), Rgb(32, 78, 36));
    c.Fill(grass, [](Vec2 p) {
        const Color top = Rgb(128, 204, 74), bottom = Rgb(60, 142, 52);
        const double n = Noise(p, 8, kTile, 5);
        return Mix(Mix(top, bottom, SmoothStep(2.0, 15.0, p.y)), Rgb(84, 168, 60), 0.3 * n);
    });
    c.Fill(Box({-8, -4}, {72, 1.6}), Rgb(176, 232, 104));
    // Blades: dark strokes low in the turf, light ones near the top.
    Rng rng(77);
    for (int i = 0; i < 22; ++i) {
        const double x = rng.Range(0, 64);
        const double foot = edge(x) - rng.Range(1.0, 4.0);
        const double lean = rng.Range(-1.5, 1.5);
        const double h = rng.Range(3.0, 5.5);
        c.Fill(Intersect(Segment({x, foot}, {x + lean, foot - h}, 0.55), Grow(grass, -0.8)),
               Rgb(42, 112, 44));
    }
    for (int i = 0; i < 14; ++i) {
        const double x = rng.Range(0, 64);
        const double y = rng.Range(4.0, 8.0);
        const double lean = rng.Range(-1.2, 1.2);
        c.Fill(Segment({x, y}, {x + lean, y - 2.8}, 0.5), Rgb(164, 226, 96));
    }
    // Two little flowers.
    for (const Vec2& at : {Vec2{18.0, 6.5}, Vec2{50.0, 8.0}}) {
        c.Fill(Circle(at, 1.5), Rgb(250, 246, 226));
        c.Fill(Circle(at, 0.6), Rgb(246, 196, 60));
    }
    return c;
}

// Large dressed stones in two courses, joints staggered.
Canvas MakeStone() {
    Canvas c(kTile, kTile, true, true);
    c.Fill(kEverywhere,
           [](Vec2 p) { return Mix(Rgb(40, 42, 48), Rgb(62, 64, 70), Noise(p, 16, kTile, 3)); });
    struct Block {
        double x0, y0, x1, y1;
    };
    const Block blocks[] = {{0, 0, 38, 32}, {38, 0, 64, 32}, {18, 32, 50, 64}, {50, 32, 82, 64}};
    Rng rng(31);
    for (const Block& b : blocks) {
        const Shape stone = Box({b.x0 + 1.2, b.y0 + 1.2}, {b.x1 - 1.2, b.y1 - 1.2}, 2.5);
        const double tint = rng.Range(0.92, 1.06);
        const uint32_t seed = uint32_t(rng.Range(0, 1000));
        c.Fill(stone, [=](Vec2 p) {
            const double n = Fractal(p, kTile, seed);
            const Color base = Rgb(int(124 * tint), int(128 * tint), int(136 * tint));
            return Mix(Shade(base, 0.82), Shade(base, 1.08), n);
        });
        Bevel(c, stone, 2.0, Rgb(178, 182, 190), Rgb(78, 80, 88));
        // A chip or two and a hairline crack.
        for (int i = 0; i < 3; ++i) {
            const Vec2 at{rng.Range(b.x0 + 5, b.x1 - 5), rng.Range(b.y0 + 5, b.y1 - 5)};
            c.Fill(Circle(at, rng.Range(0.6, 1.1)), Rgb(92, 94, 102));
            c.Fill(Circle(at + Vec2{0.6, 0.6}, 0.5), Rgb(160, 164, 172, 0.8));
        }
        const Vec2 from{rng.Range(b.x0 + 6, b.x1 - 6), b.y0 + 2.0};
        const Vec2 mid = from + Vec2{rng.Range(-3, 3), rng.Range(4, 7)};
        const Vec2 to = mid + Vec2{rng.Range(-3, 3), rng.Range(3, 6)};
        c.Fill(Intersect(Polyline({from, mid, to}, 0.45), stone), Rgb(70, 72, 80));
    }
    return c;
}

// Four planks with staggered butt joints and nails.
Canvas MakePlanks() {
    Canvas c(kTile, kTile, true, true);
    c.Fill(kEverywhere, Rgb(52, 32, 22));
    const double joints[] = {14, 46, 30, 58};
    Rng rng(5);
    for (int row = 0; row < 4; ++row) {
        const double y0 = row * 16.0, y1 = y0 + 16.0, j = joints[row];
        const Shape plank = Box({j + 1.0, y0 + 1.0}, {j + 63.0, y1 - 1.0}, 1.5);
        const double tint = rng.Range(0.9, 1.08);
        const double grainPhase = rng.Range(0, kTwoPi);
        c.Fill(plank, [=](Vec2 p) {
            const Color wood = Rgb(int(178 * tint), int(118 * tint), int(66 * tint));
            // Grain: wavy bands along the plank.
            const double g =
                Sin((p.y - y0) * 1.3 + 1.6 * Sin(kTwoPi * p.x / kTile * 2 + grainPhase));
            return Mix(wood, Shade(wood, 0.8), SmoothStep(0.4, 0.95, g));
        });
        Bevel(c, plank, 1.5, Rgb(222, 168, 108), Rgb(110, 66, 36));
        // A knot on some planks.
        if (row % 2 == 0) {
            const Vec2 knot{j + rng.Range(20, 44), y0 + 8};
            c.Fill(Ellipse(knot, {2.6, 1.5}), Rgb(110, 66, 38));
            c.Fill(Ellipse(knot, {1.2, 0.7}), Rgb(70, 40, 24));
        }
        for (double x : {j + 4.0, j + 60.0}) {
            const Vec2 nail{x, y0 + 8.0};
            c.Fill(Circle(nail, 1.3), Rgb(44, 36, 34));
            c.Fill(Circle(nail + Vec2{-0.4, -0.4}, 0.5), Rgb(188, 184, 178));
        }
    }
    return c;
}

// Running-bond brickwork, 32 x 16 bricks.
Canvas MakeBrick() {
    Canvas c(kTile, kTile, true, true);
    c.Fill(kEverywhere,
           [](Vec2 p) { return Mix(Rgb(98, 88, 80), Rgb(132, 122, 110), Noise(p, 16, kTile, 9)); });
    Rng rng(13);
    for (int row = 0; row < 4; ++row)
        for (int col = 0; col < 2; ++col) {
            const double x0 = col * 32.0 + (row % 2) * 16.0, y0 = row * 16.0;
            const Shape brick = Box({x0 + 1.0, y0 + 1.0}, {x0 + 31.0, y0 + 15.0}, 1.2);
            const double tint = rng.Range(0.86, 1.1);
            const uint32_t seed = uint32_t(rng.Range(0, 1000));
            c.Fill(brick, [=](Vec2 p) {
                const Color base = Rgb(int(172 * tint), int(74 * tint), int(54 * tint));
                return Mix(Shade(base, 0.86), Shade(base, 1.08), Noise(p, 16, kTile, seed));
            });
            Bevel(c, brick, 1.5, Rgb(212, 118, 90), Rgb(106, 40, 32));
            for (int i = 0; i < 3; ++i) {
                const Vec2 at{rng.Range(x0 + 4, x0 + 28), rng.Range(y0 + 4, y0 + 12)};
                c.Fill(Circle(at, 0.6), Rgb(120, 44, 34));
            }
        }
    return c;
}

// Rising air: a pale, half-clear field with streaks and upward chevrons. The two variants
// place their arrows on opposite sides so a column of them zigzags.
Canvas MakeDraught(int variant) {
    Canvas c(kTile, kTile, true, true);
    // The haze is the same in both variants so they stack in any order without a seam; the
    // streaks and arrows stay inside the tile for the same reason.
    c.Fill(kEverywhere, [](Vec2 p) {
        const double n = Noise(p, 4, kTile, 40);
        return Mix(Rgb(150, 206, 232, 0.6), Rgb(210, 240, 252, 0.76), n);
    });
    c.SetWrap(false, false);
    // Streaks rising: a bright rounded head on top, a tail thinning and fading below it.
    Rng rng(100 + variant);
    for (int i = 0; i < 7; ++i) {
        const double x = 4.0 + i * 9.0 + rng.Range(-2, 2);
        const double len = rng.Range(10, 20), y = rng.Range(2, 62 - len), r = rng.Range(0.9, 1.3);
        const Shape streak = [=](Vec2 p) {
            const double t = Clamp((p.y - y) / len, 0.0, 1.0);
            return Length(p - Vec2{x, y + t * len}) - r * (1.0 - 0.7 * t);
        };
        c.Fill(streak, [=](Vec2 p) {
            return Rgb(246, 253, 255, 0.8 * (1.0 - SmoothStep(y, y + len, p.y)) + 0.1);
        });
    }
    const Vec2 arrows[2][2] = {{{20, 20}, {44, 52}}, {{44, 20}, {20, 52}}};
    for (const Vec2& at : arrows[variant]) {
        for (int k = 0; k < 2; ++k) {
            const Vec2 tip = at + Vec2{0, k * 7.0 - 4.0};
            const Shape chevron = Polyline({tip + Vec2{-7, 6}, tip, tip + Vec2{7, 6}}, 1.7);
            c.Outlined(chevron, Rgb(255, 255, 255, k == 0 ? 0.98 : 0.8), 1.0,
                       Rgb(90, 160, 200, 0.6));
        }
    }
    return c;
}

// A wooden crate: a frame, boards behind it and a diagonal brace.
Canvas MakeCrate() {
    Canvas c(kTile, kTile);
    const Color wood = Rgb(204, 146, 74), dark = Rgb(150, 98, 48);
    c.Fill(kEverywhere, kInk);
    const Shape panel = Box({6.5, 6.5}, {57.5, 57.5});
    c.Fill(panel, [&](Vec2 p) {
        // Vertical boards, each a little different.
        const int board = int(p.x / 12.8);
        const double tint = 0.9 + 0.1 * Hash01(board, 0, 21);
        return Mix(Shade(dark, tint), Shade(dark, 0.8 * tint), Noise(p, 16, kTile, 22) * 0.5);
    });
    for (double x : {19.3, 32.1, 44.9})
        c.Fill(Segment({x, 6}, {x, 58}, 0.5), Rgb(90, 56, 28));
    const Shape brace = Segment({9, 55}, {55, 9}, 3.2);
    c.Outlined(brace, wood, 1.0);
    Bevel(c, brace, 1.0, Rgb(236, 188, 120), Rgb(150, 96, 44));
    const Shape frame = Subtract(Box({1, 1}, {63, 63}, 1.5), Box({7, 7}, {57, 57}));
    c.Fill(Grow(frame, 0.8), kInk);
    c.Fill(frame, wood);
    Bevel(c, frame, 1.3, Rgb(240, 196, 128), Rgb(142, 90, 40));
    for (double x : {3.6, 60.4})
        for (double y : {3.6, 60.4}) {
            c.Fill(Circle({x, y}, 1.2), Rgb(60, 48, 40));
            c.Fill(Circle({x - 0.4, y - 0.4}, 0.45), Rgb(200, 196, 190));
        }
    return c;
}

// Beach sand with wind ripples, grit and a shell.
Canvas MakeSand() {
    Canvas c(kTile, kTile, true, true);
    c.Fill(kEverywhere, [](Vec2 p) {
        const double n = Fractal(p, kTile, 70);
        return Mix(Rgb(200, 164, 106), Rgb(232, 204, 146), SmoothStep(0.25, 0.8, n));
    });
    // Ripples: a shaded trough with a lit crest above it. Their waves repeat within the tile.
    for (int row = 0; row < 4; ++row) {
        const double y0 = 9.0 + row * 16.0, phase = row * 1.7;
        std::vector<Vec2> ripple;
        for (int i = 0; i <= 40; ++i) {
            const double x = -8.0 + 2.0 * i;
            ripple.push_back({x, y0 + 1.8 * Sin(2.0 * kTwoPi * x / kTile + phase)});
        }
        c.Fill(Polyline(ripple, 0.9), Rgb(168, 128, 80, 0.45));
        c.Fill(Placed(Polyline(ripple, 0.6), {0, -1.7}, 0, {}), Rgb(248, 230, 182, 0.55));
    }
    Rng rng(88);
    for (int i = 0; i < 40; ++i) {
        const Vec2 at{rng.Range(0, 64), rng.Range(0, 64)};
        const bool light = rng.Next() < 0.4;
        c.Fill(Circle(at, rng.Range(0.45, 0.8)), light ? Rgb(250, 240, 214) : Rgb(150, 112, 70));
    }
    for (const Vec2& at : {Vec2{14.0, 40.0}, Vec2{49.0, 22.0}})
        c.Outlined(Ellipse(at, {2.2, 1.6}), Rgb(170, 160, 148), 0.7, Rgb(110, 88, 62));
    // A scallop: a fan with ribs.
    const Vec2 hinge{36.0, 54.0};
    const Shape shell = Intersect(Circle(hinge, 4.2), Box({30, 46}, {42, 54.6}));
    c.Outlined(
        shell, [=](Vec2 p) { return Mix(Rgb(252, 236, 224), Rgb(232, 170, 150), (p.y - 50) / 5); },
        0.7, Rgb(150, 96, 80));
    for (double a : {-1.0, -0.4, 0.2, 0.8})
        c.Fill(Intersect(Segment(hinge, hinge + Vec2{4.0 * Sin(a), -4.0 * Cos(a)}, 0.3),
                         Grow(shell, -0.4)),
               Rgb(196, 128, 112));
    return c;
}

// Water is drawn over the fish that swims in it, so its body stays about half clear and only
// the crest of the waves is nearly opaque. The water tiles share one paint that repeats with
// the tile size, so they join one another, and themselves, without a seam.

constexpr double kSeaLevel = 6.0;

// Level where tiles meet, so the joint between two surface tiles does not fall on a slope.
double SeaSurface(double x) {
    const double u = kTwoPi * x / kTile;
    return kSeaLevel + 1.1 * Cos(2 * u) + 0.6 * Cos(3 * u);
}

Color DeepWater(Vec2 p) {
    return Mix(Rgb(20, 70, 120, 0.56), Rgb(34, 100, 152, 0.54), Fractal(p, kTile, 60));
}

Canvas MakeDeepWater() {
    Canvas c(kTile, kTile);
    c.Fill(kEverywhere, DeepWater);
    // Bubbles stay clear of the edges: half a bubble would show as a seam.
    struct Bubble {
        Vec2 at;
        double r;
    };
    const Bubble bubbles[] = {
        {{14, 46}, 2.2}, {{18, 36}, 1.4}, {{16, 28}, 0.9}, {{46, 20}, 1.8}, {{43, 12}, 1.1}};
    for (const Bubble& b : bubbles) {
        const Shape ring = Subtract(Circle(b.at, b.r), Circle(b.at, b.r - 0.7));
        c.Fill(ring, Rgb(176, 226, 244, 0.4));
        // Glint on the upper left of the rim.
        c.Fill(Intersect(ring, Circle(b.at + Vec2{-0.7, -0.7} * b.r, 0.8 * b.r)),
               Rgb(240, 252, 255, 0.3));
    }
    return c;
}

Canvas MakeSeaSurface() {
    Canvas c(kTile, kTile, true, false);
    std::vector<Vec2> wave;
    for (int i = 0; i <= 80; ++i) {
        const double x = -8.0 + i;
        wave.push_back({x, SeaSurface(x)});
    }
    std::vector<Vec2> outline = wave;
    outline.push_back({72, 72});
    outline.push_back({-8, 72});
    const Shape sea = Polygon(outline);
    // Sunlit under the surface, turning into the deep water's very colour at the foot.
    c.Fill(sea, [](Vec2 p) {
        return Mix(Rgb(72, 170, 212, 0.5), DeepWater(p), SmoothStep(kSeaLevel, 58.0, p.y));
    });
    c.Fill(Intersect(Placed(Polyline(wave, 1.6), {0, 2.6}, 0, {}), sea), Rgb(150, 220, 240, 0.4));
    c.Fill(Polyline(wave, 1.1), Rgb(224, 246, 252, 0.94));
    // Glints on the water, clear of the foot so the deep water below joins it cleanly.
    Rng rng(9);
    for (int i = 0; i < 5; ++i) {
        const double x = 6.0 + i * 12.8 + rng.Range(-2, 2), y = rng.Range(14, 30);
        const double half = rng.Range(2.0, 3.5);
        c.Fill(Segment({x - half, y}, {x + half, y}, 0.55), Rgb(170, 226, 244, 0.45));
    }
    return c;
}

// Seaweed rising from the sea floor through deep water; the fronds keep off the sides and
// the top, so the tile sits among deep water tiles without a seam.
Canvas MakeSeaweed(const Canvas& deep) {
    Canvas c(kTile, kTile);
    c.Blit(deep, 0, 0);
    struct Frond {
        double x, tip, sway, width, phase;
        Color colour;
    };
    const Frond fronds[] = {{16, 22, 3.0, 3.6, 0.0, Rgb(44, 124, 70)},
                            {46, 30, 2.6, 3.2, 2.4, Rgb(38, 112, 78)},
                            {32, 9, -3.5, 4.2, 1.3, Rgb(72, 152, 74)},
                            {24, 44, -2.0, 2.6, 0.7, Rgb(56, 136, 64)}};
    for (const Frond& f : fronds) {
        auto centre = [&](double s) {
            return Vec2{f.x + f.sway * s * Sin(kPi * 1.6 * s + f.phase), Mix(66.0, f.tip, s)};
        };
        auto halfWidth = [&](double s) {
            return f.width * (1.0 - 0.85 * s) * (0.85 + 0.15 * Sin(9.0 * s + f.phase));
        };
        std::vector<Vec2> left, right, rib;
        for (int i = 0; i <= 24; ++i) {
            const double s = i / 24.0;
            const Vec2 m = centre(s);
            left.push_back({m.x - halfWidth(s), m.y});
            right.push_back({m.x + halfWidth(s), m.y});
            rib.push_back(m);
        }
        std::reverse(right.begin(), right.end());
        Append(left, right);
        const Shape frond = Polygon(left);
        const Color colour = f.colour;
        c.Outlined(
            frond,
            [=](Vec2 p) {
                return Mix(Shade(colour, 0.7), Mix(colour, Rgb(150, 200, 90), 0.35),
                           SmoothStep(64.0, f.tip, p.y));
            },
            0.9, Rgb(16, 52, 38));
        c.Fill(Intersect(Polyline(rib, 0.4), Grow(frond, -0.6)), Rgb(168, 210, 110, 0.7));
        // Air bladders on alternate sides of the tall fronds.
        if (f.tip < 25)
            for (int k = 0; k < 3; ++k) {
                const double s = 0.3 + 0.2 * k, side = k % 2 ? 1.0 : -1.0;
                const Vec2 at = centre(s) + Vec2{side * (halfWidth(s) + 1.0), 0};
                c.Outlined(Circle(at, 1.4), Rgb(196, 184, 72), 0.6, Rgb(16, 52, 38));
            }
    }
    return c;
}

Canvas MakeTiles() {
    const Canvas earth = MakeEarth();
    const Canvas deep = MakeDeepWater();
    const Canvas tiles[12] = {MakeGrass(earth), earth,          MakeStone(),    MakePlanks(),
                              MakeBrick(),      MakeDraught(0), MakeDraught(1), MakeCrate(),
                              MakeSeaSurface(), deep,           MakeSand(),     MakeSeaweed(deep)};
    Canvas sheet(4 * kTile, 3 * kTile);
    for (int i = 0; i < 12; ++i)
        sheet.Blit(tiles[i], (i % 4) * kTile, (i / 4) * kTile);
    return sheet;
}

bool Save(const std::string& path, const Canvas& c) {
    if (WritePng(path, c))
        return true;
    std::fprintf(stderr, "gen_sprites: could not write %s\n", path.c_str());
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <assets directory>\n", argc > 0 ? argv[0] : "gen_sprites");
        return 2;
    }
    const std::string dir = argv[1];
    bool ok = Save(dir + "/boat-sheet.png", MakeBoatSheet());
    ok = Save(dir + "/fish.png", MakeFish()) && ok;
    ok = Save(dir + "/tiles.png", MakeTiles()) && ok;
    return ok ? 0 : 1;
}
