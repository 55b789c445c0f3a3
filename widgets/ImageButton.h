#pragma once
// An owner-drawn push button that shows an icon (or bitmap) beside or above
// its caption, lights up under the mouse, keeps its own colours per state
// and can act as a check box, open a URL, play sounds or drop down an
// IconMenu. Attached to a dialog's BUTTON by subclassing; its parent
// reflects WM_DRAWITEM, WM_CTLCOLOR* and BN_CLICKED back to it. Its icons
// and spacing follow the DPI of its window, also when the window moves to a
// monitor of another scale. In high contrast it is a plain face in a frame,
// in the system's colours; a focus rectangle shows where the keyboard is.
#include "framework/CControls.h"
#include "framework/ScopedHandle.h"
#include "widgets/IconMenu.h"

#include <string>

class ImageButton : public CButton {
public:
    // The out image of setIcon that stands for a gray copy of the in image.
    static const int kGrayOutIcon = -2;
    static HICON grayOutIcon() { return reinterpret_cast<HICON>(static_cast<INT_PTR>(kGrayOutIcon)); }

    enum Alignment { kImageLeft = 0, kImageAbove = 1, kImageRight = 2 };
    enum ColourIndex {
        kBackgroundIn = 0,
        kForegroundIn,
        kBackgroundOut,
        kForegroundOut,
        kBackgroundFocus,
        kForegroundFocus,
        kColourCount
    };
    enum Result { kOk = 0, kInvalidIcon = 1, kInvalidPressedStyle = 6 };

    ImageButton();

    // Icon resources of this module, loaded at the small icon size of the
    // button's DPI (16 pixels at 100 %) and again at each change of DPI; out
    // 0 means none, kGrayOutIcon a gray copy.
    int setIcon(int inResource, int outResource);
    // Takes ownership of both icons, which must not be shared ones (LoadIcon,
    // LR_SHARED); out may be grayOutIcon(), or `in` again to show it always.
    int setIcon(HICON in, HICON out);
    // 0: image and caption move (1,1) while pressed; 1: they move (0,2).
    int setPressedStyle(int style, BOOL repaint = TRUE);
    int setCheck(int state, BOOL repaint = TRUE);
    int getCheck() const { return m_checked; }
    int setDefaultColours(BOOL repaint = TRUE);
    // `url` is CP949, as all of the program's texts.
    int setUrl(const char* url);

    BOOL PreTranslateMessage(MSG* msg) override;

    // Where the image goes and what is left of the caption rectangle: a
    // function of the sizes alone, so the layout can be checked by itself.
    struct Placement {
        RECT image;
        RECT caption;
    };
    static Placement placeImage(int alignment, bool hasCaption, bool movePressed, POINT imageOrigin,
                                POINT pressedOffset, const RECT& item, const RECT& caption, SIZE image);
    // Whether the out image (gray at rest) is shown rather than the in image.
    static bool showsOutImage(bool isCheckBox, bool pressed, bool mouseOver);
    // A gray copy of `icon` (a new icon, owned by the caller), or null.
    static HICON createGrayscaleIcon(HICON icon);
    // The size of the button's resource icons at `dpi`.
    static int iconSizeForDpi(UINT dpi);

protected:
    // Each image owns its handles; an empty out image shows the in image.
    struct IconImage {
        ScopedIcon icon;
        int width = 0;
        int height = 0;
    };
    struct BitmapImage {
        ScopedGdiObj<HBITMAP> bitmap;
        int width = 0;
        int height = 0;
        ScopedGdiObj<HBITMAP> mask;
    };
    struct MenuNotify {
        HWND window = nullptr;
        UINT message = 0;
        LPARAM lParam = 0;
    };
    struct Sound {
        wchar_t name[MAX_PATH] = L"";
        LPCWSTR sound = nullptr;  // the name, or a resource id
        HMODULE module = nullptr;
        DWORD flags = 0;
    };
    enum SoundIndex { kHoverSound = 0, kClickSound = 1 };

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL OnChildNotify(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    void PreSubclassWindow() override;

    // The paint of the owner-drawn button.
    void DrawItem(const DRAWITEMSTRUCT* dis);
    virtual void drawBackground(HDC dc, const RECT* rect);
    virtual void drawBorder(HDC dc, const RECT* rect);
    virtual void drawIcon(HDC dc, bool hasCaption, const RECT* itemRect, RECT* captionRect, bool pressed,
                          bool disabled);
    virtual void drawBitmap(HDC dc, bool hasCaption, const RECT* itemRect, RECT* captionRect, bool pressed,
                            bool disabled);
    virtual void drawText(HDC dc, const wchar_t* caption, const RECT* itemRect, RECT* captionRect, bool pressed,
                          bool disabled);
    // The window has moved to a monitor of another scale.
    virtual void OnDpiChanged();
    // New system colours or contrast setting, forwarded by the top-level window.
    virtual void OnContrastChange();

    // The message map's handlers.
    LRESULT OnGetDlgCode();
    LRESULT OnSetStyle(WPARAM style, LPARAM redraw);
    LRESULT OnMenuChar(UINT ch, UINT flags, HMENU menu);
    LRESULT OnMeasureItem(MEASUREITEMSTRUCT* mis);
    LRESULT OnDrawMenuItem(DRAWITEMSTRUCT* dis);
    void OnEnable(BOOL enable);
    void OnMouseMove(UINT flags, POINT point);
    BOOL OnSetCursor();
    void OnClicked();
    void CancelHover();

    void drawFace(HDC dc, RECT* work);
    // Windows asks for focus rectangles: the keyboard has been used in the
    // window, or the user wants them always.
    bool showsFocusCues(UINT itemState) const;
    void initToolTip();
    void freeImages();
    void loadResourceIcons();
    void paintSavedBackground(HDC dc);
    void playSound(int which);
    void repaint(BOOL repaint);

    BOOL m_showDisabledBitmap = TRUE;
    UINT m_dpi;
    POINT m_imageOrigin{3, 3};  // at m_dpi
    POINT m_pressedOffset{1, 1};
    BOOL m_flat = TRUE;
    BOOL m_mouseOver = FALSE;
    BOOL m_drawTransparent = FALSE;
    BOOL m_pressed = FALSE;
    BOOL m_hasFocus = FALSE;
    BOOL m_disabled = FALSE;
    BOOL m_isDefault = FALSE;
    BOOL m_isCheckBox = FALSE;
    BYTE m_alignment = kImageLeft;
    BOOL m_drawBorder = TRUE;
    bool m_highContrast = false;
    COLORREF m_colours[kColourCount];
    HWND m_menuOwner = nullptr;
    BOOL m_menuShowing = FALSE;
    IconMenu m_menu;
    ScopedCursor m_cursor;
    ScopedWindow m_toolTip;
    ScopedBitmapDC m_background;  // what the parent shows behind us, for m_drawTransparent
    BOOL m_alwaysTrack = TRUE;
    int m_checked = 0;
    wchar_t m_url[MAX_PATH] = L"";
    int m_iconResources[2] = {0, 0};  // in, out: what setIcon loaded, for a change of DPI
    IconImage m_icons[2];      // in, out
    BitmapImage m_bitmaps[2];  // in, out
    MenuNotify m_menuNotify;
    Sound m_sounds[2];  // hover, click
};
