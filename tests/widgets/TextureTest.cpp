#include "widgets/Texture.h"

#include "WidgetsTestWindow.h"

#include <gtest/gtest.h>

#include <vector>

namespace {
const TextureColours kColours{RGB(10, 20, 30), RGB(100, 110, 120), RGB(250, 240, 230)};

// rand() as the given draws, repeated from the first when they run out.
TextureRandom Draws(std::vector<int> draws)
{
    size_t n = 0;
    return [draws, n]() mutable { return draws[n++ % draws.size()]; };
}

struct PaletteCase {
    int entry;
    COLORREF colour;
};

// Row 0 is the bottom row: the rows are stored bottom-up.
int PixelAt(const Dib& dib, int x, int storageRow)
{
    return dib.bits()[storageRow * dib.rowBytes() + x];
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
    ASSERT_TRUE(BuildTexture(dib, kTextureSoftBump, 4, 4, 8, kColours, 0, RGB(255, 0, 0), Draws({0})));
    // Entry i up to 127: shadow + i·(face − shadow) / 128; from 128 on, i − 127
    // 128ths of the way from the face to the highlight.
    const PaletteCase cases[] = {
        {0, kColours.shadow}, {64, RGB(55, 65, 75)}, {127, RGB(99, 109, 119)},
        {128, RGB(101, 111, 120)},  // (127·100 + 250) / 128 = 101, (127·110 + 240) / 128 = 111, ...
        {191, RGB(175, 175, 175)},  // halfway: (100 + 250) / 2, (110 + 240) / 2, (120 + 230) / 2
        {255, kColours.highlight},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ColourText(PaletteEntry(dib, c.entry)), ColourText(c.colour)) << "palette entry " << c.entry;
}

TEST(Texture, ColoringBlendsThePaletteTowardTheColourAndLeavesThePixels)
{
    Dib plain, tinted;
    ASSERT_TRUE(BuildTexture(plain, kTextureNoise, 3, 3, 8, kColours, 0, RGB(0, 0, 255), Draws({0, 9000, 32767})));
    ASSERT_TRUE(BuildTexture(tinted, kTextureNoise, 3, 3, 8, kColours, 30, RGB(0, 0, 255), Draws({0, 9000, 32767})));
    // 30 % blue: red and green to 70 %, blue 70 % of its own plus 30 % of 255.
    const PaletteCase cases[] = {{0, RGB(7, 14, 97)}, {64, RGB(38, 45, 129)}, {255, RGB(175, 168, 237)}};
    for (const auto& c : cases)
        EXPECT_EQ(ColourText(PaletteEntry(tinted, c.entry)), ColourText(c.colour)) << "tinted entry " << c.entry;
    for (int i = 0; i < 9; ++i)
        ASSERT_EQ(PixelAt(tinted, i % 3, i / 3), PixelAt(plain, i % 3, i / 3)) << "coloring changed pixel " << i;
}

TEST(Texture, PatternsWithoutNoiseMatchHandComputedValues)
{
    // Granularity 0 and rand() always 0: every noise sample is 0 / 32767 − 0 = 0,
    // and the metal pattern's scratches all have length 0. 12 × 9 unless given.
    struct Case {
        int type, x, storageRow, value;
        int width = 12, height = 9;
        UINT dpi = 96;
    };
    const Case cases[] = {
        // (y·255) / 9: dark at the bottom, 2040 / 9 at the top.
        {kTextureHorizontalBands, 3, 0, 0}, {kTextureHorizontalBands, 3, 8, 226},
        // ((12 − x)·255) / 12: light at the left, 255 / 12 at the right.
        {kTextureVerticalBands, 0, 4, 255}, {kTextureVerticalBands, 11, 4, 21},
        // 8·127 / 9 + 12·127 / 12 at the top left; 127 / 12 at the bottom right.
        {kTextureDiagonalShade, 0, 8, 239}, {kTextureDiagonalShade, 11, 0, 10},
        // 128 + cube(−127) + cube(128) = 128 − 125 + 128
        {kTextureSoftBump, 0, 0, 131},
        {kTextureHorizontalBump, 5, 0, 3},  // 128 + cube(−127)
        // 128 + cube(128) wraps to 0 at the left; 128 + cube(21 − 127) = 128 − 72 at the right.
        {kTextureVerticalBump, 0, 4, 0}, {kTextureVerticalBump, 11, 4, 56},
        // Bevel D = 2, h = 6, f = 4. Row 4, I = 4: the light edge 255 − x·64 at x < 2,
        // the dark edge (12 − x)·64 at x = 11, the row value 128 + cube(−14) = 128 between.
        {kTextureHardBump, 0, 4, 255}, {kTextureHardBump, 1, 4, 191},
        {kTextureHardBump, 11, 4, 64}, {kTextureHardBump, 5, 4, 128},
        // Row 0, I = 32 / 20 + 4 = 5: the light edge at x = 0 only, no dark edge, else 128 + cube(−127).
        {kTextureHardBump, 11, 0, 3}, {kTextureHardBump, 0, 0, 255},
        // E = 107: 0 + 12·107 / 12 at the bottom left, 8·107 / 9 + 107 / 12 at the top right.
        {kTextureMetal, 0, 0, 107}, {kTextureMetal, 11, 8, 103},
        {kTextureNoise, 6, 6, 128},
        // The smallest drawable sizes are drawn, not left plain (128).
        {kTextureHardBump, 0, 0, 3, 1, 2}, {kTextureMetal, 0, 0, 107, 1, 1},
        // 300 wide, the bevel at most 16 pixels at 100 %, 24 at 150 %: row 4, I = 150 − D,
        // the light edge 255 − x·128 / D ends at x = D − 1.
        {kTextureHardBump, 15, 4, 135, 300}, {kTextureHardBump, 16, 4, 128, 300},
        {kTextureHardBump, 23, 4, 133, 300, 9, 144}, {kTextureHardBump, 24, 4, 128, 300, 9, 144},
    };
    for (const Case& c : cases) {
        Dib dib;
        ASSERT_TRUE(BuildTexture(dib, c.type, c.width, c.height, 0, kColours, 0, 0, Draws({0}), c.dpi));
        EXPECT_EQ(PixelAt(dib, c.x, c.storageRow), c.value) << "type " << c.type << " " << c.width << "x" << c.height
                                                            << " at x=" << c.x << ", storage row " << c.storageRow
                                                            << ", " << c.dpi << " DPI";
    }
}

TEST(Texture, GranularityNarrowsThePatternsAndBoundsTheirNoise)
{
    // Granularity 8: a noise sample is rand() / (32767 / 16) − 8, so −8 for 0,
    // +8 for 32767 and 0 for 16383; C = 239, M = 120. The metal's noise is
    // rand() / 2047 without the −8: 0 for rand() 0.
    std::vector<int> scratch(200 * 4 + 12 * 9, 0);
    // One scratch from x0 = 13650 / 2730 = 5, y0 = 10920 / 3640 = 3 (from the
    // top), length 21840 / 3640 = 6, colour 32760 / 819 = 40: (5, 3), (4, 4),
    // (3, 5) down to the left and (7, 3), (8, 2), (9, 1) up to the right.
    scratch[0] = 13650, scratch[1] = 10920, scratch[2] = 21840, scratch[3] = 32760;
    struct Case {
        int type, x, storageRow, value;
        std::vector<int> draws;
    };
    const Case cases[] = {
        {kTextureNoise, 3, 3, 120, {0}}, {9, 3, 3, 136, {32767}},  // any other type is noise too
        {kTextureHorizontalBands, 3, 0, 8, {16383}}, {kTextureHorizontalBands, 3, 8, 220, {16383}},  // 8 + 8·239 / 9
        {kTextureHorizontalBands, 1, 0, 16, {0, 32767}},  // a sample for every pixel, not one per row
        {kTextureVerticalBands, 0, 4, 247, {16383}},      // 8 + 12·239 / 12
        {kTextureDiagonalShade, 0, 8, 232, {16383}},      // 8 + 8·119 / 9 + 12·119 / 12
        {kTextureHorizontalBump, 5, 0, 11, {16383}},      // 128 + (−125·120) / 128
        {kTextureVerticalBump, 11, 4, 61, {16383}},       // 128 + (−72·120) / 128
        {kTextureSoftBump, 0, 0, 130, {16383}},           // 128 + (3·120) / 128
        {kTextureSoftBump, 11, 0, 8, {16383}},            // 128 + (−125 − 72)·120 / 128 = −56, held at 8
        {kTextureHardBump, 5, 0, 19, {16383}},            // 128 + (−125·56·2) / 128
        {kTextureHardBump, 0, 4, 247, {16383}}, {kTextureHardBump, 11, 4, 72, {16383}},  // 255 − 8; 8 + 128 / 2
        // E = 99; the colour 40 under the shade: 40 + 5·99 / 9 + 7·99 / 12 at (5, 3), storage row 5.
        {kTextureMetal, 5, 5, 152, scratch}, {kTextureMetal, 8, 6, 139, scratch},  // 40 + 66 + 33
        {kTextureMetal, 6, 5, 104, scratch}, {kTextureMetal, 0, 0, 99, scratch},    // no scratch there
    };
    for (const Case& c : cases) {
        Dib dib;
        ASSERT_TRUE(BuildTexture(dib, c.type, 12, 9, 8, kColours, 0, 0, Draws(c.draws)));
        EXPECT_EQ(PixelAt(dib, c.x, c.storageRow), c.value)
            << "type " << c.type << " at x=" << c.x << ", storage row " << c.storageRow << ", rand() " << c.draws[0];
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
            ASSERT_TRUE(BuildTexture(dib, type, s.w, s.h, 8, kColours, 0, 0, Draws({0, 32767, 9000})))
                << "type " << type << " at " << s.w << "x" << s.h;
            EXPECT_EQ(PaletteEntry(dib, 255), kColours.highlight) << "the palette is set for every size";
            ASSERT_EQ(dib.width() * dib.height(), s.w * s.h);
            if (TextureSizeIsDrawable(type, s.w, s.h))
                continue;  // drawn: see the smallest sizes among the hand-computed pixels
            for (int i = 0; i < s.w * s.h; ++i)
                ASSERT_EQ(PixelAt(dib, i % s.w, i / s.w), kTextureFaceIndex)
                    << "type " << type << " at " << s.w << "x" << s.h;
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
