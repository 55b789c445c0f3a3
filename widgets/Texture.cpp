#include "widgets/Texture.h"

#include <algorithm>

namespace {
// The metal pattern's 32767 / W needs W at most 32767; the products of the
// other formulas stay within int up to that size.
const int kMaxSide = 32767;
const int kRandMax = 32767;
// The widest bevel of the hard bump at 100 %.
const int kMaxBevel = 16;

struct Canvas {
    Dib& dib;
    int width;
    int height;
    // Row y counts in storage order: y = 0 is the bottom row of the picture.
    BYTE& at(int x, int y) { return dib.bits()[static_cast<size_t>(y) * dib.rowBytes() + x]; }
    void set(int x, int y, int value) { at(x, y) = static_cast<BYTE>(value); }
    void add(int x, int y, int value) { at(x, y) = static_cast<BYTE>(at(x, y) + value); }
};

struct Noise {
    const TextureRandom& random;
    int granularity;
    int quantum;
    Noise(const TextureRandom& r, int g) : random(r), granularity(g)
    {
        int spread = g > 0 ? 2 * g : 1;
        quantum = std::max(1, kRandMax / spread);
    }
    // About -g..+g.
    int centred() const { return random() / quantum - granularity; }
    // About 0..2g.
    int positive() const { return random() / quantum; }
};

int Channel(COLORREF colour, int shift)
{
    return static_cast<int>((colour >> shift) & 0xFF);
}

void FillNoise(Canvas& c, const Noise& noise)
{
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
            c.set(x, y, 128 + noise.centred());
}

void FillDiagonalShade(Canvas& c, const Noise& noise, int g)
{
    const int C = 255 - 2 * g;
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
            c.set(x, y, g + (y * (C / 2)) / c.height + ((c.width - x) * (C / 2)) / c.width + noise.centred());
}

void FillHorizontalBands(Canvas& c, const Noise& noise, int g)
{
    const int C = 255 - 2 * g;
    for (int y = 0; y < c.height; ++y) {
        int row = g + (y * C) / c.height;
        for (int x = 0; x < c.width; ++x)
            c.set(x, y, row + noise.centred());
    }
}

void FillVerticalBands(Canvas& c, const Noise& noise, int g)
{
    const int C = 255 - 2 * g;
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
            c.set(x, y, g + ((c.width - x) * C) / c.width + noise.centred());
}

int RowBump(const Canvas& c, int y)
{
    return TextureCube(255 * y / c.height - 127);
}

int ColumnBump(const Canvas& c, int x)
{
    return TextureCube(255 * (c.width - x) / c.width - 127);
}

void FillHorizontalBump(Canvas& c, const Noise& noise, int g)
{
    const int M = 128 - g;
    for (int y = 0; y < c.height; ++y) {
        int row = 128 + (RowBump(c, y) * M) / 128;
        for (int x = 0; x < c.width; ++x)
            c.set(x, y, row + noise.centred());
    }
}

void FillVerticalBump(Canvas& c, const Noise& noise, int g)
{
    const int M = 128 - g;
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x)
            c.set(x, y, 128 + (ColumnBump(c, x) * M) / 128 + noise.centred());
}

void FillSoftBump(Canvas& c, const Noise& noise, int g)
{
    const int M = 128 - g;
    for (int y = 0; y < c.height; ++y)
        for (int x = 0; x < c.width; ++x) {
            int value = 128 + ((RowBump(c, y) + ColumnBump(c, x)) * M) / 128;
            if (value < g)
                value = g;
            if (value > 255 - g)
                value = 255 - g;
            c.set(x, y, value + noise.centred());
        }
}

void FillHardBump(Canvas& c, const Noise& noise, int g, int maxBevel)
{
    const int W = c.width, H = c.height;
    for (int y = 0; y < H; ++y) {
        int row = 128 + (RowBump(c, y) * (64 - g) * 2) / 128;
        for (int x = 0; x < W; ++x)
            c.set(x, y, row + noise.centred());
    }

    // The bevels: D pixels wide at mid-height, narrowing along a parabola to
    // nothing at the top and bottom. Below 6 pixels of width D is 0 and no
    // column can reach a bevel anyway.
    const int D = std::min(W / 6, maxBevel);
    const int h = W / 2;
    const int f = H / 2;
    const int quarterSquare = H * H / 4;  // H >= 2, so never 0
    for (int y = 0; y < H; ++y) {
        long long curve = static_cast<long long>(D * (y - f)) * (y - f) / quarterSquare;
        int I = static_cast<int>(curve) + h - D;
        for (int x = 0; x < W; ++x) {
            int cx = x - h;
            if (D > 0) {
                if (I < cx)
                    c.set(x, y, g + ((W - x) * 128) / D);
                if (I + cx < 0)
                    c.set(x, y, (255 - g) - (x * 128) / D);
            }
            c.add(x, y, noise.centred());
        }
    }
}

void FillMetal(Canvas& c, const Noise& noise, int g)
{
    const int W = c.width, H = c.height;
    c.dib.clear(0);
    const int xStep = kRandMax / W;
    const int yStep = kRandMax / H;
    const int lengthStep = kRandMax / std::min(W, H);
    for (int scratch = 0; scratch < 200; ++scratch) {
        int x0 = noise.random() / xStep;
        int y0 = noise.random() / yStep;
        int length = noise.random() / lengthStep;
        BYTE colour = static_cast<BYTE>(noise.random() / 819);
        for (int i = 0; i < length / 2; ++i) {
            if (x0 - i > 0 && y0 + i < H)
                c.dib.setPixel(x0 - i, y0 + i, colour);
            if (x0 + i < W && y0 - i > 0)
                c.dib.setPixel(W - x0 + i, y0 - i, colour);
        }
    }
    const int E = (215 - 2 * g) / 2;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            c.add(x, y, (y * E) / H + ((W - x) * E) / W + noise.positive());
}
}

int TextureCube(int v)
{
    return v * v * v / 128 / 128;
}

void FillTexturePalette(Dib& dib, const TextureColours& colours)
{
    const int shifts[3] = {0, 8, 16};  // red, green, blue within a COLORREF
    int entry[3];
    for (int i = 0; i <= 128; ++i) {
        for (int k = 0; k < 3; ++k) {
            int s = Channel(colours.shadow, shifts[k]), f = Channel(colours.face, shifts[k]);
            entry[k] = (128 * s + i * (f - s)) / 128;
        }
        dib.setPaletteEntry(i, static_cast<BYTE>(entry[0]), static_cast<BYTE>(entry[1]), static_cast<BYTE>(entry[2]));
    }
    // Starting at 128 again on purpose: the upper half begins just above the face.
    for (int i = 1; i <= 128; ++i) {
        for (int k = 0; k < 3; ++k) {
            int f = Channel(colours.face, shifts[k]), l = Channel(colours.highlight, shifts[k]);
            entry[k] = ((128 - i) * f + i * l) / 128;
        }
        dib.setPaletteEntry(127 + i, static_cast<BYTE>(entry[0]), static_cast<BYTE>(entry[1]),
                            static_cast<BYTE>(entry[2]));
    }
}

bool TextureSizeIsDrawable(int type, int width, int height)
{
    if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide)
        return false;
    // H·H / 4 is the divisor of the bevel curve.
    if (type == kTextureHardBump && height < 2)
        return false;
    return true;
}

bool BuildTexture(Dib& dib, int type, int width, int height, BYTE granularity,
                  const TextureColours& colours, BYTE coloring, COLORREF colour,
                  const TextureRandom& random, UINT dpi)
{
    if (!dib.create(std::max(width, 0), std::max(height, 0), 8))
        return false;
    FillTexturePalette(dib, colours);
    dib.blendPalette(colour, coloring);

    if (!TextureSizeIsDrawable(type, width, height)) {
        dib.clear(kTextureFaceIndex);
        return true;
    }

    Canvas canvas{dib, width, height};
    const int g = granularity;
    Noise noise(random, g);
    switch (type) {
    case kTextureDiagonalShade:
        FillDiagonalShade(canvas, noise, g);
        break;
    case kTextureHorizontalBands:
        FillHorizontalBands(canvas, noise, g);
        break;
    case kTextureVerticalBands:
        FillVerticalBands(canvas, noise, g);
        break;
    case kTextureHorizontalBump:
        FillHorizontalBump(canvas, noise, g);
        break;
    case kTextureVerticalBump:
        FillVerticalBump(canvas, noise, g);
        break;
    case kTextureSoftBump:
        FillSoftBump(canvas, noise, g);
        break;
    case kTextureHardBump:
        FillHardBump(canvas, noise, g, ScaleToDpi(kMaxBevel, dpi));
        break;
    case kTextureMetal:
        FillMetal(canvas, noise, g);
        break;
    default:
        FillNoise(canvas, noise);
        break;
    }
    return true;
}
