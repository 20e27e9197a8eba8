// pictures.cpp — paints the viewer's pictures: ground, gravel path, iron plates, rain, the axis
// colours, the chain-link fence with its post and mask, a shrub with its mask, and wood.
#include <algorithm>
#include <cmath>
#include <functional>

#include "make_data.h"

// Every painter starts from its own seed so that changing one picture leaves the others alone.
constexpr int bigSize = 256;

static int wrap(int i, int size) {
    return ((i % size) + size) % size;
}

static Colour scale(Colour c, float factor) {
    return {c.r * factor, c.g * factor, c.b * factor};
}

// Visits the pixels within radius of (cx, cy), wrapping around the picture's edges so that what
// is drawn near one edge continues at the opposite one and the picture tiles without a seam.
static void forEachNear(int width, int height, float cx, float cy, float radius,
                        const std::function<void(int x, int y, float dx, float dy)>& visit) {
    int x0 = static_cast<int>(std::floor(cx - radius));
    int x1 = static_cast<int>(std::ceil(cx + radius));
    int y0 = static_cast<int>(std::floor(cy - radius));
    int y1 = static_cast<int>(std::ceil(cy + radius));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            visit(wrap(x, width), wrap(y, height), x + 0.5f - cx, y + 0.5f - cy);
}

// ---- ground: grass with patches of bare soil ----------------------------------------------------

Picture paintGrassAndSoil() {
    Random random(0x7a656d);
    auto patches = makeOctaves(4, 4, random);
    auto tone = makeOctaves(16, 3, random);
    Picture picture = makePicture(bigSize, bigSize, {0, 0, 0});
    std::vector<float> soil(picture.pixels.size());
    for (int y = 0; y < bigSize; ++y) {
        for (int x = 0; x < bigSize; ++x) {
            float u = x / float(bigSize), v = y / float(bigSize);
            float s = smoothStep(0.56f, 0.64f, fractalNoise(patches, u, v));
            float t = fractalNoise(tone, u, v);
            Colour grass = mix({0.15f, 0.29f, 0.07f}, {0.33f, 0.50f, 0.15f}, t);
            Colour earth = mix({0.29f, 0.20f, 0.12f}, {0.46f, 0.35f, 0.22f}, t);
            Colour c = mix(grass, earth, s);
            picture.at(x, y) = scale(c, random.range(0.88f, 1.1f));
            soil[static_cast<size_t>(y) * bigSize + x] = s;
        }
    }
    // Grass blades: short strokes leaning a little, light and dark, sparse on the soil.
    for (int blade = 0; blade < 6000; ++blade) {
        float bx = random.range(0, bigSize), by = random.range(0, bigSize);
        float soilHere = soil[static_cast<size_t>(by) * bigSize + static_cast<size_t>(bx)];
        if (random.uniform() < soilHere * 0.9f) continue;
        float length = random.range(3, 9), lean = random.range(-0.5f, 0.5f);
        Colour colour = mix({0.10f, 0.22f, 0.05f}, {0.46f, 0.66f, 0.22f}, random.uniform());
        for (float step = 0; step < length; step += 0.5f) {
            int x = wrap(static_cast<int>(bx + std::sin(lean) * step), bigSize);
            int y = wrap(static_cast<int>(by - std::cos(lean) * step), bigSize);
            picture.at(x, y) = mix(picture.at(x, y), colour, 0.75f);
        }
    }
    // Crumbs and small stones in the soil.
    for (int crumb = 0; crumb < 1500; ++crumb) {
        float cx = random.range(0, bigSize), cy = random.range(0, bigSize);
        if (soil[static_cast<size_t>(cy) * bigSize + static_cast<size_t>(cx)] < 0.5f) continue;
        float shade = random.range(0.6f, 1.35f), radius = random.range(0.6f, 1.6f);
        forEachNear(bigSize, bigSize, cx, cy, radius, [&](int x, int y, float dx, float dy) {
            if (dx * dx + dy * dy <= radius * radius)
                picture.at(x, y) = scale(picture.at(x, y), shade);
        });
    }
    return picture;
}

// ---- path: gravel -------------------------------------------------------------------------------

Picture paintGravel() {
    Random random(0x636573);
    auto tone = makeOctaves(8, 4, random);
    Picture picture = makePicture(bigSize, bigSize, {0, 0, 0});
    for (int y = 0; y < bigSize; ++y)
        for (int x = 0; x < bigSize; ++x) {
            float t = fractalNoise(tone, x / float(bigSize), y / float(bigSize));
            picture.at(x, y) = scale(mix({0.30f, 0.28f, 0.25f}, {0.46f, 0.43f, 0.38f}, t),
                                     random.range(0.85f, 1.1f));
        }
    const Colour stones[] = {{0.56f, 0.55f, 0.53f},
                             {0.64f, 0.58f, 0.47f},
                             {0.38f, 0.37f, 0.36f},
                             {0.56f, 0.46f, 0.39f},
                             {0.70f, 0.68f, 0.64f}};
    for (int pebble = 0; pebble < 1700; ++pebble) {
        float cx = random.range(0, bigSize), cy = random.range(0, bigSize);
        float rx = random.range(1.8f, 5.5f), ry = rx * random.range(0.55f, 1.0f);
        float turn = random.range(0, 3.14159f);
        float c = std::cos(turn), s = std::sin(turn);
        const Colour& stone = stones[random.next() % 5];
        Colour colour = scale(stone, random.range(0.85f, 1.15f));
        // Shadow to the lower right first, then the stone lit from the upper left.
        forEachNear(bigSize, bigSize, cx + 1.2f, cy + 1.2f, rx,
                    [&](int x, int y, float dx, float dy) {
                        float a = (dx * c + dy * s) / rx, b = (dy * c - dx * s) / ry;
                        if (a * a + b * b <= 1) picture.at(x, y) = scale(picture.at(x, y), 0.7f);
                    });
        forEachNear(bigSize, bigSize, cx, cy, rx, [&](int x, int y, float dx, float dy) {
            float a = (dx * c + dy * s) / rx, b = (dy * c - dx * s) / ry;
            float d = a * a + b * b;
            if (d > 1) return;
            float light = 0.95f - 0.3f * (dx + dy) / rx - 0.3f * d * d;
            picture.at(x, y) = scale(colour, light);
        });
    }
    return picture;
}

// ---- iron: riveted plates -----------------------------------------------------------------------

Picture paintIronPlates() {
    Random random(0x7a656c);
    constexpr int plate = 128;
    auto grain = makeOctaves(32, 2, random);
    auto rustField = makeOctaves(4, 4, random);
    std::vector<float> rowShade(bigSize);
    for (float& shade : rowShade) shade = random.range(-1, 1);
    float plateTint[4];
    for (float& tint : plateTint) tint = random.range(-0.05f, 0.05f);
    Picture picture = makePicture(bigSize, bigSize, {0, 0, 0});
    for (int y = 0; y < bigSize; ++y) {
        for (int x = 0; x < bigSize; ++x) {
            float u = x / float(bigSize), v = y / float(bigSize);
            // Brushed steel: the grain runs along the rows.
            float brushed = 0.9f + 0.04f * rowShade[y] + 0.1f * fractalNoise(grain, u, v);
            float tint = plateTint[(y / plate) * 2 + x / plate];
            Colour c = scale({0.48f + tint, 0.51f + tint, 0.55f + tint}, brushed);
            float rust = 0.8f * smoothStep(0.6f, 0.78f, fractalNoise(rustField, u, v));
            c = mix(c, scale({0.46f, 0.25f, 0.11f}, random.range(0.8f, 1.15f)), rust);
            // Seam between plates: a dark groove with a lit bevel on the upper left.
            int lx = x % plate, ly = y % plate;
            int edge = std::min(std::min(lx, plate - 1 - lx), std::min(ly, plate - 1 - ly));
            if (edge == 0)
                c = scale(c, 0.3f);
            else if (edge == 1)
                c = scale(c, lx == 1 || ly == 1 ? 1.25f : 0.65f);
            picture.at(x, y) = c;
        }
    }
    // Rivets along every plate edge, some weeping rust down the plate.
    for (int py = 0; py < bigSize; py += plate) {
        for (int px = 0; px < bigSize; px += plate) {
            for (int i = 0; i < 8; ++i) {
                float along = 8.0f + 16.0f * i;
                const float spots[4][2] = {
                    {along, 7.5f}, {along, plate - 7.5f}, {7.5f, along}, {plate - 7.5f, along}};
                for (const auto& spot : spots) {
                    float cx = px + spot[0], cy = py + spot[1];
                    if (random.uniform() < 0.25f) {
                        float run = random.range(8, 30);
                        for (int k = 3; k < run; ++k)
                            for (int w = -1; w <= 1; ++w) {
                                Colour& p = picture.at(wrap(int(cx) + w, bigSize),
                                                       wrap(int(cy) + k, bigSize));
                                p = mix(p, {0.42f, 0.22f, 0.1f}, 0.5f * (1 - k / run));
                            }
                    }
                    forEachNear(
                        bigSize, bigSize, cx, cy, 4.5f, [&](int x, int y, float dx, float dy) {
                            float d = std::sqrt(dx * dx + dy * dy);
                            if (d <= 3.2f)
                                picture.at(x, y) =
                                    scale({0.58f, 0.60f, 0.63f}, 1.0f - 0.45f * (dx + dy) / 4.5f);
                            else if (d <= 4.5f && dx + dy > 0)
                                picture.at(x, y) = scale(picture.at(x, y), 0.6f);
                        });
                }
            }
        }
    }
    return picture;
}

// ---- rain: one pale streak ----------------------------------------------------------------------
// Rain lines sample this picture at its corners, so the corners hold the pale streak colour; the
// bright streak itself fills the middle. Long runs of one index and short stretches of changing
// ones make the run-length file use both of its modes.

IndexedPicture paintRainStreak() {
    constexpr int size = 128;
    std::vector<Colour> palette;
    for (int i = 0; i < 256; ++i)
        palette.push_back(mix({0.60f, 0.66f, 0.74f}, {0.97f, 0.98f, 1.0f}, i / 255.0f));
    IndexedPicture picture = makeIndexedPicture(size, size, palette);
    constexpr int background = 40;
    const float streaks[3][3] = {{64, 4.0f, 1.0f}, {28, 1.5f, 0.45f}, {101, 1.8f, 0.35f}};
    for (int y = 0; y < size; ++y) {
        float along = (y + 0.5f) / size;
        float fade = smoothStep(0.0f, 0.3f, along) * smoothStep(1.0f, 0.6f, along);
        for (int x = 0; x < size; ++x) {
            float value = 0;
            for (const auto& streak : streaks) {
                float d = (x + 0.5f - streak[0]) / streak[1];
                if (std::fabs(d) < 3) value = std::max(value, streak[2] * std::exp(-d * d));
            }
            float level = background + (255 - background) * value * fade;
            picture.at(x, y) = static_cast<uint8_t>(std::lround(level));
        }
    }
    return picture;
}

// ---- the axis cross's colours -------------------------------------------------------------------
// The cross colours +X by the texel at texture coordinate (1, 1), +Y by (1, 0) and the rest by
// (0, 0): four quadrants of clearly different colours. Row 0 here is the top of the picture,
// which is texture t = 1.

IndexedPicture paintAxisColours() {
    constexpr int size = 16;
    IndexedPicture picture = makeIndexedPicture(size, size,
                                                {{0.95f, 0.25f, 0.20f},
                                                 {0.25f, 0.85f, 0.30f},
                                                 {0.30f, 0.50f, 1.0f},
                                                 {0.95f, 0.85f, 0.25f}});
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            bool right = x >= size / 2, top = y < size / 2;
            picture.at(x, y) = right ? (top ? 0 : 1) : (top ? 3 : 2);
        }
    return picture;
}

// ---- fence: chain-link wire, its mask and its post
// -----------------------------------------------

constexpr float meshPeriod = 32;

// Distance from a pixel centre to the nearest wire of one diagonal family.
static float wireDistance(float along) {
    float m = std::fmod(along, meshPeriod);
    if (m < 0) m += meshPeriod;
    return std::min(m, meshPeriod - m) / std::sqrt(2.0f);
}

std::vector<float> fenceWireCoverage(int size) {
    std::vector<float> coverage(static_cast<size_t>(size) * size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            float px = x + 0.5f, py = y + 0.5f;
            float d = std::min(wireDistance(px + py), wireDistance(px - py));
            coverage[static_cast<size_t>(y) * size + x] = 1 - smoothStep(0.8f, 1.8f, d);
        }
    return coverage;
}

// The wire on black, so that it can be added over the scene where the mask has cut it out.
Picture paintFence(const std::vector<float>& coverage, int size) {
    Picture picture = makePicture(size, size, {0, 0, 0});
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            float px = x + 0.5f, py = y + 0.5f;
            // The twist of the wire shows as a glint repeating along it.
            float twist = 0.75f + 0.25f * std::sin((px - py) * 0.6f) * std::sin((px + py) * 0.6f);
            Colour wire = scale({0.70f, 0.72f, 0.74f}, twist);
            picture.at(x, y) = scale(wire, coverage[static_cast<size_t>(y) * size + x]);
        }
    return picture;
}

// Black where the object is, white around it: drawn first, it darkens exactly the object's shape.
IndexedPicture paintMask(const std::vector<float>& coverage, int width, int height) {
    IndexedPicture mask = makeIndexedPicture(width, height, {{0, 0, 0}, {1, 1, 1}});
    for (size_t i = 0; i < coverage.size(); ++i) mask.indices[i] = coverage[i] >= 0.5f ? 0 : 1;
    return mask;
}

// A galvanised round post lit from the left, with a domed cap at the top.
IndexedPicture paintFencePost() {
    constexpr int width = 64, height = 256, cap = 14;
    Random random(0x747963);
    std::vector<Colour> palette;
    for (int i = 0; i < 256; ++i)
        palette.push_back(mix({0.16f, 0.17f, 0.19f}, {0.90f, 0.92f, 0.94f}, i / 255.0f));
    IndexedPicture picture = makeIndexedPicture(width, height, palette);
    std::vector<float> streak(width);
    for (float& s : streak) s = random.range(-0.04f, 0.04f);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            float nx = (x + 0.5f) / width * 2 - 1;
            float facing = std::sqrt(std::max(0.0f, 1 - nx * nx));
            float light = 0.2f + 0.6f * std::max(0.0f, 0.85f * facing - 0.5f * nx);
            light += 0.3f * std::exp(-(nx + 0.35f) * (nx + 0.35f) / 0.015f) + streak[x];
            if (y < cap) light *= 0.8f + 0.2f * y / cap;
            if (y == cap || y == cap + 1) light *= 0.55f;
            light += random.range(-0.02f, 0.02f);
            picture.at(x, y) = static_cast<uint8_t>(std::lround(clamp01(light) * 255));
        }
    return picture;
}

// ---- shrub: leaves on black, for a picture and its mask
// ------------------------------------------

std::vector<float> shrubCoverage(int size, Picture* colours) {
    Random random(0x7a7576);
    *colours = makePicture(size, size, {0, 0, 0});
    std::vector<float> coverage(static_cast<size_t>(size) * size, 0);
    auto paint = [&](int x, int y, Colour c, float cover) {
        if (x < 0 || y < 0 || x >= size || y >= size || cover <= 0) return;
        float& have = coverage[static_cast<size_t>(y) * size + x];
        colours->at(x, y) = mix(colours->at(x, y), c, cover);
        have = std::max(have, cover);
    };
    // A short trunk under the crown.
    for (int y = size - 40; y < size; ++y)
        for (int x = size / 2 - 7; x <= size / 2 + 7; ++x)
            paint(x, y, scale({0.33f, 0.22f, 0.13f}, 0.8f + 0.3f * std::sin(x * 1.3f)), 1);
    // Leaves, darker ones first and deep in the crown, lit ones last and on top.
    const float centreX = size * 0.5f, centreY = size * 0.5f;
    for (int leaf = 0; leaf < 1400; ++leaf) {
        float angle = random.range(0, 6.2832f);
        float reach = std::sqrt(random.uniform()) * (0.9f + 0.06f * std::sin(angle * 3));
        float cx = centreX + std::cos(angle) * reach * size * 0.42f;
        float cy = centreY + std::sin(angle) * reach * size * 0.38f;
        float length = random.range(5, 9), breadth = length * random.range(0.35f, 0.5f);
        float turn = random.range(0, 3.14159f), c = std::cos(turn), s = std::sin(turn);
        float light = 0.45f + 0.55f * (leaf / 1400.0f) * (1.1f - (cy / size) * 0.6f);
        Colour colour =
            scale(mix({0.10f, 0.30f, 0.08f}, {0.30f, 0.55f, 0.12f}, random.uniform()), light);
        forEachNear(size, size, cx, cy, length + 1, [&](int, int, float dx, float dy) {
            int x = static_cast<int>(std::floor(cx + dx)),
                y = static_cast<int>(std::floor(cy + dy));
            float a = (dx * c + dy * s) / length, b = (dy * c - dx * s) / breadth;
            float d = a * a + b * b;
            Colour shaded = std::fabs(b) < 0.15f ? scale(colour, 0.8f) : colour;  // midrib
            paint(x, y, shaded, clamp01((1 - d) * 4));
        });
    }
    return coverage;
}

// ---- wood: planks with grain --------------------------------------------------------------------

IndexedPicture paintWood() {
    constexpr int plankWidth = 64, tones = 64;
    Random random(0x647265);
    std::vector<Colour> palette;
    for (int i = 0; i < tones; ++i)
        palette.push_back(mix({0.24f, 0.13f, 0.06f}, {0.80f, 0.60f, 0.37f}, i / float(tones - 1)));
    IndexedPicture picture = makeIndexedPicture(bigSize, bigSize, palette);
    auto warp = makeOctaves(4, 3, random);
    auto fibre = makeOctaves(64, 2, random);
    for (int plank = 0; plank < bigSize / plankWidth; ++plank) {
        float ringCentre = random.range(-40, 100), ringScale = random.range(0.35f, 0.6f);
        float shade = random.range(-0.08f, 0.08f);
        int joint = static_cast<int>(random.range(0, bigSize));
        for (int y = 0; y < bigSize; ++y)
            for (int lx = 0; lx < plankWidth; ++lx) {
                int x = plank * plankWidth + lx;
                float u = x / float(bigSize), v = y / float(bigSize);
                // Grain runs along the plank: rings of a log cut lengthwise, bent by noise.
                float ring = std::fabs(lx - ringCentre) * ringScale + 14 * fractalNoise(warp, u, v);
                float band = 0.5f + 0.5f * std::sin(ring);
                float tone = 0.45f + shade + 0.25f * band * band + 0.2f * fractalNoise(fibre, u, v);
                if (lx == 0)
                    tone = 0.05f;
                else if (lx == 1 || lx == plankWidth - 1)
                    tone *= 0.6f;
                if (y == joint) tone = 0.08f;
                picture.at(x, y) = static_cast<uint8_t>(std::lround(clamp01(tone) * (tones - 1)));
            }
    }
    return picture;
}
