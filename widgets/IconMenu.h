#pragma once
// A popup menu whose items draw themselves: an image column, the text and a
// right-aligned accelerator, in a classic look (3-D image boxes on the menu
// colour) or a flat one (tinted image column, pale framed selection bar).
// Images come from a toolbar resource into one image list shared by every
// IconMenu of the process. Rows, image column, check marks and font follow
// the DPI the menu was last measured for; the toolbar images, bitmaps of one
// size, are drawn as they are, centred in their column, never stretched.
#include "framework/CMenu.h"
#include "framework/ScopedHandle.h"
#include "widgets/Dpi.h"
#include "widgets/IconMenuItem.h"

#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

enum WindowsVersionClass {
    kWinVer3x = 0,
    kWinVerOtherNt = 1,  // NT 3.x and everything after XP
    kWinVer95 = 2,
    kWinVer98 = 3,
    kWinVerMe = 4,
    kWinVerNt4 = 5,
    kWinVer2000 = 6,
    kWinVerXp = 7,
};

// Process-wide choices of look. Changing them affects every IconMenu.
struct IconMenuLook {
    int flatOnXp = 1;
    int flatElsewhere = 0;
    int disabledSelectableClassic = 1;
    int disabledSelectableFlat = 0;
    int threeImageMode = 1;
};

class IconMenu : public CMenu {
public:
    IconMenu();
    ~IconMenu() override;

    virtual void drawItem(const DRAWITEMSTRUCT* dis);
    virtual void measureItem(MEASUREITEMSTRUCT* mis);
    virtual BOOL loadMenu(UINT resourceId);
    virtual BOOL loadMenu(const char* resourceName);
    virtual BOOL destroyMenu();

    // id 0 makes a separator; with MF_POPUP, id is the submenu handle.
    // imageResource names a toolbar (and its bitmap) holding the command's image.
    BOOL appendItem(const wchar_t* text, UINT flags, UINT_PTR id, int imageResource = -1);
    // `text` is CP949, as all of the program's texts.
    BOOL appendItem(const char* text, UINT flags, UINT_PTR id, int imageResource = -1);
    // With MF_BYPOSITION, position is an index into this menu; otherwise a command id.
    BOOL modifyItem(UINT position, UINT flags, UINT_PTR id, const wchar_t* text);
    // Depth first; a popup is searched before the items after it.
    IconMenu* findMenuOf(UINT_PTR commandId, int* position);
    std::wstring getItemText(UINT indexOrId, UINT flags);

    size_t itemCount() const { return m_items.size(); }
    IconMenuItem* item(size_t position) const { return position < m_items.size() ? m_items[position].get() : nullptr; }
    int iconWidth() const { return m_iconWidth; }
    int iconHeight() const { return m_iconHeight; }
    // The DPI the items are drawn for; measureItem takes it from the window
    // the menu belongs to.
    UINT dpi() const { return m_dpi; }
    void setDpi(UINT dpi) { m_dpi = dpi; }

    // WM_MENUCHAR for a menu of ours: the item whose text holds "&" + ch.
    static LRESULT menuChar(UINT ch, UINT flags, HMENU menu);
    // Whether `menu` was appended as a popup to any IconMenu.
    static bool isIconMenu(HMENU menu);
    // The live IconMenu with this handle, or whose records include `itemData`.
    static IconMenu* fromHandle(HMENU menu);
    static IconMenu* ownerOfItem(ULONG_PTR itemData);

    // --- the pure parts, public so they can be checked on their own ---
    static COLORREF lighten(COLORREF colour, double f);
    // From GetVersion's value and the OSVERSIONINFOA; a null info means no
    // memory could be had for it.
    static int versionClass(DWORD version, const OSVERSIONINFOA* info);
    static bool isClassicThemeName(const char* themePath);
    // Pads the part before each tab with blanks until the tabs line up.
    static void alignAccelerators(std::vector<std::wstring>& texts,
                                  const std::function<int(const std::wstring&)>& measure);
    // iconWidth and iconHeight: the image column's box at `dpi`; the
    // spacing around it is scaled from 100 %.
    static SIZE itemSize(bool separator, int textWidth, int iconWidth, int iconHeight, bool flat,
                         bool threeImageMode, int menuRowHeight, UINT dpi = kDefaultDpi);
    static LRESULT findMnemonic(UINT ch, const std::vector<std::wstring>& texts);
    // The image index of a command in RT_TOOLBAR data, or -1.
    static int toolbarImageIndex(const BYTE* data, size_t size, UINT commandId);

    // --- process-wide state ---
    static int windowsVersion();
    static bool classicThemeActive();
    static bool richGdi() { return windowsVersion() > kWinVerOtherNt; }
    static bool xpThemed() { return windowsVersion() == kWinVerXp && !classicThemeActive(); }
    static bool flatLook();
    static IconMenuLook& look();
    static HIMAGELIST sharedImageList();
    static int sharedIndexOf(UINT_PTR commandId);

protected:
    enum ImageMode { kNoImage, kCheckImage, kOwnImage };
    struct ItemImage {
        ImageMode mode = kNoImage;
        HIMAGELIST list = nullptr;
        int index = -1;
        bool threeImages = false;  // faded and shadow copies follow the image
    };

    ItemImage imageOf(const IconMenuItem& item, bool checked, bool selected) const;
    void drawClassic(HDC dc, const DRAWITEMSTRUCT* dis, IconMenuItem& item);
    void drawFlat(HDC dc, const DRAWITEMSTRUCT* dis, IconMenuItem& item);
    void paintFlat(HDC dc, const DRAWITEMSTRUCT* dis, IconMenuItem& item, bool selected);
    void drawText(HDC dc, const std::wstring& text, RECT rect, COLORREF colour);
    void drawEmbossed(HDC dc, HIMAGELIST list, int index, int x, int y, COLORREF background);
    // A length of the 100 % look at the menu's DPI.
    int px(int length) const;
    int boxWidth() const { return px(m_iconWidth); }
    int boxHeight() const { return px(m_iconHeight); }
    void alignAccelerators();
    BOOL addToolbarImage(int resourceId, UINT_PTR commandId);
    void addDerivedImages(HICON icon, UINT_PTR commandId, int sharedIndex);
    void synchronise();

    std::vector<std::unique_ptr<IconMenuItem>> m_items;  // in menu order
    std::vector<HMENU> m_subMenus;  // appended popups, destroyed with our menu handle
    int m_iconWidth = 16;  // of the images, in pixels at any DPI
    int m_iconHeight = 15;
    UINT m_dpi = kDefaultDpi;
    COLORREF m_maskColour = RGB(192, 192, 192);
    bool m_useMaskColour = false;
    int m_checkedImage = -1;
    int m_uncheckedImage = -1;
    ScopedImageList m_checkImages;
    // The menu whose check images this one shows: itself, or the top menu
    // whose loadMenu made it and which outlives it.
    const IconMenu* m_checkImagesOwner = this;
    bool m_loadedFromResource = false;
    // The submenu objects loadMenu made; deleted by destroyMenu.
    std::vector<std::unique_ptr<IconMenu>> m_ownedSubMenus;
};
