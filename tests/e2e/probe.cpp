// e2e_probe: a stand-in for lumaro.exe in the tests of the end-to-end harness.
// An ANSI window program like Lumaro, so texts travel as CP949 bytes.
//
//   e2e_probe.exe [--title TITLE] [--hidden] [--tray] [--msgbox] [--exit-code N]
//
// Window controls: 1003 and 1004 labels, 1005 the last event seen, 1012 a
// check box, 1013 a multi-line edit holding two CR LF lines, 1 a close button.
// --tray adds icon 1090 with callback WM_APP+0x10, changes its tooltip 300 ms
// later and deletes it when the window closes. WM_COMMAND 32771 shows the
// window. --msgbox shows a message box captioned like the window once it runs.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr UINT kTrayNotify = WM_APP + 0x10;
constexpr UINT kIconId = 1090;
constexpr UINT_PTR kTipTimer = 1;
constexpr UINT kShowMessageBox = WM_APP + 1;

struct Options {
    std::string title = "Probe";
    bool hidden = false;
    bool tray = false;
    bool msgbox = false;
    int exitCode = 0;
};

Options g_opt;
NOTIFYICONDATAA g_nid;
bool g_iconShown = false;

void ShowEvent(HWND hwnd, const char* text) { SetDlgItemTextA(hwnd, 1005, text); }

void TrayCall(DWORD command, UINT flags, const char* tip)
{
    g_nid.uFlags = flags;
    if (tip)
        lstrcpynA(g_nid.szTip, tip, sizeof g_nid.szTip);
    Shell_NotifyIconA(command, &g_nid);
}

void CreateControls(HWND hwnd)
{
    HINSTANCE inst = GetModuleHandleA(nullptr);
    auto make = [&](const char* cls, const char* text, DWORD style, int x, int y, int w, int h, int id) {
        CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, hwnd,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), inst, nullptr);
    };
    make("STATIC", "접속시간:", 0, 10, 10, 120, 20, 1003);
    make("STATIC", "00일 00:00:00", SS_RIGHT, 140, 10, 150, 20, 1004);
    make("STATIC", "none", 0, 10, 35, 280, 20, 1005);
    make("BUTTON", "오늘 이 창을 다시 열지 않음", BS_AUTOCHECKBOX | WS_TABSTOP, 10, 60, 280, 20, 1012);
    make("EDIT", "첫째 줄\r\n둘째 줄", ES_MULTILINE | ES_AUTOVSCROLL | WS_BORDER | WS_VSCROLL | WS_TABSTOP, 10, 85,
         280, 60, 1013);
    make("BUTTON", "close", BS_DEFPUSHBUTTON | WS_TABSTOP, 210, 150, 80, 24, 1);
}

// The same menu and call sequence as the program's tray icon.
void ShowTrayMenu(HWND hwnd)
{
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, 32771, "VPN 시간확인");
    AppendMenuA(menu, MF_STRING, 32773, "로그파일 저장");
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, 1, "프로그램 종료");
    SetMenuDefaultItem(menu, 0, TRUE);
    POINT pt;
    GetCursorPos(&pt);
    SetForegroundWindow(hwnd);
    TrackPopupMenuEx(menu, 0, pt.x, pt.y, hwnd, nullptr);
    PostMessageA(hwnd, WM_NULL, 0, 0);
    DestroyMenu(menu);
}

LRESULT CALLBACK ProbeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    char text[64];
    switch (msg) {
    case WM_CREATE:
        CreateControls(hwnd);
        if (g_opt.tray) {
            g_nid = NOTIFYICONDATAA();
            g_nid.cbSize = NOTIFYICONDATAA_V2_SIZE;
            g_nid.hWnd = hwnd;
            g_nid.uID = kIconId;
            g_nid.uCallbackMessage = kTrayNotify;
            g_nid.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
            TrayCall(NIM_ADD, NIF_ICON | NIF_MESSAGE, nullptr);
            TrayCall(NIM_MODIFY, NIF_TIP, "Admin서버에 접속 시도중...");
            g_iconShown = true;
            SetTimer(hwnd, kTipTimer, 300, nullptr);
        }
        if (g_opt.msgbox)
            PostMessageA(hwnd, kShowMessageBox, 0, 0);
        return 0;
    case WM_TIMER:
        if (wParam == kTipTimer) {
            KillTimer(hwnd, kTipTimer);
            TrayCall(NIM_MODIFY, NIF_TIP, "[남은시간] 00일 01:58:20");
        }
        return 0;
    case kShowMessageBox: {
        int rc = MessageBoxA(hwnd, "로그파일 저장 성공 파일위치[C:\\x.log]", g_opt.title.c_str(), MB_OK);
        snprintf(text, sizeof text, "msgbox %d", rc);
        ShowEvent(hwnd, text);
        return 0;
    }
    case kTrayNotify:
        snprintf(text, sizeof text, "tray %u %x", static_cast<unsigned>(wParam), static_cast<unsigned>(lParam));
        ShowEvent(hwnd, text);
        if (lParam == WM_RBUTTONUP)
            ShowTrayMenu(hwnd);
        return 0;
    case WM_COMMAND:
        if (HIWORD(wParam) == 0 && LOWORD(wParam) != 1) {
            snprintf(text, sizeof text, "command %u", LOWORD(wParam));
            ShowEvent(hwnd, text);
        }
        if (LOWORD(wParam) == 32771) {
            ShowWindow(hwnd, SW_SHOW);
        } else if (LOWORD(wParam) == 1012 && HIWORD(wParam) == BN_CLICKED) {
            ShowEvent(hwnd, "checkbox clicked");
        } else if (LOWORD(wParam) == 1) {
            DestroyWindow(hwnd);
        }
        return 0;
    case WM_DESTROY:
        if (g_iconShown)
            TrayCall(NIM_DELETE, 0, nullptr);
        PostQuitMessage(g_opt.exitCode);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    for (int i = 1; i < __argc; ++i) {
        std::string arg = __argv[i];
        if (arg == "--title" && i + 1 < __argc)
            g_opt.title = __argv[++i];
        else if (arg == "--hidden")
            g_opt.hidden = true;
        else if (arg == "--tray")
            g_opt.tray = true;
        else if (arg == "--msgbox")
            g_opt.msgbox = true;
        else if (arg == "--exit-code" && i + 1 < __argc)
            g_opt.exitCode = atoi(__argv[++i]);
    }

    WNDCLASSA wc = {};
    wc.lpfnWndProc = ProbeProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = "E2EProbe";
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowExA(0, "E2EProbe", g_opt.title.c_str(), WS_OVERLAPPEDWINDOW, 100, 100, 320, 220,
                                nullptr, nullptr, instance, nullptr);
    if (!hwnd)
        return 99;
    if (!g_opt.hidden)
        ShowWindow(hwnd, SW_SHOW);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        // Escape is reported rather than acted on, so a test can see that a key arrived
        if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE) {
            ShowEvent(hwnd, "key escape");
            continue;
        }
        if (IsDialogMessageA(hwnd, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
