#include "widgets/ImageButton.h"

#include "framework/CWinApp.h"
#include "framework/CommonControls.h"
#include "framework/Cp949.h"
#include "framework/ScopedHandle.h"
#include "framework/SystemLibrary.h"
#include "widgets/Contrast.h"
#include "widgets/Dpi.h"

#include <commctrl.h>
#include <mmsystem.h>
#include <shellapi.h>
#include <windowsx.h>

namespace {
// TPM_RIGHTBUTTON | TPM_NONOTIFY | TPM_RETURNCMD: the chosen command comes
// back to us instead of as a WM_COMMAND to the button.
const UINT kMenuTrackFlags = 0x182;
const UINT kButtonTypeBits = 0x1F;
const int kToolTipMaxWidth = 400;
// At 100 %: where the image starts when a caption goes beside or below it,
// and how far inside the border the focus rectangle runs.
const POINT kImageOrigin{3, 3};
const int kFocusInset = 3;

void FillSolid(HDC dc, const RECT& rect, COLORREF colour)
{
    ScopedGdiObj<HBRUSH> brush(::CreateSolidBrush(colour));
    ::FillRect(dc, &rect, brush);
}

void Draw3dRect(HDC dc, const RECT& r, COLORREF topLeft, COLORREF bottomRight)
{
    FillSolid(dc, RECT{r.left, r.top, r.right - 1, r.top + 1}, topLeft);
    FillSolid(dc, RECT{r.left, r.top, r.left + 1, r.bottom - 1}, topLeft);
    FillSolid(dc, RECT{r.right - 1, r.top, r.right, r.bottom}, bottomRight);
    FillSolid(dc, RECT{r.left, r.bottom - 1, r.right, r.bottom}, bottomRight);
}

void Line3(HDC dc, int colourIndex, POINT a, POINT b, POINT c)
{
    ScopedGdiObj<HPEN> pen(::CreatePen(PS_SOLID, 1, ::GetSysColor(colourIndex)));
    ScopedSelectObject use(dc, pen);
    ::MoveToEx(dc, a.x, a.y, nullptr);
    ::LineTo(dc, b.x, b.y);
    ::LineTo(dc, c.x, c.y);
}

// Icons are measured by their hot spot, which is the centre of an icon.
bool ReadIconSize(HICON icon, int* width, int* height)
{
    ICONINFO info{};
    if (!::GetIconInfo(icon, &info))
        return false;
    ScopedGdiObj<HBITMAP> colour(info.hbmColor), mask(info.hbmMask);
    *width = static_cast<int>(info.xHotspot * 2);
    *height = static_cast<int>(info.yHotspot * 2);
    return true;
}

HICON LoadIconResource(int id, UINT dpi)
{
    if (id <= 0)
        return nullptr;
    return LoadIconAtSize(AfxGetInstanceHandle(), static_cast<UINT>(id), ImageButton::iconSizeForDpi(dpi));
}
}

ImageButton::ImageButton() : m_dpi(DpiOfWindow(nullptr))
{
    setPressedStyle(0, FALSE);
    setDefaultColours(FALSE);
    setUrl(nullptr);
}

// ---------------------------------------------------------------------------
// Setters

int ImageButton::iconSizeForDpi(UINT dpi)
{
    return SystemMetricForDpi(SM_CXSMICON, dpi);
}

int ImageButton::setIcon(int inResource, int outResource)
{
    HICON in = LoadIconResource(inResource, m_dpi);
    HICON out = outResource == kGrayOutIcon ? grayOutIcon() : LoadIconResource(outResource, m_dpi);
    int result = setIcon(in, out);
    m_iconResources[0] = inResource;
    m_iconResources[1] = outResource;
    return result;
}

void ImageButton::loadResourceIcons()
{
    if (m_iconResources[0] > 0)
        setIcon(m_iconResources[0], m_iconResources[1]);
}

int ImageButton::setIcon(HICON in, HICON out)
{
    freeImages();
    m_iconResources[0] = m_iconResources[1] = 0;
    // The gray-out value is a request, not a handle: it is never kept, so
    // it is never destroyed. The in icon given twice is kept once.
    if (out == grayOutIcon())
        out = createGrayscaleIcon(in);
    else if (out == in)
        out = nullptr;
    m_icons[0].icon.Reset(in == grayOutIcon() ? nullptr : in);
    m_icons[1].icon.Reset(out);
    if (!in) {
        freeImages();
        repaint(TRUE);
        return kOk;
    }
    if (!ReadIconSize(in, &m_icons[0].width, &m_icons[0].height) ||
        (out && !ReadIconSize(out, &m_icons[1].width, &m_icons[1].height))) {
        freeImages();
        return kInvalidIcon;
    }
    repaint(TRUE);
    return kOk;
}

int ImageButton::setPressedStyle(int style, BOOL repaintNow)
{
    switch (style) {
    case 0:
        m_pressedOffset = POINT{1, 1};
        break;
    case 1:
        m_pressedOffset = POINT{0, 2};
        break;
    default:
        return kInvalidPressedStyle;
    }
    repaint(repaintNow);
    return kOk;
}

int ImageButton::setCheck(int state, BOOL repaintNow)
{
    if (m_isCheckBox) {
        m_checked = state ? 1 : 0;
        repaint(repaintNow);
    }
    return kOk;
}

int ImageButton::setDefaultColours(BOOL repaintNow)
{
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    const COLORREF text = ::GetSysColor(COLOR_BTNTEXT);
    m_colours[kBackgroundIn] = face;
    m_colours[kForegroundIn] = text;
    m_colours[kBackgroundOut] = face;
    m_colours[kForegroundOut] = text;
    m_colours[kBackgroundFocus] = face;
    m_colours[kForegroundFocus] = text;
    repaint(repaintNow);
    return kOk;
}

int ImageButton::setUrl(const char* url)
{
    if (url)
        ::lstrcpynW(m_url, Widen(url).c_str(), MAX_PATH);
    else
        m_url[0] = L'\0';
    return kOk;
}

void ImageButton::repaint(BOOL repaintNow)
{
    if (repaintNow && m_hWnd)
        Invalidate();
}

void ImageButton::freeImages()
{
    for (IconImage& image : m_icons) {
        image.icon.Reset();
        image.width = image.height = 0;
    }
    for (BitmapImage& image : m_bitmaps) {
        image.bitmap.Reset();
        image.mask.Reset();
        image.width = image.height = 0;
    }
}

// ---------------------------------------------------------------------------
// Pure parts

ImageButton::Placement ImageButton::placeImage(int alignment, bool hasCaption, bool movePressed, POINT imageOrigin,
                                               POINT pressedOffset, const RECT& item, const RECT& caption,
                                               SIZE image)
{
    Placement p{item, caption};
    const int width = item.right - item.left, height = item.bottom - item.top;
    const int w = image.cx, h = image.cy;
    RECT& img = p.image;
    switch (alignment) {
    case kImageAbove:
        img.left = item.left + (width - w) / 2;
        if (hasCaption) {
            img.top = imageOrigin.y;
            p.caption.top += h;
        } else {
            img.top = item.top + (height - h) / 2;
        }
        break;
    case kImageRight:
        if (hasCaption) {
            p.caption.right = p.caption.right - p.caption.left - w - imageOrigin.x;
            p.caption.left = imageOrigin.x;
            img.left = width - w - imageOrigin.x;
            img.top = item.top + (height - h) / 2;
        } else {
            img.left = item.left + (width - w) / 2;
        }
        break;
    default:
        if (hasCaption) {
            img.left = item.left + imageOrigin.x;
            p.caption.left += w + imageOrigin.x;
        } else {
            img.left = item.left + (width - w) / 2;
        }
        img.top = item.top + (height - h) / 2;
        break;
    }
    if (movePressed)
        ::OffsetRect(&img, pressedOffset.x, pressedOffset.y);
    img.right = img.left + w;
    img.bottom = img.top + h;
    return p;
}

bool ImageButton::showsOutImage(bool isCheckBox, bool pressed, bool mouseOver)
{
    bool active = isCheckBox ? pressed : (pressed || mouseOver);
    return !active;
}

HICON ImageButton::createGrayscaleIcon(HICON icon)
{
    ICONINFO info{};
    if (!icon || !::GetIconInfo(icon, &info))
        return nullptr;
    ScopedGdiObj<HBITMAP> colour(info.hbmColor), mask(info.hbmMask);
    BITMAP layout{};
    if (!colour.Get() || !::GetObjectW(colour, sizeof layout, &layout))
        return nullptr;
    const int width = static_cast<int>(info.xHotspot * 2), height = static_cast<int>(info.yHotspot * 2);

    ScopedGdiObj<HBITMAP> gray(::CreateBitmap(width, height, layout.bmPlanes, layout.bmBitsPixel, nullptr));
    ScopedGetDC screen(nullptr);
    ScopedMemDC source(screen), target(screen);
    if (!gray.Get() || !source || !target)
        return nullptr;
    {
        ScopedSelectObject useSource(source, colour);
        ScopedSelectObject useTarget(target, gray);
        // Black pixels are left as they are: under the icon's mask black is
        // what lets the background through.
        ::PatBlt(target, 0, 0, width, height, BLACKNESS);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                COLORREF pixel = ::GetPixel(source, x, y);
                if (pixel == 0 || pixel == CLR_INVALID)
                    continue;
                auto g = static_cast<BYTE>(0.299 * GetRValue(pixel) + 0.587 * GetGValue(pixel) +
                                           0.114 * GetBValue(pixel));
                ::SetPixelV(target, x, y, RGB(g, g, g));
            }
    }
    ICONINFO grayInfo{TRUE, 0, 0, mask, gray};
    return ::CreateIconIndirect(&grayInfo);
}

// ---------------------------------------------------------------------------
// Subclassing and the message map

void ImageButton::PreSubclassWindow()
{
    // The icons a windowless button loaded were for the system DPI.
    OnDpiChanged();
    m_highContrast = HighContrastOn();
    LONG_PTR style = GetStyle();
    if (style & BS_CHECKBOX)
        m_isCheckBox = TRUE;
    if ((style & kButtonTypeBits) == BS_DEFPUSHBUTTON)
        m_isDefault = TRUE;
    ::SetWindowLongPtrW(m_hWnd, GWL_STYLE, (style & ~static_cast<LONG_PTR>(kButtonTypeBits)) | BS_OWNERDRAW);
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

BOOL ImageButton::PreTranslateMessage(MSG* msg)
{
    initToolTip();
    if (m_toolTip)
        ::SendMessageW(m_toolTip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(msg));
    // An owner-drawn button turns a second click into BN_DOUBLECLICKED; a
    // double click here is two clicks.
    if (msg->message == WM_LBUTTONDBLCLK)
        msg->message = WM_LBUTTONDOWN;
    return CButton::PreTranslateMessage(msg);
}

void ImageButton::initToolTip()
{
    if (m_toolTip)
        return;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
    Comctl32::InitCommonControlsEx(&controls);
    m_toolTip.Reset(::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP, CW_USEDEFAULT, CW_USEDEFAULT,
                                      CW_USEDEFAULT, CW_USEDEFAULT, m_hWnd, nullptr, AfxGetInstanceHandle(),
                                      nullptr));
    if (!m_toolTip)
        return;
    ::SendMessageW(m_toolTip, TTM_ACTIVATE, FALSE, 0);
    ::SendMessageW(m_toolTip, TTM_SETMAXTIPWIDTH, 0, kToolTipMaxWidth);
}

LRESULT ImageButton::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_GETDLGCODE:
        return OnGetDlgCode();
    case BM_SETSTYLE:
        return OnSetStyle(wParam, lParam);
    case BM_SETCHECK:
        setCheck(wParam == BST_CHECKED || wParam == BST_INDETERMINATE ? 1 : 0, TRUE);
        return 0;
    case BM_GETCHECK:
        return m_checked;
    case WM_MENUCHAR:
        return OnMenuChar(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HMENU>(lParam));
    case WM_MEASUREITEM:
        return OnMeasureItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
    case WM_DRAWITEM:
        return OnDrawMenuItem(reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
    case WM_ENABLE:
        OnEnable(static_cast<BOOL>(wParam));
        return 0;
    case WM_KILLFOCUS:
    case WM_CANCELMODE: {
        LRESULT result = Default();
        CancelHover();
        return result;
    }
    case WM_ACTIVATE: {
        LRESULT result = Default();
        if (LOWORD(wParam) == WA_INACTIVE)
            CancelHover();
        return result;
    }
    case WM_SETCURSOR:
        if (OnSetCursor())
            return TRUE;
        return Default();
    case WM_MOUSEMOVE:
        OnMouseMove(static_cast<UINT>(wParam), POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return 0;
    case WM_MOUSELEAVE:
        CancelHover();
        return 0;
    case kWmDpiChangedAfterParent:
        OnDpiChanged();
        Invalidate();
        return Default();
    }
    if (IsContrastChange(msg, wParam)) {
        Default();
        OnContrastChange();
        return 0;
    }
    return CButton::WindowProc(msg, wParam, lParam);
}

BOOL ImageButton::OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    switch (msg) {
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        *result = reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
        return TRUE;
    case WM_DRAWITEM:
        DrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        *result = TRUE;
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED)
            OnClicked();
        // The dialog still gets its BN_CLICKED, so OK keeps working.
        return FALSE;
    }
    return FALSE;
}

void ImageButton::OnDpiChanged()
{
    m_dpi = DpiOfWindow(m_hWnd);
    m_imageOrigin = POINT{ScaleToDpi(kImageOrigin.x, m_dpi), ScaleToDpi(kImageOrigin.y, m_dpi)};
    loadResourceIcons();
}

LRESULT ImageButton::OnGetDlgCode()
{
    LRESULT code = Default();
    return code | (m_isDefault ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
}

void ImageButton::OnContrastChange()
{
    m_highContrast = HighContrastOn();
    m_background.Reset();
    setDefaultColours(TRUE);
}

bool ImageButton::showsFocusCues(UINT itemState) const
{
    if (itemState & ODS_NOFOCUSRECT)
        return false;
    // Not every button sets ODS_NOFOCUSRECT: the window's UI state, which
    // Windows keeps, decides as well.
    return !m_hWnd || !(::SendMessageW(m_hWnd, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS);
}

LRESULT ImageButton::OnSetStyle(WPARAM style, LPARAM redraw)
{
    // The dialog manager moves the default-button look with BM_SETSTYLE; we
    // remember it and stay owner-drawn.
    UINT type = static_cast<UINT>(style & BS_TYPEMASK);
    if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON)
        m_isDefault = type == BS_DEFPUSHBUTTON;
    return DefWindowProc(BM_SETSTYLE, (style & ~static_cast<WPARAM>(0x14)) | BS_OWNERDRAW, redraw);
}

LRESULT ImageButton::OnMenuChar(UINT ch, UINT flags, HMENU menu)
{
    if (IconMenu::isIconMenu(menu))
        return IconMenu::menuChar(ch, flags, menu);
    return Default();
}

// The drop-down menu is tracked with this button as its owner, so its
// owner-drawn items are measured and drawn through here.
LRESULT ImageButton::OnMeasureItem(MEASUREITEMSTRUCT* mis)
{
    if (mis && mis->CtlType == ODT_MENU) {
        if (IconMenu* menu = IconMenu::ownerOfItem(mis->itemData)) {
            menu->measureItem(mis);
            return TRUE;
        }
    }
    return Default();
}

LRESULT ImageButton::OnDrawMenuItem(DRAWITEMSTRUCT* dis)
{
    if (dis && dis->CtlType == ODT_MENU) {
        if (IconMenu* menu = IconMenu::ownerOfItem(dis->itemData)) {
            menu->drawItem(dis);
            return TRUE;
        }
    }
    return Default();
}

void ImageButton::OnEnable(BOOL enable)
{
    Default();
    if (enable)
        return;
    HWND parent = ::GetParent(m_hWnd);
    if (parent) {
        HWND next = ::GetNextDlgTabItem(parent, m_hWnd, FALSE);
        ::SetFocus(next ? next : parent);
    }
    CancelHover();
}

BOOL ImageButton::OnSetCursor()
{
    if (!m_cursor)
        return FALSE;
    ::SetCursor(m_cursor);
    return TRUE;
}

void ImageButton::CancelHover()
{
    if (m_flat && m_mouseOver) {
        m_mouseOver = FALSE;
        Invalidate();
    }
}

void ImageButton::OnMouseMove(UINT flags, POINT point)
{
    Default();
    POINT screen = point;
    ::ClientToScreen(m_hWnd, &screen);
    HWND under = ::WindowFromPoint(screen);
    // Dragging onto the button from elsewhere does not light it up.
    if ((flags & MK_LBUTTON) && !m_mouseOver)
        return;
    if (!m_flat)
        return;
    HWND active = m_alwaysTrack ? m_hWnd : ::GetActiveWindow();
    if (under == m_hWnd && active) {
        if (m_mouseOver)
            return;
        m_mouseOver = TRUE;
        Invalidate();
        playSound(kHoverSound);
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, m_hWnd, 0};
        ::TrackMouseEvent(&track);
    } else {
        CancelHover();
    }
}

void ImageButton::playSound(int which)
{
    const Sound& sound = m_sounds[which];
    if (!sound.sound)
        return;
    // winmm is no KnownDLL: taken from the system folder when a button first
    // sounds; without it the button stays silent.
    static const SystemLibrary winmm("winmm.dll");
    static const auto play = winmm.Find<decltype(&::PlaySoundW)>("PlaySoundW");
    if (play)
        play(sound.sound, sound.module, sound.flags);
}

void ImageButton::OnClicked()
{
    ::SetFocus(m_hWnd);
    playSound(kClickSound);
    if (m_isCheckBox) {
        m_checked = !m_checked;
        Invalidate();
    } else if (m_menu.m_hMenu) {
        RECT rect;
        GetWindowRect(&rect);
        m_menuShowing = TRUE;
        Invalidate();
        HMENU popup = m_menu.GetSubMenu(0);
        if (m_menuNotify.window)
            ::SendMessageW(m_menuNotify.window, m_menuNotify.message, reinterpret_cast<WPARAM>(popup),
                           m_menuNotify.lParam);
        UINT command = static_cast<UINT>(
            ::TrackPopupMenu(popup, kMenuTrackFlags, rect.left, rect.bottom, 0, m_hWnd, nullptr));
        m_menuShowing = FALSE;
        Invalidate();
        if (command && m_menuOwner)
            ::PostMessageW(m_menuOwner, WM_COMMAND, MAKEWPARAM(command, 0), 0);
    } else if (m_url[0]) {
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_FLAG_NO_UI;
        info.lpVerb = L"open";
        info.lpFile = m_url;
        info.nShow = SW_SHOWMAXIMIZED;
        ::ShellExecuteExW(&info);
    }
}

// ---------------------------------------------------------------------------
// Painting

// The background and the edges: the button's own look, or in high contrast
// a plain face in a frame, with no texture, shading or hover border in
// colours the contrast theme did not choose. `work` becomes the area inside
// the edges.
void ImageButton::drawFace(HDC dc, RECT* work)
{
    const ControlLook look = ButtonLook(m_highContrast, m_colours[kForegroundOut], m_colours[kBackgroundOut],
                                        SystemColours::Current());
    if (look.plainFramed) {
        FillSolid(dc, *work, look.face);
        ScopedGdiObj<HBRUSH> frame(::CreateSolidBrush(look.text));
        ::FrameRect(dc, work, frame);
        return;
    }
    if (!m_flat && (m_hasFocus || m_isDefault)) {
        ::FrameRect(dc, work, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
        ::InflateRect(work, -1, -1);
    }

    if (m_drawTransparent)
        paintSavedBackground(dc);
    else
        drawBackground(dc, work);

    if (m_pressed) {
        if (!m_flat) {
            ScopedGdiObj<HBRUSH> shadow(::CreateSolidBrush(::GetSysColor(COLOR_BTNSHADOW)));
            ::FrameRect(dc, work, shadow);
        } else if (m_drawBorder) {
            drawBorder(dc, work);
        }
    } else if (m_flat) {
        if (m_mouseOver && m_drawBorder)
            drawBorder(dc, work);
    } else {
        const LONG l = work->left, t = work->top, r = work->right, b = work->bottom;
        Line3(dc, COLOR_BTNHIGHLIGHT, POINT{l, b - 1}, POINT{l, t}, POINT{r, t});
        Line3(dc, COLOR_3DLIGHT, POINT{l + 1, b - 1}, POINT{l + 1, t + 1}, POINT{r, t + 1});
        Line3(dc, COLOR_3DDKSHADOW, POINT{l, b - 1}, POINT{r - 1, b - 1}, POINT{r - 1, t - 1});
        Line3(dc, COLOR_BTNSHADOW, POINT{l + 1, b - 2}, POINT{r - 2, b - 2}, POINT{r - 2, t});
    }
}

void ImageButton::DrawItem(const DRAWITEMSTRUCT* dis)
{
    if (!dis)
        return;
    HDC dc = dis->hDC;
    const bool selected = (dis->itemState & ODS_SELECTED) != 0;
    if (m_isCheckBox)
        m_pressed = selected || m_checked;
    else
        m_pressed = selected || (m_menu.m_hMenu && m_menuShowing);
    m_hasFocus = (dis->itemState & ODS_FOCUS) != 0;
    m_disabled = (dis->itemState & ODS_DISABLED) != 0;
    ::SetBkMode(dc, TRANSPARENT);

    const RECT item = dis->rcItem;
    RECT work = item;
    drawFace(dc, &work);

    std::wstring caption(static_cast<size_t>(::GetWindowTextLengthW(m_hWnd)) + 1, L'\0');
    caption.resize(static_cast<size_t>(::GetWindowTextW(m_hWnd, &caption[0], static_cast<int>(caption.size()))));
    const bool hasCaption = !caption.empty();
    RECT captionRect = item;
    if (m_icons[0].icon.Get()) {
        drawIcon(dc, hasCaption, &item, &captionRect, m_pressed, m_disabled);
    }
    if (m_bitmaps[0].bitmap) {
        ::SetBkColor(dc, RGB(255, 255, 255));
        drawBitmap(dc, hasCaption, &item, &captionRect, m_pressed, m_disabled);
    }
    if (hasCaption)
        drawText(dc, caption.c_str(), &item, &captionRect, m_pressed, m_disabled);

    // Whatever the look: a keyboard user must see where the focus is.
    if (m_hasFocus && showsFocusCues(dis->itemState)) {
        RECT focus = work;
        const int inset = ScaleToDpi(kFocusInset, m_dpi);
        ::InflateRect(&focus, -inset, -inset);
        ::DrawFocusRect(dc, &focus);
    }
}

void ImageButton::paintSavedBackground(HDC dc)
{
    RECT window;
    GetWindowRect(&window);
    const int width = window.right - window.left, height = window.bottom - window.top;
    if (!m_background) {
        HWND parent = ::GetParent(m_hWnd);
        if (!parent)
            return;
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&window), 2);
        ScopedGetDC parentDc(parent);
        if (!m_background.Reset(parentDc, ::CreateCompatibleBitmap(parentDc, width, height)))
            return;
        ::BitBlt(m_background, 0, 0, width, height, parentDc, window.left, window.top, SRCCOPY);
    }
    ::BitBlt(dc, 0, 0, width, height, m_background, 0, 0, SRCCOPY);
}

void ImageButton::drawBackground(HDC dc, const RECT* rect)
{
    COLORREF colour = m_colours[kBackgroundOut];
    if (m_mouseOver || m_pressed)
        colour = m_colours[kBackgroundIn];
    else if (m_hasFocus)
        colour = m_colours[kBackgroundFocus];
    FillSolid(dc, *rect, colour);
}

void ImageButton::drawBorder(HDC dc, const RECT* rect)
{
    const COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW);
    const COLORREF highlight = ::GetSysColor(COLOR_BTNHIGHLIGHT);
    if (m_pressed)
        Draw3dRect(dc, *rect, shadow, highlight);
    else
        Draw3dRect(dc, *rect, highlight, shadow);
}

void ImageButton::drawIcon(HDC dc, bool hasCaption, const RECT* itemRect, RECT* captionRect, bool pressed,
                           bool disabled)
{
    const bool out = m_icons[1].icon.Get() && showsOutImage(m_isCheckBox, pressed, m_mouseOver);
    const IconImage& icon = m_icons[out ? 1 : 0];
    Placement place = placeImage(m_alignment, hasCaption, pressed && !m_isCheckBox, m_imageOrigin, m_pressedOffset,
                                 *itemRect, *captionRect, SIZE{icon.width, icon.height});
    *captionRect = place.caption;
    ::DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(icon.icon.Get()), 0, place.image.left, place.image.top,
                 icon.width, icon.height, DST_ICON | (disabled ? DSS_DISABLED : DSS_NORMAL));
}

void ImageButton::drawBitmap(HDC dc, bool hasCaption, const RECT* itemRect, RECT* captionRect, bool pressed,
                             bool disabled)
{
    const bool out = m_bitmaps[1].bitmap && showsOutImage(m_isCheckBox, pressed, m_mouseOver);
    const BitmapImage& image = m_bitmaps[out ? 1 : 0];
    Placement place = placeImage(m_alignment, hasCaption, pressed && !m_isCheckBox, m_imageOrigin, m_pressedOffset,
                                 *itemRect, *captionRect, SIZE{image.width, image.height});
    *captionRect = place.caption;
    const int x = place.image.left, y = place.image.top, w = image.width, h = image.height;

    ScopedMemDC source(dc);
    if (disabled && m_showDisabledBitmap) {
        // DrawState grays a plain bitmap, so compose the image over white first.
        ScopedMemDC compose(dc);
        ScopedGdiObj<HBITMAP> composed(::CreateCompatibleBitmap(dc, w, h));
        {
            ScopedSelectObject useComposed(compose, composed);
            ::PatBlt(compose, 0, 0, w, h, WHITENESS);
            if (image.mask) {
                ScopedSelectObject useMask(source, image.mask);
                ::BitBlt(compose, 0, 0, w, h, source, 0, 0, SRCAND);
            }
            ScopedSelectObject useImage(source, image.bitmap);
            ::BitBlt(compose, 0, 0, w, h, source, 0, 0, image.mask ? SRCPAINT : SRCCOPY);
        }
        ::DrawStateW(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(composed.Get()), 0, x, y, w, h,
                     DST_BITMAP | DSS_DISABLED);
        return;
    }
    if (image.mask) {
        ScopedSelectObject useMask(source, image.mask);
        ::BitBlt(dc, x, y, w, h, source, 0, 0, SRCAND);
    }
    ScopedSelectObject useImage(source, image.bitmap);
    ::BitBlt(dc, x, y, w, h, source, 0, 0, image.mask ? SRCPAINT : SRCCOPY);
}

void ImageButton::drawText(HDC dc, const wchar_t* caption, const RECT* itemRect, RECT* captionRect, bool pressed,
                           bool disabled)
{
    RECT area = *captionRect;
    if (pressed && !m_isCheckBox)
        ::OffsetRect(&area, m_pressedOffset.x, m_pressedOffset.y);
    RECT text = area;
    ::DrawTextW(dc, caption, -1, &text, DT_WORDBREAK | DT_CENTER | DT_CALCRECT);
    ::OffsetRect(&text, (text.left + area.right - text.right - area.left) / 2,
                 (text.top + area.bottom - text.bottom - area.top) / 2);

    if (disabled) {
        ::OffsetRect(&text, 1, 1);
        ::SetTextColor(dc, ::GetSysColor(COLOR_BTNHIGHLIGHT));
        ::DrawTextW(dc, caption, -1, &text, DT_WORDBREAK | DT_CENTER);
        ::OffsetRect(&text, -1, -1);
        ::SetTextColor(dc, ::GetSysColor(COLOR_BTNSHADOW));
        ::DrawTextW(dc, caption, -1, &text, DT_WORDBREAK | DT_CENTER);
        return;
    }
    const bool in = m_mouseOver || m_pressed;
    const ControlLook look = ButtonLook(m_highContrast, m_colours[in ? kForegroundIn : kForegroundOut],
                                        m_colours[in ? kBackgroundIn : kBackgroundOut], SystemColours::Current());
    ::SetTextColor(dc, look.text);
    ::SetBkColor(dc, look.face);
    ::DrawTextW(dc, caption, -1, &text, DT_WORDBREAK | DT_CENTER);
}
