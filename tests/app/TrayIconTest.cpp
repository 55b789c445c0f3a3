// The tray icon against a stand-in for the shell's notification area, made
// in this process: a "Shell_TrayWnd" window that records what it is sent.
// What a run of clicks means, and whether a dialog counts down, are pure
// decisions, checked in tables of their own.
#include "app/BalloonFate.h"
#include "app/CTrayIcon.h"
#include "app/TrayClickOrder.h"
#include "framework/CWnd.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {
struct ShellCall {
    DWORD command;
    UINT id;
    UINT flags;
    UINT callback;
    std::wstring tip;
    UINT version;  // or the balloon's timeout, which shares its place
};

// Where Wine's record carries the version: after the tooltip, the state
// and its mask, and the balloon's text.
const size_t kVersionAt = 16 + 128 * 2 + 8 + 256 * 2;

std::vector<ShellCall> g_calls;
bool g_refuse = false;
bool g_refuseAdd = false;  // as the shell refuses to add an icon it holds

LRESULT CALLBACK TrayProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_COPYDATA) {
        auto* cds = reinterpret_cast<COPYDATASTRUCT*>(lParam);
        const auto* bytes = static_cast<const BYTE*>(cds->lpData);
        ShellCall call{};
        call.command = static_cast<DWORD>(cds->dwData);
        if (cds->cbData >= 16 + 128 * 2) {
            call.id = *reinterpret_cast<const UINT*>(bytes + 4);
            call.flags = *reinterpret_cast<const UINT*>(bytes + 8);
            call.callback = *reinterpret_cast<const UINT*>(bytes + 12);
            call.tip.assign(reinterpret_cast<const wchar_t*>(bytes + 16));
        }
        if (cds->cbData >= kVersionAt + 4)
            call.version = *reinterpret_cast<const UINT*>(bytes + kVersionAt);
        g_calls.push_back(call);
        return g_refuse || (g_refuseAdd && call.command == NIM_ADD) ? FALSE : TRUE;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

class OwnerWindow : public CWnd {
public:
    std::vector<WPARAM> commands;
    CTrayIcon* icon = nullptr;  // gets the callback messages, as the monitor's does
    bool Create()
    {
        WNDCLASSA wc{};
        wc.lpfnWndProc = ::DefWindowProcA;
        wc.hInstance = ::GetModuleHandleA(nullptr);
        wc.lpszClassName = "LumaroTrayOwner";
        ::RegisterClassA(&wc);
        HWND h = ::CreateWindowExA(0, wc.lpszClassName, "owner", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                   wc.hInstance, nullptr);
        return h && SubclassWindow(h);
    }
protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_COMMAND)
            commands.push_back(wParam);
        if (icon && msg == WM_USER + 1)
            return icon->OnNotify(wParam, lParam);
        return CWnd::WindowProc(msg, wParam, lParam);
    }
};

class TrayIconTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = TrayProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"Shell_TrayWnd";
        ::RegisterClassW(&wc);
        m_tray = ::CreateWindowExW(0, L"Shell_TrayWnd", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                   wc.hInstance, nullptr);
        ASSERT_TRUE(m_tray);
        ASSERT_EQ(::FindWindowW(L"Shell_TrayWnd", nullptr), m_tray)
            << "another notification area answers in this session; these checks need their own";
        ASSERT_TRUE(m_owner.Create());
        g_calls.clear();
        g_refuse = g_refuseAdd = false;
    }
    void TearDown() override
    {
        ::DestroyWindow(m_owner.m_hWnd);
        ::DestroyWindow(m_tray);
    }
    HWND m_tray = nullptr;
    OwnerWindow m_owner;
};

void HandleQueuedMessages()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        ::DispatchMessageW(&msg);
}

HICON AppIcon()
{
    return static_cast<HICON>(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON,
                                           0, 0, LR_DEFAULTSIZE));
}
}

TEST_F(TrayIconTest, RecordIsTheWideVersionTwoSizeOfA32BitBuild)
{
    CTrayIcon icon(1090);
    EXPECT_EQ(icon.Data().cbSize, 936u);
    EXPECT_EQ(icon.Data().uID, 1090u);
}

TEST_F(TrayIconTest, AddWithVersionThreeThenModifyThenDeleteOnDestruction)
{
    {
        CTrayIcon icon(1090);
        ASSERT_TRUE(icon.AttachWindow(&m_owner, WM_USER + 1));
        EXPECT_TRUE(icon.ShowIcon(AppIcon()));
        EXPECT_TRUE(icon.ShowIcon(AppIcon()));
        icon.SetTip("Admin서버에 접속 시도중...");
    }
    ASSERT_EQ(g_calls.size(), 5u);
    EXPECT_EQ(g_calls[0].command, static_cast<DWORD>(NIM_ADD));
    EXPECT_EQ(g_calls[0].flags, static_cast<UINT>(NIF_ICON | NIF_MESSAGE));
    EXPECT_EQ(g_calls[0].id, 1090u);
    EXPECT_EQ(g_calls[0].callback, static_cast<UINT>(WM_USER + 1));
    EXPECT_EQ(g_calls[1].command, static_cast<DWORD>(NIM_SETVERSION)) << "the keyboard's events need the version";
    EXPECT_EQ(g_calls[1].version, 3u) << "version 4 would change the callback's wParam and lParam";
    EXPECT_EQ(g_calls[2].command, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(g_calls[2].version, 0u) << "the version must not stay in the record as a balloon timeout";
    EXPECT_EQ(g_calls[3].command, static_cast<DWORD>(NIM_MODIFY));
    EXPECT_EQ(g_calls[3].flags, static_cast<UINT>(NIF_TIP)) << "a tooltip update carries the tip alone";
    EXPECT_EQ(g_calls[3].tip, L"Admin서버에 접속 시도중...") << "tooltip must arrive as the CP949 text converted";
    EXPECT_EQ(g_calls[4].command, static_cast<DWORD>(NIM_DELETE));
}

TEST_F(TrayIconTest, TipIsOnlySetOnAShownIconAndCutAt127Bytes)
{
    CTrayIcon icon(7);
    icon.AttachWindow(&m_owner, WM_USER + 1);
    icon.SetTip("nothing shown yet");
    EXPECT_TRUE(g_calls.empty()) << "a tooltip without an icon must not reach the shell";

    icon.ShowIcon(AppIcon());
    icon.SetTip(std::string(300, 'x').c_str());
    ASSERT_EQ(g_calls.size(), 3u);
    EXPECT_EQ(g_calls[2].tip, std::wstring(127, L'x'));
}

TEST_F(TrayIconTest, IconTheShellLacksComesBackWholeWithItsTip)
{
    struct Row {
        const char* name;
        void (*run)(CTrayIcon&);
        DWORD command;  // of the call that brings it back
    };
    const Row rows[] = {
        {"add refused, tried again with the next tip",
         [](CTrayIcon& i) { g_refuse = true; i.ShowIcon(AppIcon()); g_refuse = false; i.SetTip("tip"); }, NIM_ADD},
        {"change refused, the shell still holds it",
         [](CTrayIcon& i) { i.ShowIcon(AppIcon()); g_refuse = true; i.SetTip("x"); g_refuse = false;
                            g_refuseAdd = true; i.SetTip("tip"); }, NIM_MODIFY},
        {"a new notification area",
         [](CTrayIcon& i) { i.ShowIcon(AppIcon()); i.SetTip("tip"); i.OnTaskbarCreated(); }, NIM_ADD},
    };
    for (const Row& row : rows) {
        g_refuseAdd = false;
        CTrayIcon icon(7);
        icon.AttachWindow(&m_owner, WM_USER + 1);
        row.run(icon);
        ASSERT_GE(g_calls.size(), 2u) << row.name;
        EXPECT_EQ(g_calls.back().command, static_cast<DWORD>(NIM_SETVERSION)) << row.name << ": the version again";
        const ShellCall& back = g_calls[g_calls.size() - 2];
        EXPECT_EQ(back.command, row.command) << row.name;
        EXPECT_EQ(back.flags, static_cast<UINT>(NIF_ICON | NIF_MESSAGE | NIF_TIP)) << row.name;
        EXPECT_EQ(back.tip, L"tip") << row.name;
        EXPECT_TRUE(icon.IconShown()) << row.name;
    }
    EXPECT_TRUE(CTrayIcon(7).IsTaskbarCreated(::RegisterWindowMessageA("TaskbarCreated")));
}

TEST_F(TrayIconTest, BalloonGoesOnceAndLeavesTheTip)
{
    CTrayIcon icon(1090);
    icon.AttachWindow(&m_owner, WM_USER + 1);
    icon.ShowIcon(AppIcon());
    EXPECT_TRUE(icon.ShowBalloon("Lumaro", "9분", kBalloonWarning));
    icon.SetTip("tip");
    ASSERT_EQ(g_calls.size(), 4u);
    EXPECT_EQ(g_calls[2].flags, static_cast<UINT>(NIF_INFO)) << "the balloon alone";
    EXPECT_EQ(g_calls[2].version, 10000u) << "the balloon's timeout";
    EXPECT_EQ(g_calls[3].flags, static_cast<UINT>(NIF_TIP));
    EXPECT_STREQ(icon.Data().szInfo, L"") << "the record must not keep the balloon";
}

TEST_F(TrayIconTest, AttachWindowChecksWindowAndMessage)
{
    CTrayIcon icon(7);
    EXPECT_FALSE(icon.AttachWindow(nullptr, WM_USER + 1));
    EXPECT_FALSE(icon.AttachWindow(&m_owner, 0));
    EXPECT_EQ(icon.Data().hWnd, m_owner.m_hWnd) << "the handle stays stored when only the message is missing";
    EXPECT_TRUE(icon.AttachWindow(&m_owner, WM_USER + 1));
}

TEST_F(TrayIconTest, ClickDecidedOnceTheQueueIsHandled_DoubleClickRunsTheDefaultCommand)
{
    CTrayIcon icon(1090);
    icon.AttachWindow(&m_owner, WM_USER + 1);
    m_owner.icon = &icon;
    icon.OnNotify(1090, WM_LBUTTONDBLCLK);
    HandleQueuedMessages();
    EXPECT_TRUE(m_owner.commands.empty()) << "no menu loaded yet";
    ASSERT_TRUE(icon.SetMenuResource(IDR_TRAYMENU));

    EXPECT_EQ(icon.OnNotify(1091, WM_LBUTTONDBLCLK), 0) << "another icon's event";
    icon.OnNotify(1090, WM_RBUTTONDOWN);
    icon.OnNotify(1090, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(m_owner.commands.empty()) << "acted on before what was queued had been handled";
    HandleQueuedMessages();
    EXPECT_EQ(m_owner.commands, std::vector<WPARAM>{ID_SHOW_CLOCK});
}

TEST(TrayClickOrderTest, OneClickNothing_DoubleClickOpensOnce_RightClickOneMenu_WhicheverOfAPairComesFirst)
{
    using A = TrayAction;
    const std::map<std::string, LPARAM> events = {
        {"up", WM_LBUTTONUP}, {"sel", NIN_SELECT}, {"dbl", WM_LBUTTONDBLCLK}, {"key", NIN_KEYSELECT},
        {"rup", WM_RBUTTONUP}, {"menu", WM_CONTEXTMENU}, {"down", WM_LBUTTONDOWN}, {"rdown", WM_RBUTTONDOWN},
        {"move", WM_MOUSEMOVE}, {"show", NIN_BALLOONSHOW}, {"|", 0}};
    // Runs end at "|": each is decided once all of it has been handled.
    const struct { const char* name; const char* events; std::vector<A> decided; } rows[] = {
        {"a click, NIN_SELECT after", "down up sel", {A::None}},
        {"a click, NIN_SELECT first", "sel down up", {A::None}},
        {"a click, NIN_SELECT in the next run", "up | sel", {A::None, A::None}},
        {"a click, a balloon event before its NIN_SELECT", "up | show sel", {A::None, A::None}},
        {"a double click", "up sel dbl up sel", {A::OpenDefault}},
        {"a double click, notifications first", "sel up sel dbl up", {A::OpenDefault}},
        {"a double click over two runs", "up sel | dbl up sel", {A::None, A::OpenDefault}},
        {"a right click", "rdown rup menu", {A::MenuAtCursor}},
        {"a right click, WM_CONTEXTMENU first", "menu rup", {A::MenuAtCursor}},
        {"a right click, WM_CONTEXTMENU in the next run", "rup | menu", {A::MenuAtCursor, A::None}},
        {"Enter or Space", "key", {A::OpenDefault}},
        {"Enter on the icon a click selected", "up sel | sel", {A::None, A::OpenDefault}},
        {"Shift+F10 or the menu key", "menu", {A::MenuAtIcon}},
        {"mouse moves and balloons are no run", "move show", {}},
    };
    for (const auto& row : rows) {
        TrayClickOrder order;
        std::vector<A> decided;
        bool open = false;
        std::istringstream words(std::string(row.events) + " |");
        for (std::string word; words >> word;) {
            bool opensRun = false;
            if (order.Add(events.at(word), opensRun)) {
                EXPECT_EQ(opensRun, !open) << row.name << ": one decision posted per run, at its first event";
                open = true;
            } else if (word == "|" && open) {
                decided.push_back(order.Decide());
                open = false;
            }
        }
        EXPECT_EQ(decided, row.decided) << row.name;
    }
}

TEST(BalloonFateTest, CountdownWaitsForTheUserWhileTheBalloonWasNotSeen_SummaryWaitsWhileItShows)
{
    const DWORD info = kBalloonInformation, warning = kBalloonWarning;
    const struct { const char* name; QUERY_USER_NOTIFICATION_STATE state; DWORD kind; std::vector<LPARAM> events;
                   bool activated, counts, showing; } rows[] = {
        {"nothing said of it", QUNS_ACCEPTS_NOTIFICATIONS, info, {}, false, true, false},
        {"shown", QUNS_ACCEPTS_NOTIFICATIONS, info, {NIN_BALLOONSHOW}, false, true, true},
        {"shown, timed out", QUNS_ACCEPTS_NOTIFICATIONS, info, {NIN_BALLOONSHOW, NIN_BALLOONTIMEOUT}, false, true, false},
        {"shown, clicked", QUNS_ACCEPTS_NOTIFICATIONS, info, {NIN_BALLOONSHOW, NIN_BALLOONUSERCLICK}, false, true, false},
        {"hidden before shown (quiet time)", QUNS_ACCEPTS_NOTIFICATIONS, info, {NIN_BALLOONHIDE}, false, false, false},
        {"hidden before shown, then activated", QUNS_ACCEPTS_NOTIFICATIONS, info, {NIN_BALLOONHIDE}, true, true, false},
        {"timed out unshown (Focus assist)", QUNS_ACCEPTS_NOTIFICATIONS, info, {NIN_BALLOONTIMEOUT}, false, false, false},
        {"quiet time", QUNS_QUIET_TIME, info, {}, false, false, false},
        {"quiet time, the warning ignores it", QUNS_QUIET_TIME, warning, {}, false, true, false},
        {"full screen", QUNS_BUSY, info, {}, false, false, false},
        {"a game", QUNS_RUNNING_D3D_FULL_SCREEN, info, {}, false, false, false},
        {"a presentation", QUNS_PRESENTATION_MODE, info, {}, false, false, false},
        {"the user away", QUNS_NOT_PRESENT, info, {}, false, false, false},
        {"held back, shown when the user is back", QUNS_BUSY, info, {NIN_BALLOONSHOW}, false, true, true},
    };
    for (const auto& row : rows) {
        BalloonFate fate = BalloonSent(true, row.state, (row.kind & NIIF_RESPECT_QUIET_TIME) != 0);
        for (LPARAM event : row.events)
            fate = BalloonAfter(fate, event);
        EXPECT_EQ(CountdownRuns(fate, row.activated), row.counts) << row.name << ": whether the countdown runs";
        EXPECT_EQ(fate == BalloonFate::Showing, row.showing) << row.name << ": whether the balloon is on screen";
    }
    EXPECT_FALSE(CountdownRuns(BalloonSent(false, QUNS_ACCEPTS_NOTIFICATIONS, true), false))
        << "a balloon the shell refused is not seen";
}
