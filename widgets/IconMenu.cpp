#include "widgets/IconMenu.h"

#include "framework/CWinApp.h"
#include "framework/CWnd.h"
#include "framework/CommonControls.h"
#include "framework/Cp949.h"
#include "framework/ScopedHandle.h"

#include <algorithm>
#include <cstddef>
#include <cwctype>

namespace {
// RT_TOOLBAR, as the resource compiler writes a TOOLBAR statement.
const LPCSTR kRtToolbar = MAKEINTRESOURCEA(241);

// These two tables live until the process ends and are never freed: a menu
// held by a static object may be destroyed after either, and its destructor
// updates both.

// Popup handles appended to any IconMenu.
std::vector<HMENU>& Registry()
{
    static auto* registry = new std::vector<HMENU>;
    return *registry;
}

std::vector<IconMenu*>& LiveMenus()
{
    static auto* menus = new std::vector<IconMenu*>;
    return *menus;
}

// The toolbar images of every IconMenu, made on first use. No destructor
// looks at this list, so it may go at exit before a static menu does.
struct SharedImages {
    ScopedImageList list;
    std::vector<UINT_PTR> ids;  // one per image
};

SharedImages& Shared()
{
    static SharedImages shared;
    return shared;
}

void Unregister(HMENU menu)
{
    auto& registry = Registry();
    registry.erase(std::remove(registry.begin(), registry.end(), menu), registry.end());
}

std::wstring Lower(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

void Fill(HDC dc, const RECT& rect, COLORREF colour)
{
    ScopedGdiObj<HBRUSH> brush(::CreateSolidBrush(colour));
    ::FillRect(dc, &rect, brush);
}

void Frame(HDC dc, const RECT& rect, COLORREF colour)
{
    ScopedGdiObj<HBRUSH> brush(::CreateSolidBrush(colour));
    ::FrameRect(dc, &rect, brush);
}

// One-pixel frame, topLeft colour on the top and left edges.
void Frame3d(HDC dc, const RECT& r, COLORREF topLeft, COLORREF bottomRight)
{
    int w = r.right - r.left, h = r.bottom - r.top;
    Fill(dc, RECT{r.left, r.top, r.left + w - 1, r.top + 1}, topLeft);
    Fill(dc, RECT{r.left, r.top, r.left + 1, r.top + h - 1}, topLeft);
    Fill(dc, RECT{r.right - 1, r.top, r.right, r.bottom}, bottomRight);
    Fill(dc, RECT{r.left, r.bottom - 1, r.right, r.bottom}, bottomRight);
}

// A 7×7 tick at 100 %: seven strokes three pixels long, each stroke and
// step as much wider and longer as the DPI is.
void DrawCheckMark(HDC dc, int x, int y, COLORREF colour, UINT dpi)
{
    static const int kStart[7] = {2, 3, 4, 3, 2, 1, 0};
    auto s = [dpi](int length) { return ScaleToDpi(length, dpi); };
    for (int i = 0; i < 7; ++i)
        Fill(dc, RECT{x + s(i), y + s(kStart[i]), x + s(i + 1), y + s(kStart[i] + 3)}, colour);
}

// A dot 6 pixels across at 100 %.
void DrawRadioDot(HDC dc, int x, int y, COLORREF colour, UINT dpi)
{
    ScopedGdiObj<HBRUSH> brush(::CreateSolidBrush(colour));
    ScopedGdiObj<HPEN> pen(::CreatePen(PS_SOLID, 1, colour));
    ScopedSelectObject useBrush(dc, brush);
    ScopedSelectObject usePen(dc, pen);
    const int size = ScaleToDpi(6, dpi);
    ::Ellipse(dc, x, y, x + size, y + size);
}

bool HasCheckBitmap(HMENU menu, UINT itemId)
{
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_CHECKMARKS;
    return ::GetMenuItemInfoW(menu, itemId, FALSE, &info) && info.hbmpChecked;
}

HFONT CreateMenuFont(UINT dpi)
{
    NONCLIENTMETRICSW metrics;
    if (!NonClientMetricsForDpi(metrics, dpi))
        return nullptr;
    return ::CreateFontIndirectW(&metrics.lfMenuFont);
}

HWND MeasuringWindow()
{
    CWnd* main = AfxGetMainWnd();
    if (main && main->m_hWnd)
        return main->m_hWnd;
    return ::GetDesktopWindow();
}

int VersionClassOf9x(const OSVERSIONINFOA* info)
{
    if (!info || info->dwMajorVersion != 4)
        return kWinVer95;
    if (info->dwMinorVersion == 10)
        return kWinVer98;
    if (info->dwMinorVersion == 90)
        return kWinVerMe;
    return kWinVer95;
}

int VersionClassOfNt(const OSVERSIONINFOA* info)
{
    if (!info)
        return kWinVerOtherNt;
    if (info->dwMajorVersion == 4)
        return kWinVerNt4;
    if (info->dwMajorVersion == 5 && info->dwMinorVersion == 0)
        return kWinVer2000;
    if (info->dwMajorVersion == 5 && info->dwMinorVersion == 1)
        return kWinVerXp;
    return kWinVerOtherNt;
}
}

// ---------------------------------------------------------------------------
// Pure parts

COLORREF IconMenu::lighten(COLORREF colour, double f)
{
    if (!(f > 0.0 && f <= 1.0))
        return colour;
    auto up = [f](int c) { return static_cast<int>(c + f * (255 - c)); };
    return RGB(up(GetRValue(colour)), up(GetGValue(colour)), up(GetBValue(colour)));
}

int IconMenu::versionClass(DWORD version, const OSVERSIONINFOA* info)
{
    bool family9x = (version & 0x80000000u) != 0;
    int major = LOBYTE(LOWORD(version));
    if (family9x && major < 4)
        return kWinVer3x;
    return family9x ? VersionClassOf9x(info) : VersionClassOfNt(info);
}

bool IconMenu::isClassicThemeName(const char* themePath)
{
    static const char kClassic[] = "Windows Classic.theme";
    const size_t tail = sizeof kClassic - 1;
    if (!themePath)
        return false;
    size_t length = lstrlenA(themePath);
    return length >= tail && lstrcmpiA(themePath + length - tail, kClassic) == 0;
}

void IconMenu::alignAccelerators(std::vector<std::wstring>& texts,
                                 const std::function<int(const std::wstring&)>& measure)
{
    int widest = 0;
    for (const std::wstring& text : texts)
        widest = std::max(widest, measure(text.substr(0, text.find(L'\t')) + L" "));
    for (std::wstring& text : texts) {
        size_t tab = text.find(L'\t');
        if (tab == std::wstring::npos)
            continue;
        std::wstring head = text.substr(0, tab);
        int width = measure(head);
        while (width < widest) {
            head += L' ';
            int grown = measure(head);
            if (grown <= width)
                break;  // a blank without width would pad for ever
            width = grown;
        }
        text = head + text.substr(tab);
    }
}

SIZE IconMenu::itemSize(bool separator, int textWidth, int iconWidth, int iconHeight, bool flat,
                        bool threeImageMode, int menuRowHeight, UINT dpi)
{
    int pad = ScaleToDpi((flat && threeImageMode) ? 7 : 4, dpi);
    if (separator)
        return SIZE{0, std::max((iconHeight + pad) / 2, menuRowHeight / 2)};
    int column = flat ? iconWidth + pad + ScaleToDpi(8, dpi) : 2 * iconWidth + ScaleToDpi(1, dpi);
    return SIZE{textWidth + column, std::max(iconHeight + pad, menuRowHeight)};
}

LRESULT IconMenu::findMnemonic(UINT ch, const std::vector<std::wstring>& texts)
{
    std::wstring key = Lower(std::wstring(1, L'&') + static_cast<wchar_t>(ch));
    for (size_t i = 0; i < texts.size(); ++i)
        if (Lower(texts[i]).find(key) != std::wstring::npos)
            return MAKELRESULT(static_cast<WORD>(i), MNC_EXECUTE);
    return 0;
}

int IconMenu::toolbarImageIndex(const BYTE* data, size_t size, UINT commandId)
{
    // The Microsoft resource compiler writes words: version 1, button width,
    // button height, count, then one command id per button. windres writes
    // double words and no version: width, height, count, ids. A separator
    // (id 0) takes no image.
    if (!data || size < 8)
        return -1;
    auto word = [data](size_t i) { return static_cast<UINT>(data[2 * i] | (data[2 * i + 1] << 8)); };
    const bool wide = word(0) != 1;
    const size_t unit = wide ? 4 : 2;
    const size_t header = wide ? 12 : 8;
    if (size < header)
        return -1;
    auto field = [&](size_t i) { return wide ? (word(2 * i) | (word(2 * i + 1) << 16)) : word(i); };
    const size_t countField = wide ? 2 : 3;
    size_t count = std::min<size_t>(field(countField), (size - header) / unit);
    int image = 0;
    for (size_t i = 0; i < count; ++i) {
        UINT id = field(countField + 1 + i);
        if (id == 0)
            continue;
        if (id == commandId)
            return image;
        ++image;
    }
    return -1;
}

// ---------------------------------------------------------------------------
// Process-wide state

int IconMenu::windowsVersion()
{
    static const int version = [] {
        OSVERSIONINFOA info{};
        info.dwOSVersionInfoSize = sizeof info;
        DWORD raw = ::GetVersion();
        return versionClass(raw, ::GetVersionExA(&info) ? &info : nullptr);
    }();
    return version;
}

bool IconMenu::classicThemeActive()
{
    static const bool classic = [] {
        HKEY key = nullptr;
        if (::RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Plus!\\Themes\\Current", 0, KEY_READ, &key) !=
            ERROR_SUCCESS)
            return false;
        char value[261] = "";
        DWORD size = 260;
        DWORD type = 0;
        LONG rc = ::RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
        ::RegCloseKey(key);
        return rc == ERROR_SUCCESS && isClassicThemeName(value);
    }();
    return classic;
}

IconMenuLook& IconMenu::look()
{
    static IconMenuLook settings;
    return settings;
}

bool IconMenu::flatLook()
{
    return (xpThemed() ? look().flatOnXp : look().flatElsewhere) == 1;
}

HIMAGELIST IconMenu::sharedImageList()
{
    return Shared().list;
}

int IconMenu::sharedIndexOf(UINT_PTR commandId)
{
    const auto& ids = Shared().ids;
    auto it = std::find(ids.begin(), ids.end(), commandId);
    return it == ids.end() ? -1 : static_cast<int>(it - ids.begin());
}

bool IconMenu::isIconMenu(HMENU menu)
{
    const auto& registry = Registry();
    return menu && std::find(registry.begin(), registry.end(), menu) != registry.end();
}

IconMenu* IconMenu::fromHandle(HMENU menu)
{
    for (IconMenu* m : LiveMenus())
        if (menu && m->m_hMenu == menu)
            return m;
    return nullptr;
}

IconMenu* IconMenu::ownerOfItem(ULONG_PTR itemData)
{
    for (IconMenu* m : LiveMenus())
        for (const auto& item : m->m_items)
            if (reinterpret_cast<ULONG_PTR>(item.get()) == itemData)
                return m;
    return nullptr;
}

// ---------------------------------------------------------------------------
// Life cycle

IconMenu::IconMenu()
{
    LiveMenus().push_back(this);
}

IconMenu::~IconMenu()
{
    destroyMenu();
    auto& live = LiveMenus();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
}

BOOL IconMenu::destroyMenu()
{
    if (m_hMenu)
        Unregister(m_hMenu);
    for (HMENU sub : m_subMenus)
        Unregister(sub);
    m_subMenus.clear();
    // The submenus' handles go with ours below, so their objects only let go.
    for (auto& sub : m_ownedSubMenus)
        sub->Detach();
    m_ownedSubMenus.clear();
    m_items.clear();
    m_checkImages.Reset();
    m_loadedFromResource = false;
    return CMenu::DestroyMenu();
}

// ---------------------------------------------------------------------------
// Items

BOOL IconMenu::appendItem(const char* text, UINT flags, UINT_PTR id, int imageResource)
{
    return appendItem(Widen(text ? text : "").c_str(), flags, id, imageResource);
}

BOOL IconMenu::appendItem(const wchar_t* text, UINT flags, UINT_PTR id, int imageResource)
{
    if (!m_hMenu)
        return FALSE;
    if (id == 0)
        flags = MF_OWNERDRAW | MF_SEPARATOR | (flags & MF_BYPOSITION);
    else
        flags |= MF_OWNERDRAW;

    auto item = std::make_unique<IconMenuItem>(text);
    item->m_menuFlags = flags;
    item->m_commandId = id;
    if (imageResource >= 0 && id != 0 && !(flags & MF_POPUP))
        addToolbarImage(imageResource, id);
    if (!(flags & MF_SEPARATOR))
        item->m_sharedIndex = sharedIndexOf(id);

    if (!::AppendMenuW(m_hMenu, flags, id, reinterpret_cast<LPCWSTR>(item.get())))
        return FALSE;
    m_items.push_back(std::move(item));
    if (flags & MF_POPUP) {
        HMENU sub = reinterpret_cast<HMENU>(id);
        Registry().push_back(sub);
        m_subMenus.push_back(sub);
    }
    if (m_loadedFromResource)
        alignAccelerators();
    return TRUE;
}

BOOL IconMenu::modifyItem(UINT position, UINT flags, UINT_PTR id, const wchar_t* text)
{
    IconMenu* menu = this;
    int index = static_cast<int>(position);
    if (!(flags & MF_BYPOSITION)) {
        menu = findMenuOf(position, &index);
        if (!menu)
            return FALSE;
        flags |= MF_BYPOSITION;
    }
    if (index < 0 || index >= static_cast<int>(menu->m_items.size()))
        return FALSE;

    auto item = std::make_unique<IconMenuItem>(text);
    item->m_menuFlags = flags;
    item->m_commandId = id;
    item->m_sharedIndex = sharedIndexOf(id);

    LPCWSTR data = (flags & MF_OWNERDRAW) ? reinterpret_cast<LPCWSTR>(item.get()) : item->m_text.c_str();
    if (!::ModifyMenuW(menu->m_hMenu, static_cast<UINT>(index), flags, id, data))
        return FALSE;
    menu->m_items[index] = std::move(item);
    return TRUE;
}

IconMenu* IconMenu::findMenuOf(UINT_PTR commandId, int* position)
{
    for (size_t i = 0; i < m_items.size(); ++i) {
        const IconMenuItem* item = m_items[i].get();
        if (item->isPopup()) {
            IconMenu* sub = fromHandle(reinterpret_cast<HMENU>(item->m_commandId));
            if (sub && sub != this) {
                if (IconMenu* found = sub->findMenuOf(commandId, position))
                    return found;
            }
        } else if (!item->isSeparator() && item->m_commandId == commandId) {
            if (position)
                *position = static_cast<int>(i);
            return this;
        }
    }
    if (position)
        *position = -1;
    return nullptr;
}

std::wstring IconMenu::getItemText(UINT indexOrId, UINT flags)
{
    if (flags & MF_BYPOSITION)
        return indexOrId < m_items.size() ? m_items[indexOrId]->m_text : std::wstring();
    int position = -1;
    IconMenu* menu = findMenuOf(indexOrId, &position);
    return menu ? menu->m_items[position]->m_text : std::wstring();
}

void IconMenu::alignAccelerators()
{
    std::vector<std::wstring> texts;
    for (const auto& item : m_items)
        texts.push_back(item->m_text);

    ScopedGetDC dc(nullptr);
    ScopedGdiObj<HFONT> font(CreateMenuFont(DpiOfWindow(MeasuringWindow())));
    ScopedSelectObject useFont(dc, font);
    alignAccelerators(texts, [&dc](const std::wstring& text) {
        SIZE size{};
        ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        return static_cast<int>(size.cx);
    });
    for (size_t i = 0; i < m_items.size(); ++i)
        m_items[i]->m_text = texts[i];
}

// ---------------------------------------------------------------------------
// Loading a menu template

BOOL IconMenu::loadMenu(UINT resourceId)
{
    return loadMenu(MAKEINTRESOURCEA(resourceId));
}

BOOL IconMenu::loadMenu(const char* resourceName)
{
    HMODULE module = AfxGetInstanceHandle();
    HRSRC found = ::FindResourceA(module, resourceName, RT_MENU);
    if (!found) {
        module = ::GetModuleHandleA(nullptr);
        found = ::FindResourceA(module, resourceName, RT_MENU);
    }
    if (!found)
        return FALSE;
    HGLOBAL loaded = ::LoadResource(module, found);
    const BYTE* data = loaded ? static_cast<const BYTE*>(::LockResource(loaded)) : nullptr;
    DWORD size = ::SizeofResource(module, found);
    if (!data || size < 4)
        return FALSE;

    destroyMenu();
    if (!CreatePopupMenu())
        return FALSE;

    auto word = [data](size_t at) { return static_cast<UINT>(data[at] | (data[at + 1] << 8)); };
    struct Level {
        IconMenu* menu;
        bool lastOfParent;  // the popup that opened this level ended its parent's level
    };
    std::vector<Level> levels{{this, true}};
    size_t at = 4 + word(2);
    while (!levels.empty() && at + 2 <= size) {
        UINT flags = word(at);
        at += 2;
        UINT id = 0;
        if (!(flags & MF_POPUP)) {
            if (at + 2 > size)
                break;
            id = word(at);
            at += 2;
        }
        std::wstring text;
        while (at + 2 <= size && word(at) != 0) {
            text += static_cast<wchar_t>(word(at));
            at += 2;
        }
        at += 2;
        bool last = (flags & MF_END) != 0;
        flags &= ~static_cast<UINT>(MF_END);

        IconMenu* current = levels.back().menu;
        if (flags & MF_POPUP) {
            auto sub = std::make_unique<IconMenu>();
            sub->m_checkedImage = m_checkedImage;
            sub->m_uncheckedImage = m_uncheckedImage;
            sub->m_checkImagesOwner = m_checkImagesOwner;
            sub->CreatePopupMenu();
            IconMenu* level = sub.get();
            current->m_ownedSubMenus.push_back(std::move(sub));
            current->appendItem(text.c_str(), flags, reinterpret_cast<UINT_PTR>(level->m_hMenu));
            levels.push_back({level, last});
            continue;
        }
        current->appendItem(text.c_str(), flags, id);
        if (!last)
            continue;
        // Close every level whose end this item reached.
        while (!levels.empty()) {
            Level done = levels.back();
            levels.pop_back();
            done.menu->alignAccelerators();
            if (!done.lastOfParent)
                break;
        }
    }

    // The top level is shown as plain strings.
    for (size_t i = 0; i < m_items.size(); ++i) {
        std::wstring text = m_items[i]->m_text;
        UINT_PTR id = m_items[i]->m_commandId;
        UINT kind = m_items[i]->isPopup() ? MF_POPUP : MF_STRING;
        modifyItem(static_cast<UINT>(i), MF_BYPOSITION | kind, id, text.c_str());
    }
    m_loadedFromResource = true;
    return TRUE;
}

// ---------------------------------------------------------------------------
// Toolbar images

BOOL IconMenu::addToolbarImage(int resourceId, UINT_PTR commandId)
{
    HINSTANCE instance = AfxGetInstanceHandle();
    LPCSTR name = MAKEINTRESOURCEA(resourceId);
    HRSRC toolbar = ::FindResourceA(instance, name, kRtToolbar);
    HRSRC bitmapResource = ::FindResourceA(instance, name, RT_BITMAP);
    if (!toolbar || !bitmapResource)
        return FALSE;
    HGLOBAL loaded = ::LoadResource(instance, toolbar);
    const BYTE* data = loaded ? static_cast<const BYTE*>(::LockResource(loaded)) : nullptr;
    int imageIndex = toolbarImageIndex(data, ::SizeofResource(instance, toolbar), static_cast<UINT>(commandId));
    if (imageIndex < 0)
        return FALSE;

    // A 16-colour toolbar is drawn in the standard button colours; show it
    // in the user's.
    HGLOBAL bitmapData = ::LoadResource(instance, bitmapResource);
    const auto* header = bitmapData ? static_cast<const BITMAPINFOHEADER*>(::LockResource(bitmapData)) : nullptr;
    bool sixteenColours = header && header->biBitCount == 4;
    ScopedGdiObj<HBITMAP> bitmap(sixteenColours ? Comctl32::CreateMappedBitmap(instance, resourceId, 0, nullptr, 0)
                                                : ::LoadBitmapA(instance, name));
    if (!bitmap.Get())
        return FALSE;

    ScopedImageList strip(Comctl32::ImageList_Create(m_iconWidth, m_iconHeight, ILC_COLORDDB | ILC_MASK, 1, 1));
    if (!strip)
        return FALSE;
    Comctl32::ImageList_AddMasked(strip, bitmap, m_useMaskColour ? m_maskColour : ::GetSysColor(COLOR_BTNFACE));
    ScopedIcon icon(Comctl32::ImageList_GetIcon(strip, imageIndex, ILD_NORMAL));
    if (!icon.Get())
        return FALSE;

    SharedImages& shared = Shared();
    if (!shared.list)
        shared.list.Reset(Comctl32::ImageList_Create(m_iconWidth, m_iconHeight, ILC_COLORDDB | ILC_MASK, 1, 1));
    int index = sharedIndexOf(commandId);
    if (index >= 0) {
        Comctl32::ImageList_ReplaceIcon(shared.list, index, icon.Get());
    } else {
        index = Comctl32::ImageList_AddIcon(shared.list, icon.Get());
        if (index >= 0)
            shared.ids.push_back(commandId);
    }
    if (index >= 0 && look().threeImageMode && flatLook())
        addDerivedImages(icon.Get(), commandId, index);
    return index >= 0;
}

void IconMenu::addDerivedImages(HICON icon, UINT_PTR commandId, int sharedIndex)
{
    SharedImages& shared = Shared();
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    const COLORREF shadow = xpThemed() ? ::GetSysColor(COLOR_BTNSHADOW) : lighten(::GetSysColor(COLOR_BTNSHADOW), 0.49);
    ScopedGetDC screen(nullptr);
    for (int copy = 1; copy <= 2; ++copy) {
        ScopedMemDC dc(screen);
        ScopedGdiObj<HBITMAP> bitmap(::CreateCompatibleBitmap(screen, m_iconWidth, m_iconHeight));
        COLORREF background;
        {
            ScopedSelectObject use(dc, bitmap);
            Fill(dc, RECT{0, 0, m_iconWidth, m_iconHeight}, face);
            // The face as this bitmap stores it, which may differ from the system value.
            background = ::GetPixel(dc, 1, 1);
            ::DrawIconEx(dc, 0, 0, icon, m_iconWidth, m_iconHeight, 0, nullptr, DI_NORMAL);
            for (int y = 0; y < m_iconHeight; ++y)
                for (int x = 0; x < m_iconWidth; ++x) {
                    COLORREF pixel = ::GetPixel(dc, x, y);
                    if (pixel != background)
                        ::SetPixelV(dc, x, y, copy == 1 ? lighten(pixel, 0.3) : shadow);
                }
        }
        ScopedImageList single(Comctl32::ImageList_Create(m_iconWidth, m_iconHeight, ILC_COLORDDB | ILC_MASK, 1, 1));
        if (!single)
            return;
        Comctl32::ImageList_AddMasked(single, bitmap, background);
        ScopedIcon derived(Comctl32::ImageList_GetIcon(single, 0, ILD_NORMAL));
        if (!derived.Get())
            return;
        int slot = sharedIndex + copy;
        if (slot < static_cast<int>(shared.ids.size()) && shared.ids[slot] == commandId)
            Comctl32::ImageList_ReplaceIcon(shared.list, slot, derived.Get());
        else if (Comctl32::ImageList_AddIcon(shared.list, derived.Get()) >= 0)
            shared.ids.push_back(commandId);
    }
}

// ---------------------------------------------------------------------------
// Measuring and drawing

void IconMenu::measureItem(MEASUREITEMSTRUCT* mis)
{
    auto* item = mis ? reinterpret_cast<IconMenuItem*>(mis->itemData) : nullptr;
    if (!item)
        return;
    const bool flat = flatLook();
    const bool threeImages = look().threeImageMode != 0;
    HWND window = MeasuringWindow();
    m_dpi = DpiOfWindow(window);
    const int rowHeight = SystemMetricForDpi(SM_CYMENU, m_dpi);
    SIZE size;
    if (item->isSeparator()) {
        size = itemSize(true, 0, boxWidth(), boxHeight(), flat, threeImages, rowHeight, m_dpi);
    } else {
        ScopedGetDC dc(window);
        // Older GDIs measure with the DC's own font, as they draw with it.
        ScopedGdiObj<HFONT> font(richGdi() ? CreateMenuFont(m_dpi) : nullptr);
        ScopedSelectObject useFont(dc, font);
        SIZE text{};
        ::GetTextExtentPoint32W(dc, item->m_text.c_str(), static_cast<int>(item->m_text.size()), &text);
        size = itemSize(false, text.cx, boxWidth(), boxHeight(), flat, threeImages, rowHeight, m_dpi);
    }
    mis->itemWidth = static_cast<UINT>(size.cx);
    mis->itemHeight = static_cast<UINT>(size.cy);
}

int IconMenu::px(int length) const
{
    return ScaleToDpi(length, m_dpi);
}

IconMenu::ItemImage IconMenu::imageOf(const IconMenuItem& item, bool checked, bool selected) const
{
    ItemImage image;
    if (item.m_hasImage >= 0 && item.m_imageList) {
        image.mode = kOwnImage;
        image.list = item.m_imageList;
        image.index = item.m_imageIndex;
        image.threeImages = Comctl32::ImageList_GetImageCount(item.m_imageList) > 2 && item.m_imageIndex == 0;
    } else if (item.m_sharedIndex >= 0 && sharedImageList()) {
        const auto& ids = Shared().ids;
        image.mode = kOwnImage;
        image.list = sharedImageList();
        image.index = item.m_sharedIndex;
        image.threeImages = std::count(ids.begin(), ids.end(), item.m_commandId) == 3;
    } else if (checked && m_checkImagesOwner->m_checkImages &&
               ((selected && m_checkedImage > 0) || m_uncheckedImage > 0)) {
        image.mode = kCheckImage;
        image.list = m_checkImagesOwner->m_checkImages;
        image.index = selected ? 1 : 0;
    }
    return image;
}

void IconMenu::drawItem(const DRAWITEMSTRUCT* dis)
{
    if (!dis || dis->CtlType != ODT_MENU)
        return;
    auto* item = reinterpret_cast<IconMenuItem*>(dis->itemData);
    if (!item)
        return;
    bool paletteDevice = (::GetDeviceCaps(dis->hDC, RASTERCAPS) & RC_PALETTE) != 0;
    if (paletteDevice || !flatLook())
        drawClassic(dis->hDC, dis, *item);
    else
        drawFlat(dis->hDC, dis, *item);
}

void IconMenu::drawText(HDC dc, const std::wstring& text, RECT rect, COLORREF colour)
{
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, colour);
    size_t firstTab = text.find(L'\t');
    if (firstTab == std::wstring::npos) {
        ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, DT_LEFT | DT_SINGLELINE | DT_VCENTER);
        return;
    }
    rect.right -= boxWidth();
    std::wstring label = text.substr(0, firstTab);
    std::wstring accelerator = text.substr(text.rfind(L'\t') + 1);
    ::DrawTextW(dc, label.c_str(), static_cast<int>(label.size()), &rect, DT_LEFT | DT_SINGLELINE | DT_VCENTER);
    ::DrawTextW(dc, accelerator.c_str(), static_cast<int>(accelerator.size()), &rect,
                DT_RIGHT | DT_SINGLELINE | DT_VCENTER);
}

void IconMenu::drawEmbossed(HDC dc, HIMAGELIST list, int index, int x, int y, COLORREF background)
{
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    const COLORREF highlight = ::GetSysColor(COLOR_BTNHIGHLIGHT);
    const COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW);
    ScopedMemDC mem(dc);
    ScopedGdiObj<HBITMAP> bitmap(::CreateCompatibleBitmap(dc, m_iconWidth, m_iconHeight));
    ScopedSelectObject use(mem, bitmap);
    Fill(mem, RECT{0, 0, m_iconWidth, m_iconHeight}, face);
    Comctl32::ImageList_Draw(list, index, mem, 0, 0, ILD_TRANSPARENT);

    std::vector<POINT> shape;
    for (int py = 0; py < m_iconHeight; ++py)
        for (int px = 0; px < m_iconWidth; ++px) {
            COLORREF pixel = ::GetPixel(mem, px, py);
            if (pixel != face && pixel != highlight)
                shape.push_back(POINT{px, py});
        }
    Fill(dc, RECT{x, y, x + m_iconWidth + 1, y + m_iconHeight + 1}, background);
    for (const POINT& p : shape)
        ::SetPixelV(dc, x + p.x + 1, y + p.y + 1, highlight);
    for (const POINT& p : shape)
        ::SetPixelV(dc, x + p.x, y + p.y, shadow);
}

void IconMenu::drawClassic(HDC dc, const DRAWITEMSTRUCT* dis, IconMenuItem& item)
{
    const RECT r = dis->rcItem;
    const int height = r.bottom - r.top;
    const bool grayed = (dis->itemState & (ODS_GRAYED | ODS_DISABLED)) != 0;
    const bool checked = (dis->itemState & ODS_CHECKED) != 0;
    bool selected = (dis->itemState & ODS_SELECTED) != 0;
    if (grayed && !look().disabledSelectableClassic)
        selected = false;
    const COLORREF back = ::GetSysColor(xpThemed() ? COLOR_3DFACE : COLOR_MENU);
    const COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW);
    const COLORREF highlight = ::GetSysColor(COLOR_BTNHIGHLIGHT);
    const int bw = boxWidth(), bh = boxHeight();
    const int dy = std::max(0, (height - bh - px(4)) / 2);

    if (item.isSeparator()) {
        Fill(dc, r, back);
        RECT edge = r;
        edge.top += height / 2;
        ::DrawEdge(dc, &edge, EDGE_ETCHED, BF_TOP);
        return;
    }

    ItemImage image = imageOf(item, checked, selected);
    COLORREF textColour = ::GetSysColor(COLOR_MENUTEXT);
    Fill(dc, r, back);
    if (selected) {
        RECT bar = r;
        if (image.mode != kNoImage || checked)
            bar.left = r.left + bw + px(5);
        Fill(dc, bar, ::GetSysColor(COLOR_HIGHLIGHT));
        textColour = ::GetSysColor(COLOR_HIGHLIGHTTEXT);
    }

    const RECT box{r.left, r.top + dy, r.left + bw + px(4), r.top + dy + bh + px(4)};
    // The image keeps its own size, centred in its box.
    const int ix = r.left + px(2) + (bw - m_iconWidth) / 2, iy = r.top + dy + px(2) + (bh - m_iconHeight) / 2;
    if (image.mode != kNoImage) {
        if (selected && !grayed) {
            Fill(dc, box, back);
            if (richGdi())
                checked ? Frame3d(dc, box, shadow, highlight) : Frame3d(dc, box, highlight, shadow);
            Comctl32::ImageList_Draw(image.list, image.index, dc, ix, iy, ILD_TRANSPARENT);
        } else if (grayed) {
            Fill(dc, box, back);
            drawEmbossed(dc, image.list, image.index, ix, iy, back);
        } else if (checked) {
            Fill(dc, box, lighten(back, 0.6));
            if (richGdi())
                Frame3d(dc, box, shadow, highlight);
            Comctl32::ImageList_Draw(image.list, image.index, dc, ix, iy, ILD_TRANSPARENT);
        } else {
            Fill(dc, box, back);
            Comctl32::ImageList_Draw(image.list, image.index, dc, ix, iy, ILD_TRANSPARENT);
        }
    } else if (checked) {
        RECT mark{r.left + px(1), r.top + dy + px(2), r.left + bw + px(1), r.top + dy + bh + px(2)};
        Fill(dc, mark, selected ? back : lighten(back, 0.6));
        if (richGdi())
            ::DrawEdge(dc, &mark, BDR_SUNKENOUTER, BF_RECT);
        const COLORREF ink = ::GetSysColor(COLOR_MENUTEXT);
        if (HasCheckBitmap(reinterpret_cast<HMENU>(dis->hwndItem), dis->itemID))
            DrawRadioDot(dc, mark.left + px(5), mark.top + px(4), ink, m_dpi);
        else
            DrawCheckMark(dc, mark.left + px(4), mark.top + px(4), ink, m_dpi);
    }

    RECT text{r.left + bw + px(9), r.top - px(1), r.right, r.bottom - px(1)};
    if (!grayed) {
        drawText(dc, item.m_text, text, textColour);
    } else if (selected) {
        drawText(dc, item.m_text, text, back);
    } else {
        RECT embossed = text;
        ::OffsetRect(&embossed, 1, 1);
        drawText(dc, item.m_text, embossed, highlight);
        drawText(dc, item.m_text, text, ::GetSysColor(COLOR_GRAYTEXT));
    }
}

void IconMenu::drawFlat(HDC target, const DRAWITEMSTRUCT* dis, IconMenuItem& item)
{
    const bool grayed = (dis->itemState & (ODS_GRAYED | ODS_DISABLED)) != 0;
    const bool selected = (dis->itemState & ODS_SELECTED) != 0;
    if (!grayed || look().disabledSelectableFlat) {
        paintFlat(target, dis, item, selected);
        return;
    }
    // Disabled items that cannot be selected are composed off screen, so the
    // menu does not flicker as the selection passes over them.
    const RECT r = dis->rcItem;
    const int width = r.right - r.left, height = r.bottom - r.top;
    ScopedMemDC mem(target);
    ScopedGdiObj<HBITMAP> buffer(::CreateCompatibleBitmap(target, width, height));
    if (!mem || !buffer.Get()) {
        paintFlat(target, dis, item, false);
        return;
    }
    ScopedGdiObj<HFONT> font(CreateMenuFont(m_dpi));
    ScopedSelectObject useBuffer(mem, buffer);
    ScopedSelectObject useFont(mem, font);
    ::SetWindowOrgEx(mem, r.left, r.top, nullptr);
    paintFlat(mem, dis, item, false);
    ::BitBlt(target, r.left, r.top, width, height, mem, r.left, r.top, SRCCOPY);
}

void IconMenu::paintFlat(HDC dc, const DRAWITEMSTRUCT* dis, IconMenuItem& item, bool selected)
{
    const RECT r = dis->rcItem;
    const int height = r.bottom - r.top;
    const bool grayed = (dis->itemState & (ODS_GRAYED | ODS_DISABLED)) != 0;
    const bool checked = (dis->itemState & ODS_CHECKED) != 0;
    const COLORREF window = ::GetSysColor(COLOR_WINDOW);
    const COLORREF face = xpThemed() ? ::GetSysColor(COLOR_BTNFACE) : lighten(::GetSysColor(COLOR_BTNFACE), 0.25);
    const COLORREF hilite = ::GetSysColor(COLOR_HIGHLIGHT);
    const COLORREF selection = lighten(hilite, xpThemed() ? 0.7 : 0.85);
    const int pad = px(look().threeImageMode ? 7 : 4);
    const int column = pad + boxWidth();
    const RECT columnRect{r.left, r.top, r.left + column, r.bottom};

    if (item.isSeparator()) {
        Fill(dc, r, window);
        Fill(dc, columnRect, face);
        RECT edge{r.left + column + pad, r.top + height / 2, r.right, r.bottom};
        ::DrawEdge(dc, &edge, EDGE_ETCHED, BF_TOP);
    } else {
        if (!selected) {
            Fill(dc, r, window);
            Fill(dc, columnRect, face);
        } else {
            Fill(dc, r, selection);
            Frame(dc, r, hilite);
        }

        ItemImage image = imageOf(item, checked, selected);
        // The image keeps its own size, centred in its column.
        const int ix = r.left + (pad + 1) / 2 + (boxWidth() - m_iconWidth) / 2;
        const int iy = std::max(r.top, r.top + (height - m_iconHeight + 1) / 2);
        const RECT box{r.left + 1, r.top + 1, r.left + column - 1, r.bottom - 1};
        auto drawImage = [&](int index, int x, int y) { Comctl32::ImageList_Draw(image.list, index, dc, x, y, ILD_TRANSPARENT); };
        if (image.mode != kNoImage) {
            if (selected && !grayed) {
                Fill(dc, box, selection);
                if (checked) {
                    Frame(dc, box, hilite);
                    drawImage(image.index, ix - 1, iy - 1);
                } else if (image.threeImages) {
                    drawImage(image.index + 2, ix + 1, iy + 1);
                    drawImage(image.index, ix - 1, iy - 1);
                } else {
                    drawImage(image.index, ix, iy);
                }
            } else if (grayed) {
                drawEmbossed(dc, image.list, image.index, ix, iy, selected ? selection : face);
                if (selected)
                    Frame(dc, r, hilite);
            } else if (checked) {
                Fill(dc, box, lighten(hilite, 0.85));
                Frame(dc, box, hilite);
                drawImage(image.index, ix - 1, iy - 1);
            } else {
                Fill(dc, box, face);
                drawImage(image.threeImages ? image.index + 1 : image.index, ix, iy);
            }
        } else if (checked) {
            const int size = px(16);
            const int left = r.left + (column - size) / 2, top = r.top + (height - size) / 2;
            const RECT mark{left, top, left + size, top + size};
            Fill(dc, mark, lighten(hilite, 0.85));
            Frame(dc, mark, hilite);
            const COLORREF ink = ::GetSysColor(COLOR_MENUTEXT);
            if (HasCheckBitmap(reinterpret_cast<HMENU>(dis->hwndItem), dis->itemID))
                DrawRadioDot(dc, left + px(5), top + px(4), ink, m_dpi);
            else
                DrawCheckMark(dc, left + px(5), top + px(4), ink, m_dpi);
        }

        COLORREF colour = ::GetSysColor(COLOR_MENUTEXT);
        if (grayed) {
            colour = ::GetSysColor(COLOR_GRAYTEXT);
            if (!xpThemed() && !selected)
                colour = lighten(colour, 0.4);
        }
        drawText(dc, item.m_text, RECT{r.left + column + px(8), r.top - px(1), r.right, r.bottom - px(1)}, colour);
    }
}

// ---------------------------------------------------------------------------
// Keyboard

LRESULT IconMenu::menuChar(UINT ch, UINT flags, HMENU menu)
{
    if (!(flags & MF_POPUP))
        return 0;
    IconMenu* owner = fromHandle(menu);
    if (!owner)
        return 0;
    if (::GetMenuItemCount(menu) != static_cast<int>(owner->m_items.size()))
        owner->synchronise();
    std::vector<std::wstring> texts;
    for (const auto& item : owner->m_items)
        texts.push_back(item->m_text);
    return findMnemonic(ch, texts);
}

void IconMenu::synchronise()
{
    std::vector<std::unique_ptr<IconMenuItem>> ordered;
    const int count = ::GetMenuItemCount(m_hMenu);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU | MIIM_DATA | MIIM_STATE;
        if (!::GetMenuItemInfoW(m_hMenu, static_cast<UINT>(i), TRUE, &info))
            continue;
        std::unique_ptr<IconMenuItem> record;
        for (auto& item : m_items)
            if (item && reinterpret_cast<ULONG_PTR>(item.get()) == info.dwItemData)
                record = std::move(item);
        if (!record) {
            // An item added past us: give it a record and draw it ourselves.
            wchar_t text[256] = L"";
            if (!(info.fType & (MFT_OWNERDRAW | MFT_SEPARATOR)))
                ::GetMenuStringW(m_hMenu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
            UINT flags = MF_OWNERDRAW;
            if (info.fType & MFT_SEPARATOR)
                flags |= MF_SEPARATOR;
            if (info.hSubMenu)
                flags |= MF_POPUP;
            UINT_PTR id = info.hSubMenu ? reinterpret_cast<UINT_PTR>(info.hSubMenu) : info.wID;
            record = std::make_unique<IconMenuItem>(text);
            record->m_menuFlags = flags;
            record->m_commandId = id;
            record->m_sharedIndex = sharedIndexOf(id);
            UINT state = info.fState & (MFS_CHECKED | MFS_GRAYED);
            ::ModifyMenuW(m_hMenu, static_cast<UINT>(i), MF_BYPOSITION | flags | state, id,
                          reinterpret_cast<LPCWSTR>(record.get()));
        }
        ordered.push_back(std::move(record));
    }
    // Records of items that left the menu go with the old list.
    m_items = std::move(ordered);
}
