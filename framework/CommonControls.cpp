#include "framework/CommonControls.h"

#include "framework/ScopedHandle.h"
#include "framework/SystemLibrary.h"

namespace {
template <class Fn>
Fn Find(const char* name)
{
    static const SystemLibrary library("comctl32.dll");
    return library.Find<Fn>(name);
}
}

namespace Comctl32 {
void InitCommonControls()
{
    static const auto fn = Find<decltype(&::InitCommonControls)>("InitCommonControls");
    if (fn)
        fn();
}

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* controls)
{
    static const auto fn = Find<decltype(&::InitCommonControlsEx)>("InitCommonControlsEx");
    return fn ? fn(controls) : FALSE;
}

HBITMAP CreateMappedBitmap(HINSTANCE instance, INT_PTR bitmapId, UINT flags, LPCOLORMAP colorMap, int mapSize)
{
    static const auto fn = Find<decltype(&::CreateMappedBitmap)>("CreateMappedBitmap");
    return fn ? fn(instance, bitmapId, flags, colorMap, mapSize) : nullptr;
}

HIMAGELIST ImageList_Create(int cx, int cy, UINT flags, int initial, int grow)
{
    static const auto fn = Find<decltype(&::ImageList_Create)>("ImageList_Create");
    return fn ? fn(cx, cy, flags, initial, grow) : nullptr;
}

BOOL ImageList_Destroy(HIMAGELIST list)
{
    static const auto fn = Find<decltype(&::ImageList_Destroy)>("ImageList_Destroy");
    return fn ? fn(list) : FALSE;
}

int ImageList_AddMasked(HIMAGELIST list, HBITMAP bitmap, COLORREF mask)
{
    static const auto fn = Find<decltype(&::ImageList_AddMasked)>("ImageList_AddMasked");
    return fn ? fn(list, bitmap, mask) : -1;
}

int ImageList_ReplaceIcon(HIMAGELIST list, int index, HICON icon)
{
    static const auto fn = Find<decltype(&::ImageList_ReplaceIcon)>("ImageList_ReplaceIcon");
    return fn ? fn(list, index, icon) : -1;
}

HICON ImageList_GetIcon(HIMAGELIST list, int index, UINT flags)
{
    static const auto fn = Find<decltype(&::ImageList_GetIcon)>("ImageList_GetIcon");
    return fn ? fn(list, index, flags) : nullptr;
}

int ImageList_GetImageCount(HIMAGELIST list)
{
    static const auto fn = Find<decltype(&::ImageList_GetImageCount)>("ImageList_GetImageCount");
    return fn ? fn(list) : 0;
}

BOOL ImageList_Draw(HIMAGELIST list, int index, HDC dc, int x, int y, UINT style)
{
    static const auto fn = Find<decltype(&::ImageList_Draw)>("ImageList_Draw");
    return fn ? fn(list, index, dc, x, y, style) : FALSE;
}

HRESULT LoadIconMetric(HINSTANCE instance, PCWSTR name, int metric, HICON* icon)
{
    static const auto fn = Find<decltype(&::LoadIconMetric)>("LoadIconMetric");
    return fn ? fn(instance, name, metric, icon) : E_NOTIMPL;
}

HRESULT LoadIconWithScaleDown(HINSTANCE instance, PCWSTR name, int cx, int cy, HICON* icon)
{
    static const auto fn = Find<decltype(&::LoadIconWithScaleDown)>("LoadIconWithScaleDown");
    return fn ? fn(instance, name, cx, cy, icon) : E_NOTIMPL;
}
}

void DestroyImageListFn::operator()(HIMAGELIST list) const
{
    Comctl32::ImageList_Destroy(list);
}
