#include "widgets/Dib.h"

#include "WidgetsTestWindow.h"

#include <gtest/gtest.h>

#include <vector>

TEST(Dib, CreateLaysOutHeaderPaletteAndRowsInOneBlock)
{
    struct Case {
        int bitCount;
        int paletteSize;
        int rowBytes;  // of a 10-pixel row
    };
    const Case cases[] = {{1, 2, 4}, {4, 16, 8}, {8, 256, 12}, {24, 0, 32}, {32, 0, 40}};
    for (const Case& c : cases) {
        Dib dib;
        BYTE* block = dib.create(10, 3, c.bitCount);
        ASSERT_NE(block, nullptr) << c.bitCount << " bits";
        const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(block);
        EXPECT_EQ(header->biSize, 40u);
        EXPECT_EQ(header->biWidth, 10);
        EXPECT_EQ(header->biHeight, 3) << "rows must be stored bottom-up";
        EXPECT_EQ(header->biPlanes, 1);
        EXPECT_EQ(header->biBitCount, c.bitCount);
        EXPECT_EQ(header->biCompression, static_cast<DWORD>(BI_RGB));
        EXPECT_EQ(header->biSizeImage, static_cast<DWORD>(c.rowBytes * 3)) << c.bitCount << " bits";
        EXPECT_EQ(dib.rowBytes(), c.rowBytes) << c.bitCount << " bits";
        EXPECT_EQ(dib.paletteSize(), c.paletteSize) << c.bitCount << " bits";
        EXPECT_EQ(dib.bits(), block + 40 + 4 * c.paletteSize) << c.bitCount << " bits";
    }
}

TEST(Dib, WithoutBlockEveryCallLeavesItEmpty)
{
    Dib dib;
    EXPECT_EQ(dib.create(-1, 4, 8), nullptr) << "a negative width must be refused";
    dib.setPixel(0, 0, 1);
    dib.clear(3);
    dib.blendPalette(RGB(1, 2, 3), 50);
    dib.setPaletteEntry(0, 1, 2, 3);
    EXPECT_EQ(dib.bits(), nullptr) << "a call on an empty image made pixels";
    EXPECT_EQ(dib.palette(), nullptr) << "a call on an empty image made a palette";
    EXPECT_EQ(dib.width() + dib.height() + dib.rowBytes() + dib.paletteSize(), 0) << "an empty image has no size";
}

TEST(Dib, SetPaletteEntryStoresBlueGreenRedAndUsesTheLowByteOfTheIndex)
{
    Dib dib;
    ASSERT_NE(dib.create(2, 2, 8), nullptr);
    dib.setPaletteEntry(256 + 5, 10, 20, 30);
    const RGBQUAD& entry = dib.palette()[5];
    EXPECT_EQ(entry.rgbRed, 10);
    EXPECT_EQ(entry.rgbGreen, 20);
    EXPECT_EQ(entry.rgbBlue, 30);
    EXPECT_EQ(entry.rgbReserved, 0);

    Dib small;
    ASSERT_NE(small.create(2, 2, 4), nullptr);
    for (int i = 0; i < 16; ++i)
        small.setPaletteEntry(i, 0, 0, 0);
    small.setPaletteEntry(20, 1, 1, 1);
    const BYTE* block = reinterpret_cast<const BYTE*>(small.palette());
    for (int i = 0; i < 16 * 4; ++i)
        EXPECT_EQ(block[i], 0) << "entry 20 of a 16-colour palette must be ignored";
}

TEST(Dib, BlendPaletteMixesTowardColourAndCapsPercentAtHundred)
{
    struct Case {
        int percent;
        BYTE red, green, blue;  // entry (200, 100, 0) blended toward (0, 50, 255)
    };
    const Case cases[] = {
        {0, 200, 100, 0},
        {10, 180, 95, 25},   // (t·10 + c·90) / 100
        {50, 100, 75, 127},
        {100, 0, 50, 255},
        {150, 0, 50, 255},   // above 100 acts as 100
    };
    for (const Case& c : cases) {
        Dib dib;
        ASSERT_NE(dib.create(1, 1, 8), nullptr);
        for (int i = 0; i < 256; ++i)
            dib.setPaletteEntry(i, 200, 100, 0);
        dib.blendPalette(RGB(0, 50, 255), c.percent);
        for (int i = 0; i < 256; i += 85) {
            const RGBQUAD& e = dib.palette()[i];
            EXPECT_EQ(e.rgbRed, c.red) << "percent " << c.percent;
            EXPECT_EQ(e.rgbGreen, c.green) << "percent " << c.percent;
            EXPECT_EQ(e.rgbBlue, c.blue) << "percent " << c.percent;
        }
    }
}

TEST(Dib, SetPixelCountsRowsFromTheTopAndIgnoresPointsOutside)
{
    Dib dib;
    ASSERT_NE(dib.create(4, 3, 8), nullptr);
    dib.clear(0);
    dib.setPixel(1, 0, 7);
    EXPECT_EQ(dib.bits()[2 * dib.rowBytes() + 1], 7) << "y = 0 is the top row, stored last";
    dib.setPixel(3, 2, 9);
    EXPECT_EQ(dib.bits()[3], 9) << "the bottom row is stored first";

    std::vector<BYTE> before(dib.bits(), dib.bits() + 3 * dib.rowBytes());
    const POINT outside[] = {{-1, 0}, {4, 0}, {0, 3}, {0, -1}, {100, 100}};
    for (const POINT& p : outside) {
        dib.setPixel(p.x, p.y, 0xEE);
        EXPECT_EQ(std::vector<BYTE>(dib.bits(), dib.bits() + 3 * dib.rowBytes()), before)
            << "setPixel(" << p.x << "," << p.y << ") changed the image";
    }
}

TEST(Dib, CopyFromDuplicatesHeaderPaletteAndPixels)
{
    Dib source;
    ASSERT_NE(source.create(5, 2, 8), nullptr);
    for (int i = 0; i < 256; ++i)
        source.setPaletteEntry(i, static_cast<BYTE>(i), 0, static_cast<BYTE>(255 - i));
    for (int i = 0; i < 2 * source.rowBytes(); ++i)
        source.bits()[i] = static_cast<BYTE>(i * 3);

    Dib copy;
    ASSERT_NE(copy.copyFrom(source), nullptr);
    EXPECT_EQ(copy.width(), 5);
    EXPECT_EQ(copy.height(), 2);
    EXPECT_EQ(copy.bitCount(), 8);
    EXPECT_EQ(0, memcmp(copy.palette(), source.palette(), 256 * 4));
    EXPECT_EQ(0, memcmp(copy.bits(), source.bits(), 2 * source.rowBytes()));
    EXPECT_NE(copy.bits(), source.bits()) << "the copy must own its own block";
}

TEST(Dib, DrawShowsTheCurrentPixelsAndPaletteEveryTime)
{
    Dib dib;
    ASSERT_NE(dib.create(3, 2, 8), nullptr);
    dib.setPaletteEntry(0, 10, 20, 30);
    dib.setPaletteEntry(1, 200, 100, 50);
    dib.clear(0);
    dib.setPixel(0, 0, 1);  // top-left

    TestCanvas canvas(8, 8);
    dib.draw(canvas.dc(), 2, 3);
    EXPECT_EQ(canvas.pixel(2, 3), RGB(200, 100, 50)) << ColourText(canvas.pixel(2, 3));
    EXPECT_EQ(canvas.pixel(4, 4), RGB(10, 20, 30)) << ColourText(canvas.pixel(4, 4));
    EXPECT_EQ(canvas.pixel(5, 3), RGB(255, 255, 255)) << "drawn outside its 3x2 pixels";

    // The section made by the first draw must not freeze what is shown.
    dib.setPixel(2, 1, 1);
    dib.blendPalette(RGB(0, 0, 0), 100);
    dib.draw(canvas.dc(), 2, 3);
    EXPECT_EQ(canvas.pixel(4, 4), RGB(0, 0, 0)) << ColourText(canvas.pixel(4, 4));
}
