#include "widgets/IconMenu.h"

#include "WidgetsTestResource.h"
#include "WidgetsTestWindow.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {
OSVERSIONINFOA Version(DWORD major, DWORD minor)
{
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    info.dwMajorVersion = major;
    info.dwMinorVersion = minor;
    return info;
}

UINT MenuType(HMENU menu, UINT position)
{
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_FTYPE;
    ::GetMenuItemInfoA(menu, position, TRUE, &info);
    return info.fType;
}

class ProbeMenu : public IconMenu {
public:
    using IconMenu::m_loadedFromResource;
};

DRAWITEMSTRUCT MenuDraw(HDC dc, IconMenu& menu, int position, UINT state, RECT rect)
{
    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_MENU;
    dis.itemID = ::GetMenuItemID(menu.m_hMenu, position);
    dis.itemAction = ODA_DRAWENTIRE;
    dis.itemState = state;
    dis.hwndItem = reinterpret_cast<HWND>(menu.m_hMenu);
    dis.hDC = dc;
    dis.rcItem = rect;
    dis.itemData = reinterpret_cast<ULONG_PTR>(menu.item(position));
    return dis;
}
}

TEST(IconMenu, VersionClassFollowsTheVersionTable)
{
    struct Case {
        const char* name;
        DWORD version;  // as GetVersion reports it
        bool haveInfo;
        DWORD major, minor;
        int expected;
    };
    const Case cases[] = {
        {"Win32s on 3.1", 0x80000A03, true, 3, 10, kWinVer3x},
        {"Windows 95", 0xC3B60004, true, 4, 0, kWinVer95},
        {"Windows 98", 0xC0000A04, true, 4, 10, kWinVer98},
        {"Windows Me", 0xC0005A04, true, 4, 90, kWinVerMe},
        {"other 9x", 0xC0000504, true, 4, 5, kWinVer95},
        {"9x without memory", 0xC0000A04, false, 0, 0, kWinVer95},
        {"NT 3.51", 0x04213303, true, 3, 51, kWinVerOtherNt},
        {"NT 4", 0x05650004, true, 4, 0, kWinVerNt4},
        {"Windows 2000", 0x08930005, true, 5, 0, kWinVer2000},
        {"Windows XP", 0x0A280105, true, 5, 1, kWinVerXp},
        {"Server 2003", 0x0ECE0205, true, 5, 2, kWinVerOtherNt},
        {"Windows 7", 0x1DB10106, true, 6, 1, kWinVerOtherNt},
        {"NT without memory", 0x0A280105, false, 0, 0, kWinVerOtherNt},
    };
    for (const Case& c : cases) {
        OSVERSIONINFOA info = Version(c.major, c.minor);
        EXPECT_EQ(IconMenu::versionClass(c.version, c.haveInfo ? &info : nullptr), c.expected) << c.name;
    }
}

TEST(IconMenu, LaterNtVersionsUseThePlainClassicLook)
{
    // This machine reports an NT version after XP, as every current Windows does.
    if (IconMenu::windowsVersion() != kWinVerOtherNt)
        GTEST_SKIP() << "running on a version of class " << IconMenu::windowsVersion();
    EXPECT_FALSE(IconMenu::richGdi());
    EXPECT_FALSE(IconMenu::xpThemed());
    EXPECT_FALSE(IconMenu::flatLook());
}

TEST(IconMenu, LightenMovesEachChannelTowardWhiteOnlyForFactorsUpToOne)
{
    struct Case {
        COLORREF colour;
        double f;
        COLORREF expected;
    };
    const Case cases[] = {
        {RGB(0, 0, 0), 0.5, RGB(127, 127, 127)},
        {RGB(100, 200, 50), 0.25, RGB(138, 213, 101)},
        {RGB(100, 200, 50), 1.0, RGB(255, 255, 255)},
        {RGB(100, 200, 50), 0.0, RGB(100, 200, 50)},
        {RGB(100, 200, 50), 1.5, RGB(100, 200, 50)},
        {RGB(100, 200, 50), -0.3, RGB(100, 200, 50)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IconMenu::lighten(c.colour, c.f), c.expected)
            << ColourText(c.colour) << " by " << c.f << " gave " << ColourText(IconMenu::lighten(c.colour, c.f));
}

TEST(IconMenu, ClassicThemeIsRecognisedByTheTailOfThePath)
{
    struct Case {
        const char* path;
        bool classic;
    };
    const Case cases[] = {
        {"C:\\WINDOWS\\Resources\\Themes\\Windows Classic.theme", true},
        {"c:\\windows\\resources\\themes\\windows classic.THEME", true},
        {"C:\\WINDOWS\\Resources\\Themes\\Luna.theme", false},
        {"Classic.theme", false},
        {"", false},
        {nullptr, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IconMenu::isClassicThemeName(c.path), c.classic) << (c.path ? c.path : "(null)");
}

TEST(IconMenu, AcceleratorsAreAlignedOnTheWidestLabelPlusOneBlank)
{
    auto tenPerChar = [](const std::wstring& text) { return static_cast<int>(text.size()) * 10; };
    std::vector<std::wstring> texts{L"&Open\tCtrl+O", L"E&xit", L"Save &As\tF12", L""};
    IconMenu::alignAccelerators(texts, tenPerChar);
    EXPECT_EQ(texts[0], L"&Open    \tCtrl+O");
    EXPECT_EQ(texts[1], L"E&xit") << "items without a tab are left alone";
    EXPECT_EQ(texts[2], L"Save &As \tF12") << "even the widest label gets its blank";
    EXPECT_EQ(texts[3], L"");

    // Blanks that add no width (as in some fonts) must not pad for ever.
    std::vector<std::wstring> noWidth{L"a\tb", L"longer"};
    IconMenu::alignAccelerators(noWidth, [](const std::wstring& text) {
        return text.find(L"longer") != std::wstring::npos ? 10 : 0;
    });
    EXPECT_EQ(noWidth[0], L"a \tb");
}

TEST(IconMenu, ItemSizeFollowsLookAndMenuRowHeight)
{
    struct Case {
        bool separator;
        bool flat, threeImages;
        int rowHeight;
        SIZE expected;
        UINT dpi = 96;
        int textWidth = 50, boxWidth = 16, boxHeight = 15;
    };
    // Text 50 wide, images 16x15; at 150 % the text 75 wide, the box 24x23.
    const Case cases[] = {
        {true, false, true, 19, {0, 9}},     // (15 + 4) / 2 = 9, 19 / 2 = 9
        {true, false, true, 30, {0, 15}},    // never below half a menu row
        {true, true, true, 19, {0, 11}},     // (15 + 7) / 2
        {true, true, false, 10, {0, 9}},
        {false, false, true, 19, {83, 19}},  // 50 + 2·16 + 1
        {false, false, true, 12, {83, 19}},  // image height + 4
        {false, true, true, 19, {81, 22}},   // 50 + 16 + 7 + 8
        {false, true, false, 30, {78, 30}},
        {true, false, true, 28, {0, 14}, 144, 75, 24, 23},      // (23 + 6) / 2
        {true, true, true, 28, {0, 17}, 144, 75, 24, 23},       // (23 + 11) / 2
        {false, false, true, 28, {125, 29}, 144, 75, 24, 23},   // 75 + 2·24 + 2, 23 + 6
        {false, true, true, 28, {122, 34}, 144, 75, 24, 23},    // 75 + 24 + 11 + 12
    };
    for (const Case& c : cases) {
        SIZE size = IconMenu::itemSize(c.separator, c.textWidth, c.boxWidth, c.boxHeight, c.flat, c.threeImages,
                                       c.rowHeight, c.dpi);
        EXPECT_EQ(size.cx, c.expected.cx) << (c.separator ? "separator" : "item") << " flat=" << c.flat
                                          << " three=" << c.threeImages << " row=" << c.rowHeight << " dpi=" << c.dpi;
        EXPECT_EQ(size.cy, c.expected.cy) << (c.separator ? "separator" : "item") << " flat=" << c.flat
                                          << " three=" << c.threeImages << " row=" << c.rowHeight << " dpi=" << c.dpi;
    }
}

TEST(IconMenu, MnemonicSearchFindsTheFirstItemWithAmpersandAndKey)
{
    const std::vector<std::wstring> texts{L"&Open", L"E&xit", L"Save &As", L"&Another"};
    struct Case {
        UINT key;
        LRESULT expected;
    };
    const Case cases[] = {
        {'x', MAKELRESULT(1, MNC_EXECUTE)},
        {'X', MAKELRESULT(1, MNC_EXECUTE)},
        {'a', MAKELRESULT(2, MNC_EXECUTE)},
        {'o', MAKELRESULT(0, MNC_EXECUTE)},
        {'q', 0},
        {'p', 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IconMenu::findMnemonic(c.key, texts), c.expected) << "key '" << static_cast<char>(c.key) << "'";
}

TEST(IconMenu, ToolbarImageIndexSkipsSeparatorsInBothResourceLayouts)
{
    // As the Microsoft resource compiler writes a toolbar: words, version 1 first.
    const WORD words[] = {1, 16, 15, 4, 40001, 0, 40002, 40003};
    // As windres writes it: double words, no version.
    const DWORD dwords[] = {16, 15, 4, 40001, 0, 40002, 40003};
    struct Layout {
        const char* name;
        const BYTE* data;
        size_t size;
        size_t shortSize;  // cut inside the ids
    };
    const Layout layouts[] = {
        {"words", reinterpret_cast<const BYTE*>(words), sizeof words, 12},
        {"double words", reinterpret_cast<const BYTE*>(dwords), sizeof dwords, 20},
    };
    for (const Layout& l : layouts) {
        EXPECT_EQ(IconMenu::toolbarImageIndex(l.data, l.size, 40001), 0) << l.name;
        EXPECT_EQ(IconMenu::toolbarImageIndex(l.data, l.size, 40002), 1) << l.name;
        EXPECT_EQ(IconMenu::toolbarImageIndex(l.data, l.size, 40003), 2) << l.name;
        EXPECT_EQ(IconMenu::toolbarImageIndex(l.data, l.size, 40009), -1) << l.name;
        EXPECT_EQ(IconMenu::toolbarImageIndex(l.data, l.shortSize, 40003), -1)
            << l.name << ": a count beyond the data must not be read";
    }
    EXPECT_EQ(IconMenu::toolbarImageIndex(nullptr, 0, 40001), -1);
}

TEST(IconMenu, AppendMakesOwnerDrawnItemsSeparatorsAndRegisteredPopups)
{
    IconMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    IconMenu sub;
    ASSERT_TRUE(sub.CreatePopupMenu());
    HMENU subHandle = sub.Detach();  // the outer menu destroys it

    EXPECT_TRUE(menu.appendItem(L"&Open", MF_STRING, 100));
    EXPECT_TRUE(menu.appendItem(L"", 0, 0));
    EXPECT_TRUE(menu.appendItem(L"", MF_BYPOSITION, 0));
    EXPECT_TRUE(menu.appendItem("&More", MF_POPUP, reinterpret_cast<UINT_PTR>(subHandle)));
    ASSERT_EQ(menu.itemCount(), 4u);
    EXPECT_EQ(menu.item(0)->m_menuFlags, static_cast<UINT>(MF_OWNERDRAW));
    EXPECT_EQ(menu.item(1)->m_menuFlags, 0x900u) << "a separator is MF_OWNERDRAW | MF_SEPARATOR";
    EXPECT_EQ(menu.item(2)->m_menuFlags, 0xD00u) << "MF_BYPOSITION is kept on a separator";
    EXPECT_EQ(menu.item(3)->m_text, L"&More") << "narrow texts are widened";
    EXPECT_TRUE(MenuType(menu.m_hMenu, 0) & MFT_OWNERDRAW);
    EXPECT_TRUE(IconMenu::isIconMenu(subHandle)) << "an appended popup joins the registry";
    EXPECT_FALSE(IconMenu::isIconMenu(menu.m_hMenu));

    menu.destroyMenu();
    EXPECT_FALSE(IconMenu::isIconMenu(subHandle)) << "destroying the menu leaves the registry";
    EXPECT_EQ(menu.itemCount(), 0u);
    EXPECT_EQ(menu.m_hMenu, nullptr);
}

TEST(IconMenu, MeasuresItemsAtLeastAMenuRowHighAndSeparatorsHalfAsHigh)
{
    if (IconMenu::flatLook())
        GTEST_SKIP() << "the flat look is in use here";
    IconMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    ASSERT_TRUE(menu.appendItem(L"", 0, 0));
    ASSERT_TRUE(menu.appendItem(L"Item", MF_STRING, 7));
    // The classic look at 100 %: the 15-pixel image box and 4 pixels, or the menu row where that is higher.
    const UINT row = std::max(19, ::GetSystemMetrics(SM_CYMENU));
    MEASUREITEMSTRUCT separator{ODT_MENU, 0, 0, 0, 0, reinterpret_cast<ULONG_PTR>(menu.item(0))};
    menu.measureItem(&separator);
    EXPECT_EQ(separator.itemWidth, 0u);
    EXPECT_EQ(separator.itemHeight, row / 2) << "a separator is half a row";
    MEASUREITEMSTRUCT item{ODT_MENU, 0, 0, 0, 0, reinterpret_cast<ULONG_PTR>(menu.item(1))};
    menu.measureItem(&item);
    EXPECT_EQ(item.itemHeight, row);
    EXPECT_GT(item.itemWidth, 33u) << "the text adds to the image column of 2·16 + 1 pixels";
}

TEST(IconMenu, MenuCharResynchronisesItemsAddedBehindItsBack)
{
    IconMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    ASSERT_TRUE(menu.appendItem(L"&Open", MF_STRING, 1));
    ASSERT_TRUE(menu.appendItem(L"E&xit", MF_STRING, 2));
    EXPECT_EQ(IconMenu::menuChar('x', 0, menu.m_hMenu), 0) << "only popups are searched";
    EXPECT_EQ(IconMenu::menuChar('x', MF_POPUP, menu.m_hMenu), MAKELRESULT(1, MNC_EXECUTE));

    ::AppendMenuA(menu.m_hMenu, MF_STRING, 3, "&Zoom");
    EXPECT_EQ(IconMenu::menuChar('z', MF_POPUP, menu.m_hMenu), MAKELRESULT(2, MNC_EXECUTE));
    ASSERT_EQ(menu.itemCount(), 3u);
    EXPECT_EQ(menu.item(2)->m_text, L"&Zoom");
    EXPECT_TRUE(MenuType(menu.m_hMenu, 2) & MFT_OWNERDRAW) << "the new item must be drawn by the menu too";
    EXPECT_EQ(IconMenu::menuChar('o', MF_POPUP, menu.m_hMenu), MAKELRESULT(0, MNC_EXECUTE));
}

TEST(IconMenu, LoadMenuReadsTheTemplateIntoOwnerDrawnSubmenus)
{
    ProbeMenu menu;
    ASSERT_TRUE(menu.loadMenu(IDR_TEST_MENU));
    EXPECT_TRUE(menu.m_loadedFromResource);
    ASSERT_EQ(menu.GetMenuItemCount(), 1);
    EXPECT_FALSE(MenuType(menu.m_hMenu, 0) & MFT_OWNERDRAW) << "the top level stays plain text";
    EXPECT_EQ(menu.getItemText(0, MF_BYPOSITION), L"&File");

    HMENU popup = menu.GetSubMenu(0);
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(IconMenu::isIconMenu(popup));
    IconMenu* file = IconMenu::fromHandle(popup);
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(file->itemCount(), 3u);
    EXPECT_TRUE(file->item(1)->isSeparator());
    EXPECT_TRUE(MenuType(popup, 0) & MFT_OWNERDRAW);

    int position = -1;
    EXPECT_EQ(menu.findMenuOf(ID_TEST_EXIT, &position), file);
    EXPECT_EQ(position, 2);
    EXPECT_EQ(menu.findMenuOf(12345, &position), nullptr);
    EXPECT_EQ(position, -1);
    EXPECT_EQ(menu.getItemText(ID_TEST_EXIT, MF_BYCOMMAND), L"E&xit");

    std::wstring open = menu.getItemText(ID_TEST_OPEN, MF_BYCOMMAND);
    size_t tab = open.find(L'\t');
    ASSERT_NE(tab, std::wstring::npos) << "the accelerator must survive";
    EXPECT_EQ(open.substr(0, 5), L"&Open");
    EXPECT_EQ(open.substr(tab), L"\tCtrl+O");
    EXPECT_GT(tab, 5u) << "the label must be padded up to the widest one";

    EXPECT_FALSE(menu.loadMenu(12345)) << "a missing template";
}

TEST(IconMenu, ToolbarImagesGoToTheSharedListUnderTheirCommand)
{
    IconMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    ASSERT_TRUE(menu.appendItem(L"Blue", MF_STRING, ID_TEST_BLUE, IDR_TEST_TOOLBAR));
    int index = IconMenu::sharedIndexOf(ID_TEST_BLUE);
    ASSERT_GE(index, 0) << "no shared image for the command";
    EXPECT_EQ(menu.item(0)->m_sharedIndex, index);

    TestCanvas canvas(16, 15);
    ASSERT_TRUE(ImageList_Draw(IconMenu::sharedImageList(), index, canvas.dc(), 0, 0, ILD_TRANSPARENT));
    EXPECT_EQ(canvas.pixel(8, 7), RGB(0, 0, 255)) << "the second toolbar image is the blue one, got "
                                                  << ColourText(canvas.pixel(8, 7));
    EXPECT_EQ(canvas.pixel(1, 1), RGB(255, 255, 255)) << "the button face around it is transparent";

    // Appending the same command again replaces its image instead of adding one.
    int count = ImageList_GetImageCount(IconMenu::sharedImageList());
    ASSERT_TRUE(menu.appendItem(L"Blue again", MF_STRING, ID_TEST_BLUE, IDR_TEST_TOOLBAR));
    EXPECT_EQ(ImageList_GetImageCount(IconMenu::sharedImageList()), count);
    EXPECT_EQ(IconMenu::sharedIndexOf(ID_TEST_OPEN), -1) << "only appended commands have images";
}

TEST(IconMenu, ClassicSelectionBarLeavesTheImageColumnOnlyForItemsWithImages)
{
    if (IconMenu::flatLook())
        GTEST_SKIP() << "the flat look is in use here";
    IconMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    ASSERT_TRUE(menu.appendItem(L"Plain", MF_STRING, 501));
    ASSERT_TRUE(menu.appendItem(L"Blue", MF_STRING, ID_TEST_BLUE, IDR_TEST_TOOLBAR));
    ASSERT_TRUE(menu.appendItem(L"", 0, 0));
    const COLORREF bar = ::GetSysColor(COLOR_HIGHLIGHT);
    const COLORREF back = ::GetSysColor(IconMenu::xpThemed() ? COLOR_3DFACE : COLOR_MENU);
    const RECT rect{0, 0, 120, 20};

    TestCanvas plain(120, 20);
    DRAWITEMSTRUCT selectedPlain = MenuDraw(plain.dc(), menu, 0, ODS_SELECTED, rect);
    menu.drawItem(&selectedPlain);
    EXPECT_EQ(plain.pixel(1, 1), bar) << "without an image the bar covers the whole item";

    TestCanvas image(120, 20);
    DRAWITEMSTRUCT selectedImage = MenuDraw(image.dc(), menu, 1, ODS_SELECTED, rect);
    menu.drawItem(&selectedImage);
    EXPECT_EQ(image.pixel(menu.iconWidth() + 4, 1), back) << "the image column keeps the menu colour";
    EXPECT_EQ(image.pixel(menu.iconWidth() + 5, 1), bar) << "the bar starts right of the image column";
    EXPECT_EQ(image.pixel(2 + 8, 2 + 2 + 7), RGB(0, 0, 255)) << "the image is drawn in its box";

    TestCanvas separator(120, 20);
    DRAWITEMSTRUCT line = MenuDraw(separator.dc(), menu, 2, 0, rect);
    menu.drawItem(&line);
    EXPECT_EQ(separator.pixel(60, 2), back);
    EXPECT_NE(separator.pixel(60, 10), back) << "the etched line runs through the middle";
}

TEST(IconMenu, ClassicCheckMarkAndImageColumnGrowWithTheDpi)
{
    if (IconMenu::flatLook())
        GTEST_SKIP() << "the flat look is in use here";
    // The tick: 7 pixels wide at 100 %; the bar: after the 16-pixel column and 5 more.
    const struct { UINT dpi; int tick, bar; } cases[] = {{96, 7, 21}, {144, 11, 32}, {192, 14, 42}};
    for (const auto& c : cases) {
        IconMenu menu;
        ASSERT_TRUE(menu.CreatePopupMenu() && menu.appendItem(L"", MF_STRING, 502));
        menu.setDpi(c.dpi);
        TestCanvas canvas(100, 40);
        DRAWITEMSTRUCT checked = MenuDraw(canvas.dc(), menu, 0, ODS_CHECKED | ODS_SELECTED, RECT{0, 0, 100, 40});
        menu.drawItem(&checked);
        int ink = 0, bar = 0;
        for (int x = 0; x < 100; ++x)
            for (int y = 0; y < 40; ++y)
                if (canvas.pixel(x, y) == ::GetSysColor(COLOR_MENUTEXT)) {
                    ++ink;
                    break;
                }
        while (bar < 100 && canvas.pixel(bar, 1) != ::GetSysColor(COLOR_HIGHLIGHT))
            ++bar;
        EXPECT_EQ(ink, c.tick) << "columns of the tick at " << c.dpi << " DPI";
        EXPECT_EQ(bar, c.bar) << "selection bar at " << c.dpi << " DPI";
    }
}
