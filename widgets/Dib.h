#pragma once
// A device-independent bitmap whose header, palette and pixel rows live in
// one heap block, so a texture can be computed byte by byte and then blitted
// through a DIB section that is made once and reused for every paint.
#include "framework/ScopedHandle.h"

#include <windows.h>

class Dib {
public:
    Dib() = default;
    ~Dib();
    Dib(const Dib&) = delete;
    Dib& operator=(const Dib&) = delete;

    // Palette and pixels are left uninitialised. Null when the size is
    // negative, too large or the memory is not there.
    BYTE* create(int width, int height, int bitCount);
    BYTE* copyFrom(const Dib& other);

    int width() const { return m_block ? m_header.biWidth : 0; }
    int height() const { return m_block ? m_header.biHeight : 0; }
    int rowBytes() const { return m_block ? m_rowBytes : 0; }
    int bitCount() const { return m_block ? m_header.biBitCount : 0; }
    int paletteSize() const { return m_block ? m_paletteSize : 0; }
    // The rows are stored bottom-up: the first row is the bottom of the picture.
    BYTE* bits() const;
    RGBQUAD* palette() const;

    void setPaletteEntry(int index, BYTE red, BYTE green, BYTE blue);
    void blendPalette(COLORREF colour, int percent);
    void clear(BYTE value);
    // y counts from the top of the picture; outside the image nothing happens.
    void setPixel(int x, int y, BYTE index);

    void draw(HDC hdc, int x, int y);

private:
    void release();

    BYTE* m_block = nullptr;
    BITMAPINFOHEADER m_header{};
    int m_rowBytes = 0;
    int m_paletteSize = 0;
    ScopedBitmapDC m_sectionDc;  // the DIB section, selected into a memory DC
    void* m_sectionBits = nullptr;
};
