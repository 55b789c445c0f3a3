#pragma once
// One owner-drawn item of an IconMenu. Its address is the Win32 item data,
// so WM_MEASUREITEM and WM_DRAWITEM hand the record back to the menu.
#include "framework/ScopedHandle.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

class IconMenuItem {
public:
    explicit IconMenuItem(const wchar_t* text) : m_text(text ? text : L"") {}
    IconMenuItem(const IconMenuItem&) = delete;
    IconMenuItem& operator=(const IconMenuItem&) = delete;

    bool isSeparator() const { return (m_menuFlags & MF_SEPARATOR) != 0; }
    bool isPopup() const { return (m_menuFlags & MF_POPUP) != 0; }

    std::wstring m_text;
    int m_imageIndex = -1;
    int m_sharedIndex = -1;
    int m_hasImage = -1;  // zero or more: m_imageList / m_imageIndex hold the image
    UINT m_menuFlags = 0;
    UINT_PTR m_commandId = 0;  // for a popup, its submenu handle
    // The item's own images; one from the shared list is found through m_sharedIndex.
    ScopedImageList m_imageList;
};
