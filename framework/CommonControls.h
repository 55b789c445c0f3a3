#pragma once
// The common controls that Lumaro calls, taken from comctl32.dll of the
// system folder on first use instead of imported (comctl32 is no KnownDLL,
// see SystemLibrary.h). Without the library each call fails as the function
// itself fails: no image list, no image, no tooltip class; menus and buttons
// then go without their images and tooltips. ImageList_AddIcon, a macro of
// commctrl.h, becomes Comctl32::ImageList_ReplaceIcon(list, -1, icon).
// The icon loaders exist only in the common controls 6 that the manifest asks
// for; without them they fail with E_NOTIMPL and the caller uses LoadImage.
#include <windows.h>
#include <commctrl.h>

namespace Comctl32 {
void InitCommonControls();
BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* controls);
HBITMAP CreateMappedBitmap(HINSTANCE instance, INT_PTR bitmapId, UINT flags, LPCOLORMAP colorMap, int mapSize);
HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int initial, int grow);
BOOL ImageList_Destroy(HIMAGELIST list);
int ImageList_AddMasked(HIMAGELIST list, HBITMAP bitmap, COLORREF mask);
int ImageList_ReplaceIcon(HIMAGELIST list, int index, HICON icon);
HICON ImageList_GetIcon(HIMAGELIST list, int index, UINT flags);
int ImageList_GetImageCount(HIMAGELIST list);
BOOL ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style);
HRESULT LoadIconMetric(HINSTANCE instance, PCWSTR name, int metric, HICON* icon);
HRESULT LoadIconWithScaleDown(HINSTANCE instance, PCWSTR name, int cx, int cy, HICON* icon);
}
