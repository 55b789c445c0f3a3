#pragma once
// The shaded button backgrounds, computed as a pure function: size, pattern,
// granularity and colours in, an 8-bit palette and pixels out. Nothing here
// asks the system for colours or random numbers, so a texture can be checked
// pixel by pixel against a fixed random sequence.
#include "widgets/Dib.h"
#include "widgets/Dpi.h"

#include <functional>

enum TextureType {
    kTextureNoise = 0,
    kTextureDiagonalShade = 1,
    kTextureHorizontalBands = 2,
    kTextureVerticalBands = 3,
    kTextureHorizontalBump = 4,
    kTextureVerticalBump = 5,
    kTextureSoftBump = 6,
    kTextureHardBump = 7,
    kTextureMetal = 8,
};

// Returns 0..32767, as the C runtime's rand() does. The patterns draw their
// samples row by row in storage order (bottom row first, left to right); the
// metal pattern draws four per scratch (x, y, length, colour) before that.
using TextureRandom = std::function<int()>;

struct TextureColours {
    COLORREF shadow;
    COLORREF face;
    COLORREF highlight;
};

// The palette index of the face colour, and of every pixel of a plain texture.
const BYTE kTextureFaceIndex = 128;

// v·v·v / 128 / 128, each division truncating toward zero.
int TextureCube(int v);

// The ramp shadow → face → highlight over the 256 entries of an 8-bit Dib.
void FillTexturePalette(Dib& dib, const TextureColours& colours);

// False for sizes at which the pattern's formulas would divide by zero; such
// buttons get a plain face-coloured texture instead.
bool TextureSizeIsDrawable(int type, int width, int height);

// Makes `dib` an 8-bit image of width × height and fills palette and pixels.
// Any type outside 1..8 is the noise pattern. The patterns scale with the
// size; the one length of their own, the widest bevel of the hard bump, is
// 16 pixels at 100 % and grows with `dpi`. False when the image cannot be
// allocated.
bool BuildTexture(Dib& dib, int type, int width, int height, BYTE granularity,
                  const TextureColours& colours, BYTE coloring, COLORREF colour,
                  const TextureRandom& random, UINT dpi = kDefaultDpi);
