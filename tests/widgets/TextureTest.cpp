#include "widgets/Texture.h"

#include "WidgetsTestWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {
const TextureColours kColours{RGB(10, 20, 30), RGB(100, 110, 120), RGB(250, 240, 230)};

// A fixed sequence over 0..32767, so that texture and expectation draw the
// same samples.
struct CounterRandom {
    int n = 0;
    int operator()() { return (n++ * 4099 + 17) % 32768; }
};

int ZeroRandom()
{
    return 0;
}

// The texture's pixels in storage order (row 0 is the bottom row).
std::vector<int> Pixels(const Dib& dib)
{
    std::vector<int> out;
    for (int y = 0; y < dib.height(); ++y)
        for (int x = 0; x < dib.width(); ++x)
            out.push_back(dib.bits()[y * dib.rowBytes() + x]);
    return out;
}

int Cube(int v)
{
    return v * v * v / 128 / 128;
}

// The patterns written out once more from their formulas, independently of
// the production code's structure.
std::vector<int> ExpectedPattern(int type, int W, int H, int g)
{
    CounterRandom random;
    const int Q = 32767 / (g ? 2 * g : 1);
    auto noise = [&] { return random() / Q - g; };
    const int C = 255 - 2 * g, M = 128 - g;
    std::vector<int> px(static_cast<size_t>(W * H));
    auto at = [&](int x, int y) -> int& { return px[static_cast<size_t>(y * W + x)]; };

    if (type == kTextureMetal) {
        std::fill(px.begin(), px.end(), 0);
        auto plot = [&](int x, int top, int value) {
            if (x >= 0 && x < W && top >= 0 && top < H)
                at(x, H - 1 - top) = value;
        };
        for (int k = 0; k < 200; ++k) {
            int x0 = random() / (32767 / W), y0 = random() / (32767 / H);
            int n = random() / (32767 / std::min(W, H));
            int colour = random() / 819;
            for (int i = 0; i < n / 2; ++i) {
                if (x0 - i > 0 && y0 + i < H)
                    plot(x0 - i, y0 + i, colour);
                if (x0 + i < W && y0 - i > 0)
                    plot(W - x0 + i, y0 - i, colour);
            }
        }
        const int E = (215 - 2 * g) / 2;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                at(x, y) = (at(x, y) + (y * E) / H + ((W - x) * E) / W + random() / Q) & 0xFF;
        return px;
    }

    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            int v;
            switch (type) {
            case kTextureDiagonalShade:
                v = g + (y * (C / 2)) / H + ((W - x) * (C / 2)) / W;
                break;
            case kTextureHorizontalBands:
                v = g + (y * C) / H;
                break;
            case kTextureVerticalBands:
                v = g + ((W - x) * C) / W;
                break;
            case kTextureHorizontalBump:
                v = 128 + (Cube(255 * y / H - 127) * M) / 128;
                break;
            case kTextureVerticalBump:
                v = 128 + (Cube(255 * (W - x) / W - 127) * M) / 128;
                break;
            case kTextureSoftBump:
                v = 128 + ((Cube(255 * y / H - 127) + Cube(255 * (W - x) / W - 127)) * M) / 128;
                v = std::min(std::max(v, g), 255 - g);
                break;
            case kTextureHardBump:
                v = 128 + (Cube(255 * y / H - 127) * (64 - g) * 2) / 128;
                break;
            default:
                v = 128;
                break;
            }
            at(x, y) = (v + noise()) & 0xFF;
        }

    if (type == kTextureHardBump) {
        const int D = std::min(W / 6, 16), h = W / 2, f = H / 2;
        for (int y = 0; y < H; ++y) {
            const int I = (D * (y - f)) * (y - f) / (H * H / 4) + h - D;
            for (int x = 0; x < W; ++x) {
                if (D > 0 && I < x - h)
                    at(x, y) = (g + ((W - x) * 128) / D) & 0xFF;
                if (D > 0 && I + (x - h) < 0)
                    at(x, y) = ((255 - g) - (x * 128) / D) & 0xFF;
                at(x, y) = (at(x, y) + noise()) & 0xFF;
            }
        }
    }
    return px;
}

COLORREF Entry(const Dib& dib, int i)
{
    const RGBQUAD& e = dib.palette()[i];
    return RGB(e.rgbRed, e.rgbGreen, e.rgbBlue);
}
}

TEST(Texture, CubeTruncatesEachDivisionTowardZero)
{
    const int cases[][2] = {{127, 125}, {-127, -125}, {128, 128}, {-1, 0}, {50, 7}, {-50, -7}, {0, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(TextureCube(c[0]), c[1]) << "cube(" << c[0] << ")";
}

TEST(Texture, PaletteRunsFromShadowThroughFaceToHighlight)
{
    Dib dib;
    ASSERT_TRUE(BuildTexture(dib, kTextureSoftBump, 4, 4, 8, kColours, 0, RGB(255, 0, 0), CounterRandom()));
    EXPECT_EQ(Entry(dib, 0), kColours.shadow) << "entry 0 must be the shadow colour";
    EXPECT_EQ(Entry(dib, 255), kColours.highlight) << "entry 255 must be the highlight colour";
    // Entry 64: S + 64·(F − S) / 128; entry 128 was rewritten by the upper half.
    EXPECT_EQ(Entry(dib, 64), RGB(55, 65, 75)) << ColourText(Entry(dib, 64));
    EXPECT_EQ(Entry(dib, 127), RGB(99, 109, 119)) << ColourText(Entry(dib, 127));
    EXPECT_EQ(Entry(dib, 128), RGB((127 * 100 + 250) / 128, (127 * 110 + 240) / 128, (127 * 120 + 230) / 128))
        << ColourText(Entry(dib, 128));
    EXPECT_EQ(Entry(dib, 191), RGB((64 * 100 + 64 * 250) / 128, (64 * 110 + 64 * 240) / 128,
                                   (64 * 120 + 64 * 230) / 128))
        << ColourText(Entry(dib, 191));
}

TEST(Texture, ColoringBlendsEveryEntryTowardTheColour)
{
    Dib plain, tinted;
    ASSERT_TRUE(BuildTexture(plain, kTextureNoise, 3, 3, 8, kColours, 0, RGB(0, 0, 255), CounterRandom()));
    ASSERT_TRUE(BuildTexture(tinted, kTextureNoise, 3, 3, 8, kColours, 30, RGB(0, 0, 255), CounterRandom()));
    for (int i = 0; i < 256; ++i) {
        const RGBQUAD& p = plain.palette()[i];
        COLORREF expected = RGB(p.rgbRed * 70 / 100, p.rgbGreen * 70 / 100, (255 * 30 + p.rgbBlue * 70) / 100);
        ASSERT_EQ(Entry(tinted, i), expected) << "entry " << i << ": " << ColourText(Entry(tinted, i));
    }
    EXPECT_EQ(Pixels(plain), Pixels(tinted)) << "coloring must only change the palette";
}

TEST(Texture, EveryPatternFollowsItsFormula)
{
    const int W = 12, H = 9;
    for (int type = 0; type <= 9; ++type)
        for (int g : {8, 0, 3, 200}) {
            Dib dib;
            ASSERT_TRUE(BuildTexture(dib, type, W, H, static_cast<BYTE>(g), kColours, 0, 0, CounterRandom()));
            ASSERT_EQ(dib.width(), W);
            ASSERT_EQ(dib.height(), H);
            int expectedType = (type >= 1 && type <= 8) ? type : kTextureNoise;
            std::vector<int> expected = ExpectedPattern(expectedType, W, H, g);
            std::vector<int> actual = Pixels(dib);
            for (size_t i = 0; i < expected.size(); ++i)
                ASSERT_EQ(actual[i], expected[i]) << "type " << type << ", granularity " << g << ": pixel x="
                                                  << i % W << " storage row " << i / W;
        }
}

TEST(Texture, PatternsWithoutNoiseMatchHandComputedValues)
{
    // With rand() always 0 and granularity 0 every noise sample is 0.
    struct Case {
        int type, x, storageRow, value;
        int width = 12;
        UINT dpi = 96;
    };
    const Case cases[] = {
        {kTextureHorizontalBands, 3, 0, 0},     {kTextureHorizontalBands, 3, 8, 226},
        {kTextureVerticalBands, 0, 4, 255},     {kTextureVerticalBands, 11, 4, 21},
        {kTextureDiagonalShade, 0, 8, 239},     {kTextureDiagonalShade, 11, 0, 10},
        {kTextureSoftBump, 0, 0, 131},          {kTextureHorizontalBump, 5, 0, 3},
        {kTextureHardBump, 0, 4, 255},          {kTextureHardBump, 1, 4, 191},
        {kTextureHardBump, 11, 4, 64},          {kTextureHardBump, 5, 4, 128},
        {kTextureHardBump, 11, 0, 3},           {kTextureHardBump, 0, 0, 255},
        {kTextureMetal, 0, 0, 107},             {kTextureMetal, 11, 8, 103},
        {kTextureNoise, 6, 6, 128},
        // 300 wide, the bevel at most 16 pixels at 100 %, 24 at 150 %
        {kTextureHardBump, 15, 4, 135, 300},    {kTextureHardBump, 16, 4, 128, 300},
        {kTextureHardBump, 23, 4, 133, 300, 144}, {kTextureHardBump, 24, 4, 128, 300, 144},
    };
    for (const Case& c : cases) {
        Dib dib;
        ASSERT_TRUE(BuildTexture(dib, c.type, c.width, 9, 0, kColours, 0, 0, ZeroRandom, c.dpi));
        EXPECT_EQ(dib.bits()[c.storageRow * dib.rowBytes() + c.x], c.value)
            << "type " << c.type << " at x=" << c.x << ", storage row " << c.storageRow << ", " << c.dpi << " DPI";
    }
}

TEST(Texture, SizesThatWouldDivideByZeroGiveAPlainFaceTexture)
{
    struct Size {
        int w, h;
    };
    const Size sizes[] = {{0, 0}, {1, 1}, {5, 1}, {0, 5}, {5, 0}, {1, 2}, {2, 1}, {5, 9}};
    for (int type = 0; type <= 9; ++type)
        for (const Size& s : sizes) {
            Dib dib;
            ASSERT_TRUE(BuildTexture(dib, type, s.w, s.h, 8, kColours, 0, 0, CounterRandom()))
                << "type " << type << " at " << s.w << "x" << s.h;
            EXPECT_EQ(Entry(dib, 255), kColours.highlight) << "the palette is set for every size";
            std::vector<int> pixels = Pixels(dib);
            ASSERT_EQ(pixels.size(), static_cast<size_t>(s.w * s.h));
            if (!TextureSizeIsDrawable(type, s.w, s.h)) {
                for (int p : pixels)
                    ASSERT_EQ(p, kTextureFaceIndex) << "type " << type << " at " << s.w << "x" << s.h;
            } else {
                int expectedType = (type >= 1 && type <= 8) ? type : kTextureNoise;
                EXPECT_EQ(pixels, ExpectedPattern(expectedType, s.w, s.h, 8))
                    << "type " << type << " at " << s.w << "x" << s.h;
            }
        }
}

TEST(Texture, SizeIsDrawableExactlyWhenNoFormulaDividesByZero)
{
    struct Case {
        int type, w, h;
        bool drawable;
    };
    const Case cases[] = {
        {kTextureNoise, 0, 0, false},   {kTextureNoise, 1, 1, true},      {kTextureDiagonalShade, 0, 3, false},
        {kTextureDiagonalShade, 1, 1, true}, {kTextureHardBump, 12, 1, false}, {kTextureHardBump, 1, 2, true},
        {kTextureHardBump, 5, 9, true}, {kTextureMetal, 1, 1, true},      {kTextureMetal, 32768, 2, false},
        {kTextureSoftBump, 3, 32768, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TextureSizeIsDrawable(c.type, c.w, c.h), c.drawable)
            << "type " << c.type << " at " << c.w << "x" << c.h;
}
