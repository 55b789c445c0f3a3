#include "widgets/Dib.h"

#include <cstdlib>
#include <cstring>

namespace {
int PaletteSizeFor(int bitCount)
{
    switch (bitCount) {
    case 1:
        return 2;
    case 4:
        return 16;
    case 8:
        return 256;
    default:
        return 0;
    }
}
}

Dib::~Dib()
{
    release();
}

void Dib::release()
{
    m_sectionDc.Reset();
    m_sectionBits = nullptr;
    std::free(m_block);
    m_block = nullptr;
}

BYTE* Dib::create(int width, int height, int bitCount)
{
    release();
    if (width < 0 || height < 0 || bitCount <= 0 || bitCount > 32)
        return nullptr;
    long long rowBytes = ((static_cast<long long>(width) * bitCount + 31) / 32) * 4;
    long long imageBytes = rowBytes * height;
    int paletteSize = PaletteSizeFor(bitCount);
    long long total = static_cast<long long>(sizeof(BITMAPINFOHEADER)) + 4LL * paletteSize + imageBytes;
    if (imageBytes > 0x7FFFFFFFLL - 4096)
        return nullptr;

    m_header = BITMAPINFOHEADER{};
    m_header.biSize = sizeof(BITMAPINFOHEADER);
    m_header.biWidth = width;
    m_header.biHeight = height;
    m_header.biPlanes = 1;
    m_header.biBitCount = static_cast<WORD>(bitCount);
    m_header.biCompression = BI_RGB;
    m_header.biSizeImage = static_cast<DWORD>(imageBytes);
    m_rowBytes = static_cast<int>(rowBytes);
    m_paletteSize = paletteSize;

    m_block = static_cast<BYTE*>(std::malloc(static_cast<size_t>(total)));
    if (!m_block)
        return nullptr;
    std::memcpy(m_block, &m_header, sizeof m_header);
    return m_block;
}

BYTE* Dib::copyFrom(const Dib& other)
{
    if (&other == this)
        return m_block;
    if (!other.m_block) {
        release();
        return nullptr;
    }
    if (!create(other.m_header.biWidth, other.m_header.biHeight, other.m_header.biBitCount))
        return nullptr;
    size_t total = m_header.biSize + 4 * static_cast<size_t>(m_paletteSize) + m_header.biSizeImage;
    std::memcpy(m_block, other.m_block, total);
    return m_block;
}

BYTE* Dib::bits() const
{
    if (!m_block)
        return nullptr;
    return m_block + m_header.biSize + 4 * m_paletteSize;
}

RGBQUAD* Dib::palette() const
{
    if (!m_block || m_paletteSize == 0)
        return nullptr;
    return reinterpret_cast<RGBQUAD*>(m_block + m_header.biSize);
}

void Dib::setPaletteEntry(int index, BYTE red, BYTE green, BYTE blue)
{
    RGBQUAD* entries = palette();
    int i = index & 0xFF;
    if (!entries || i >= m_paletteSize)
        return;
    entries[i].rgbBlue = blue;
    entries[i].rgbGreen = green;
    entries[i].rgbRed = red;
    entries[i].rgbReserved = 0;
}

void Dib::blendPalette(COLORREF colour, int percent)
{
    RGBQUAD* entries = palette();
    if (!entries)
        return;
    if (percent > 100)
        percent = 100;
    if (percent < 0)
        percent = 0;
    const int red = GetRValue(colour), green = GetGValue(colour), blue = GetBValue(colour);
    auto mix = [percent](int target, int channel) {
        return static_cast<BYTE>((target * percent + channel * (100 - percent)) / 100);
    };
    for (int i = 0; i < m_paletteSize; ++i) {
        entries[i].rgbBlue = mix(blue, entries[i].rgbBlue);
        entries[i].rgbGreen = mix(green, entries[i].rgbGreen);
        entries[i].rgbRed = mix(red, entries[i].rgbRed);
    }
}

void Dib::clear(BYTE value)
{
    if (m_block)
        std::memset(bits(), value, m_header.biSizeImage);
}

void Dib::setPixel(int x, int y, BYTE index)
{
    if (!m_block || x < 0 || y < 0 || x >= m_header.biWidth || y >= m_header.biHeight)
        return;
    int row = m_header.biHeight - y - 1;
    bits()[static_cast<size_t>(row) * m_rowBytes + x] = index;
}

void Dib::draw(HDC hdc, int x, int y)
{
    if (!m_block)
        return;
    if (!m_sectionDc) {
        HBITMAP section = ::CreateDIBSection(hdc, reinterpret_cast<BITMAPINFO*>(m_block), DIB_RGB_COLORS,
                                             &m_sectionBits, nullptr, 0);
        if (!m_sectionDc.Reset(hdc, section) || !m_sectionBits) {
            m_sectionDc.Reset();
            m_sectionBits = nullptr;
            return;
        }
    }
    // GDI may still be working on the section from an earlier batch.
    ::GdiFlush();
    std::memcpy(m_sectionBits, bits(), m_header.biSizeImage);
    // The palette may have been blended since the section was made.
    if (m_paletteSize)
        ::SetDIBColorTable(m_sectionDc, 0, m_paletteSize, palette());
    ::BitBlt(hdc, x, y, m_header.biWidth, m_header.biHeight, m_sectionDc, 0, 0, SRCCOPY);
}
