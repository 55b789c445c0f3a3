// driver: reads and pokes the windows of another Wine process for the
// end-to-end tests. One command per run; results go to stdout in UTF-8, the
// exit code tells success (0) from failure (1, or 2 where a command says so).
//
// A TITLE is a top-level window caption, or hwnd=0x1234 for one window.
// Numbers are decimal or 0x hex. Texts are read from windows as UTF-16, what
// Windows holds, through the W calls (whatever the code page of the program
// or of the driver), and printed in UTF-8; files and the debugger channel
// carry the program's CP949 bytes, printed in UTF-8 too. Line breaks and TABs
// are printed as \r, \n and \t so that every result stays on one line.
#include "tools/common/EscapeLine.h"
#include "framework/ScopedHandle.h"
#include <windows.h>
#include <oleacc.h>
#include <shellapi.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "usage: driver COMMAND ...\n"
    "  find TITLE                    hwnd, visibility, class and pid of the window\n"
    "  visible TITLE                 exit 0 visible, 2 hidden, 1 no such window\n"
    "  styles TITLE                  window style and extended style, in hex\n"
    "  move TITLE X Y                move the window's top-left corner to X Y (for pictures)\n"
    "  wait TITLE SECONDS [gone]     wait until the window exists (or has gone)\n"
    "  watch TITLE SECONDS [ID]      follow a window's life on the local clock, as admin.log stamps it:\n"
    "                                watching STAMP, shown STAMP HWND, text STAMP TEXT (of item ID), gone STAMP\n"
    "  text TITLE ID [ID...]         ID<TAB>text of dialog items\n"
    "  edit-text TITLE ID [--raw]    whole text of an edit control (--raw: as CP949 bytes, in hex)\n"
    "  settext TITLE ID TEXT         WM_SETTEXT on a dialog item\n"
    "  command TITLE ID              post WM_COMMAND ID\n"
    "  close TITLE                   post WM_CLOSE\n"
    "  post TITLE MSG WPARAM LPARAM [--item ID]  post any message (to a dialog item)\n"
    "  tray-event TITLE ICONID EVENT post the tray icon's callback, WM_APP+0x10 (ICONID, EVENT)\n"
    "  end-session TITLE [LPARAM]    end the Windows session for the window's process as Windows does:\n"
    "                                WM_QUERYENDSESSION to each of its top-level windows, then WM_ENDSESSION;\n"
    "                                query HWND ANSWER, end HWND; exit 2 when a window refused\n"
    "  hold-foreground SECONDS       a window of this process in the foreground, as the user's program:\n"
    "                                watching STAMP HWND, then foreground STAMP HWND TITLE at each change\n"
    "  copydata TITLE TYPE [TEXT] [--length N]   send a WM_COPYDATA record from this process:\n"
    "                                TEXT and a NUL, length field N (default: TEXT's bytes + 1)\n"
    "  check TITLE ID [0|1]          read a check box, or click it into the given state\n"
    "  key TITLE VK [VK...]          post key presses to the window's focused control\n"
    "  input-keys TITLE VK [VK...]   bring the window to the front and type the keys (SendInput)\n"
    "  msgbox [TITLE] [--button ID] [--no-press]   read a message box and press OK\n"
    "  msgbox-wait SECONDS [TITLE] [--button ID] [--no-press]\n"
    "  dialogs [--all]               top-level windows and the texts of their controls\n"
    "  accessible TITLE              what a screen reader reads (oleacc): ID<TAB>name<TAB>state bits<TAB>value\n"
    "                                of the window (ID 0), then of each control in reading order\n"
    "  client TITLE                  WIDTH HEIGHT X Y of the window's client area and its place on the screen\n"
    "  menu                          visible popup menus\n"
    "  menu-pick N                   choose item N (0-based, separators skipped) of the open popup menu\n"
    "  cursor X Y | click X Y [left|right|double] | hover TITLE ID\n"
    "  pixel X Y                     screen colour as RRGGBB\n"
    "  tips                          hwnd<TAB>text of every visible tooltip\n"
    "  ping TITLE SECONDS [PERIOD_MS]  WM_NULL round trips every PERIOD_MS (default 50): count,\n"
    "                                median, 99th percentile and worst in ms, when the worst came\n"
    "  desktop NAME [COMMAND ...]    another command, run on the desktop NAME (Wine's virtual desktop);\n"
    "                                without one, hold that desktop open until ended\n"
    "  run-on NAME PROGRAM [ARGS...] run PROGRAM on the desktop NAME; exits with its exit code,\n"
    "                                and the program ends with this process\n"
    "  read-file PATH                read a file as a viewer would: its text, or \"error N\" (exit 1)\n"
    "  scan-file PATH HOLD_MS SECONDS  open the file again and again as a scanner does (no delete\n"
    "                                sharing), each time for HOLD_MS: \"scanning\", then \"opens N\"\n"
    "  debug-strings SECONDS         what DebugView shows: \"listening\", then pid<TAB>text of every\n"
    "                                OutputDebugString for SECONDS\n"
    "  codepage                      the ANSI and OEM code pages of a program started as this one\n";

// ---- text conversion and output ----

std::string WideTo(UINT codePage, const std::wstring& text)
{
    if (text.empty())
        return std::string();
    int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring WideFrom(UINT codePage, const std::string& text)
{
    if (text.empty())
        return std::wstring();
    int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(n, L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
    return out;
}

std::string Cp949ToUtf8(const std::string& text) { return WideTo(CP_UTF8, WideFrom(949, text)); }
std::string Utf8(const std::wstring& text) { return WideTo(CP_UTF8, text); }


void Print(const std::string& line)
{
    fwrite(line.data(), 1, line.size(), stdout);
    fputc('\n', stdout);
    fflush(stdout);
}

std::string Fmt(const char* format, ...)
{
    char buf[1024];
    va_list args;
    va_start(args, format);
    vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    return buf;
}

std::string HwndText(HWND hwnd) { return Fmt("%lx", static_cast<unsigned long>(reinterpret_cast<uintptr_t>(hwnd))); }

bool ParseNumber(const std::wstring& text, unsigned long& value)
{
    if (text.empty())
        return false;
    wchar_t* end = nullptr;
    bool hex = text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X');
    value = wcstoul(text.c_str() + (hex ? 2 : 0), &end, hex ? 16 : 10);
    return end && *end == 0;
}

// ---- reading windows of another process ----

constexpr UINT kTimeoutMs = 5000;

bool SendTimeout(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, DWORD_PTR& result)
{
    return SendMessageTimeoutW(hwnd, msg, wParam, lParam, SMTO_ABORTIFHUNG, kTimeoutMs, &result) != 0;
}

// The window's text as Windows holds it, UTF-16: a WM_GETTEXT in the ANSI
// form would hand it over in the driver's code page, which loses Korean
// under any other locale. An edit control keeps its text from GetWindowText
// of another process, so the message itself is sent.
bool ReadText(HWND hwnd, std::wstring& text)
{
    DWORD_PTR len = 0;
    if (!SendTimeout(hwnd, WM_GETTEXTLENGTH, 0, 0, len))
        return false;
    std::vector<wchar_t> buf(len + 16, 0);
    DWORD_PTR got = 0;
    if (!SendTimeout(hwnd, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()), got))
        return false;
    text.assign(buf.data(), got < buf.size() ? got : buf.size());
    return true;
}

std::wstring ClassOf(HWND hwnd)
{
    wchar_t name[256] = {};
    GetClassNameW(hwnd, name, 256);
    return name;
}

std::wstring CaptionOf(HWND hwnd)
{
    wchar_t title[512] = {};
    GetWindowTextW(hwnd, title, 512);
    return title;
}

struct TopLevelSearch {
    std::wstring title;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectByTitle(HWND hwnd, LPARAM param)
{
    auto* search = reinterpret_cast<TopLevelSearch*>(param);
    if (CaptionOf(hwnd) == search->title)
        search->found.push_back(hwnd);
    return TRUE;
}

// Several windows may carry one caption (a message box captioned like the
// main window, an older instance): when the caller needs a dialog item, the
// first window that has it wins, else the first in z-order, as FindWindow.
HWND FindTarget(const std::wstring& title, int needItem = -1)
{
    if (title.compare(0, 5, L"hwnd=") == 0) {
        unsigned long value = 0;
        if (!ParseNumber(title.substr(5), value))
            return nullptr;
        HWND hwnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(value));
        return IsWindow(hwnd) ? hwnd : nullptr;
    }
    TopLevelSearch search{title, {}};
    EnumWindows(CollectByTitle, reinterpret_cast<LPARAM>(&search));
    if (search.found.empty())
        return nullptr;
    if (needItem >= 0)
        for (HWND hwnd : search.found)
            if (GetDlgItem(hwnd, needItem))
                return hwnd;
    return search.found.front();
}

HWND RequireTarget(const std::wstring& title, int needItem = -1)
{
    HWND hwnd = FindTarget(title, needItem);
    if (!hwnd)
        fprintf(stderr, "no window titled \"%s\"\n", Utf8(title).c_str());
    return hwnd;
}

HWND RequireItem(HWND dialog, unsigned long id)
{
    HWND item = GetDlgItem(dialog, static_cast<int>(id));
    if (!item)
        fprintf(stderr, "window %s has no item %lu\n", HwndText(dialog).c_str(), id);
    return item;
}

// ---- commands ----

using Args = std::vector<std::wstring>;

int CmdFind(const Args& a)
{
    if (a.size() < 1)
        return -1;
    HWND hwnd = FindTarget(a[0]);
    if (!hwnd)
        return 1;
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    Print(Fmt("%s\t%d\t%s\t%lu", HwndText(hwnd).c_str(), IsWindowVisible(hwnd) ? 1 : 0, Utf8(ClassOf(hwnd)).c_str(),
              static_cast<unsigned long>(pid)));
    return 0;
}

int CmdVisible(const Args& a)
{
    if (a.size() < 1)
        return -1;
    HWND hwnd = FindTarget(a[0]);
    if (!hwnd)
        return 1;
    bool visible = IsWindowVisible(hwnd) != 0;
    Print(visible ? "visible" : "hidden");
    return visible ? 0 : 2;
}

int CmdStyles(const Args& a)
{
    if (a.size() < 1)
        return -1;
    HWND hwnd = RequireTarget(a[0]);
    if (!hwnd)
        return 1;
    Print(Fmt("%08lx\t%08lx", static_cast<unsigned long>(GetWindowLongW(hwnd, GWL_STYLE)),
              static_cast<unsigned long>(GetWindowLongW(hwnd, GWL_EXSTYLE))));
    return 0;
}

int CmdMove(const Args& a)
{
    unsigned long x = 0, y = 0;
    if (a.size() < 3 || !ParseNumber(a[1], x) || !ParseNumber(a[2], y))
        return -1;
    HWND hwnd = RequireTarget(a[0]);
    return hwnd && SetWindowPos(hwnd, nullptr, static_cast<int>(x), static_cast<int>(y), 0, 0,
                                SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE) ? 0 : 1;
}

int CmdWait(const Args& a)
{
    unsigned long seconds = 0;
    if (a.size() < 2 || !ParseNumber(a[1], seconds))
        return -1;
    bool gone = a.size() > 2 && a[2] == L"gone";
    DWORD deadline = GetTickCount() + seconds * 1000;
    for (;;) {
        HWND hwnd = FindTarget(a[0]);
        if (gone ? !hwnd : hwnd != nullptr) {
            if (hwnd)
                Print(HwndText(hwnd));
            return 0;
        }
        if (static_cast<LONG>(GetTickCount() - deadline) >= 0)
            return 1;
        Sleep(100);
    }
}

std::string LocalStamp()
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    return Fmt("%04d-%02d-%02d %02d:%02d:%02d.%03d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond,
               t.wMilliseconds);
}

// Times a window from inside one process, every 20 ms: a test that polls with
// a new process per look measures the start of those processes as much as
// the program, and more so on a busy machine.
int CmdWatch(const Args& a)
{
    unsigned long seconds = 0, id = 0;
    if (a.size() < 2 || !ParseNumber(a[1], seconds) || (a.size() > 2 && !ParseNumber(a[2], id)))
        return -1;
    DWORD deadline = GetTickCount() + seconds * 1000;
    HWND shown = nullptr;
    std::wstring lastText;
    Print("watching " + LocalStamp());
    for (;;) {
        HWND hwnd = shown ? shown : FindTarget(a[0]);
        bool visible = hwnd && IsWindow(hwnd) && IsWindowVisible(hwnd);
        if (!shown && visible) {
            shown = hwnd;
            Print("shown " + LocalStamp() + " " + HwndText(hwnd));
        } else if (shown && !visible) {
            Print("gone " + LocalStamp());
            return 0;
        }
        std::wstring text;
        HWND item = shown && id ? GetDlgItem(shown, static_cast<int>(id)) : nullptr;
        if (item && ReadText(item, text) && text != lastText) {
            lastText = text;
            Print("text " + LocalStamp() + " " + EscapeLine(Utf8(text)));
        }
        if (static_cast<LONG>(GetTickCount() - deadline) >= 0)
            return shown ? 2 : 1;
        Sleep(20);
    }
}

int CmdText(const Args& a)
{
    if (a.size() < 2)
        return -1;
    unsigned long first = 0;
    ParseNumber(a[1], first);
    HWND dialog = RequireTarget(a[0], static_cast<int>(first));
    if (!dialog)
        return 1;
    int rc = 0;
    for (size_t i = 1; i < a.size(); ++i) {
        unsigned long id = 0;
        if (!ParseNumber(a[i], id))
            return -1;
        HWND item = RequireItem(dialog, id);
        std::wstring text;
        if (!item || !ReadText(item, text)) {
            rc = 1;
            continue;
        }
        Print(Fmt("%lu\t", id) + EscapeLine(Utf8(text)));
    }
    return rc;
}

int CmdEditText(const Args& a)
{
    unsigned long id = 0;
    if (a.size() < 2 || !ParseNumber(a[1], id))
        return -1;
    bool raw = a.size() > 2 && a[2] == L"--raw";
    HWND dialog = RequireTarget(a[0], static_cast<int>(id));
    HWND item = dialog ? RequireItem(dialog, id) : nullptr;
    std::wstring text;
    if (!item || !ReadText(item, text))
        return 1;
    if (!raw) {
        Print(EscapeLine(Utf8(text)));
        return 0;
    }
    std::string hex;
    for (unsigned char c : WideTo(949, text))
        hex += Fmt("%02x", c);
    Print(hex);
    return 0;
}

int CmdSetText(const Args& a)
{
    unsigned long id = 0;
    if (a.size() < 3 || !ParseNumber(a[1], id))
        return -1;
    HWND dialog = RequireTarget(a[0], static_cast<int>(id));
    HWND item = dialog ? RequireItem(dialog, id) : nullptr;
    if (!item)
        return 1;
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(item, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(a[2].c_str()), SMTO_ABORTIFHUNG,
                             kTimeoutMs, &result))
        return 1;
    return 0;
}

int PostTo(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!PostMessageW(hwnd, msg, wParam, lParam)) {
        fprintf(stderr, "PostMessage failed: %lu\n", GetLastError());
        return 1;
    }
    return 0;
}

int CmdCommand(const Args& a)
{
    unsigned long id = 0;
    if (a.size() < 2 || !ParseNumber(a[1], id))
        return -1;
    HWND hwnd = RequireTarget(a[0]);
    return hwnd ? PostTo(hwnd, WM_COMMAND, id, 0) : 1;
}

int CmdClose(const Args& a)
{
    if (a.size() < 1)
        return -1;
    HWND hwnd = RequireTarget(a[0]);
    return hwnd ? PostTo(hwnd, WM_CLOSE, 0, 0) : 1;
}

int CmdPost(const Args& a)
{
    unsigned long msg = 0, wParam = 0, lParam = 0;
    if (a.size() < 4 || !ParseNumber(a[1], msg) || !ParseNumber(a[2], wParam) || !ParseNumber(a[3], lParam))
        return -1;
    unsigned long item = 0;
    bool toItem = a.size() >= 6 && a[4] == L"--item" && ParseNumber(a[5], item);
    HWND hwnd = RequireTarget(a[0], toItem ? static_cast<int>(item) : -1);
    if (hwnd && toItem)
        hwnd = RequireItem(hwnd, item);
    return hwnd ? PostTo(hwnd, msg, wParam, static_cast<LPARAM>(static_cast<long>(lParam))) : 1;
}

int CmdTrayEvent(const Args& a)
{
    unsigned long id = 0, event = 0;
    if (a.size() < 3 || !ParseNumber(a[1], id) || !ParseNumber(a[2], event))
        return -1;
    HWND hwnd = RequireTarget(a[0]);
    return hwnd ? PostTo(hwnd, WM_APP + 0x10, id, event) : 1;
}

struct ProcessWindows {
    DWORD pid;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectProcessWindow(HWND hwnd, LPARAM param)
{
    auto* search = reinterpret_cast<ProcessWindows*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == search->pid)
        search->found.push_back(hwnd);
    return TRUE;
}

// Hidden windows too, as Windows asks every top-level window; with the
// timeout after which Windows lists a program as holding the session up.
int CmdEndSession(const Args& a)
{
    unsigned long why = 0;
    if (a.empty() || (a.size() > 1 && !ParseNumber(a[1], why)))
        return -1;
    HWND target = RequireTarget(a[0]);
    if (!target)
        return 1;
    ProcessWindows windows{0, {}};
    GetWindowThreadProcessId(target, &windows.pid);
    EnumWindows(CollectProcessWindow, reinterpret_cast<LPARAM>(&windows));
    std::vector<HWND> agreed;
    for (HWND hwnd : windows.found) {
        DWORD_PTR answer = 0;
        bool answered = SendTimeout(hwnd, WM_QUERYENDSESSION, 0, static_cast<LPARAM>(why), answer);
        Print("query " + HwndText(hwnd) + (answered ? Fmt(" %lu", static_cast<unsigned long>(answer)) : " none"));
        if (answered && answer)
            agreed.push_back(hwnd);
    }
    bool ending = agreed.size() == windows.found.size();
    for (HWND hwnd : agreed) {
        DWORD_PTR ignored = 0;
        SendTimeout(hwnd, WM_ENDSESSION, ending, static_cast<LPARAM>(why), ignored);
        Print("end " + HwndText(hwnd));
    }
    return ending ? 0 : 2;
}

// Wine hands the foreground to any program that asks for it, so a change
// here is a program that asked.
int CmdHoldForeground(const Args& a)
{
    unsigned long seconds = 0;
    if (a.size() < 1 || !ParseNumber(a[0], seconds))
        return -1;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"LumaroDriverForeground";
    RegisterClassW(&wc);
    HWND mine = CreateWindowExW(0, wc.lpszClassName, L"driver foreground", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                GetSystemMetrics(SM_CXSCREEN) - 300, 0, 300, 120, nullptr, nullptr, wc.hInstance,
                                nullptr);
    SetForegroundWindow(mine);
    DWORD deadline = GetTickCount() + seconds * 1000;
    HWND last = nullptr;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        HWND now = GetForegroundWindow();
        if (!last && now == mine)
            Print("watching " + LocalStamp() + " " + HwndText(mine));
        else if (last && now != last)
            Print("foreground " + LocalStamp() + " " + HwndText(now) + " " + EscapeLine(Utf8(CaptionOf(now))));
        if (last || now == mine)
            last = now;
        if (static_cast<LONG>(GetTickCount() - deadline) >= 0)
            return last ? 0 : 1;
        Sleep(20);
    }
}

// A record shaped like the session worker's, from a process that is not it.
int CmdCopyData(const Args& a)
{
    unsigned long type = 0, length = 0;
    if (a.size() < 2 || !ParseNumber(a[1], type))
        return -1;
    std::string text;
    bool lengthGiven = false;
    for (size_t i = 2; i < a.size(); ++i) {
        if (a[i] == L"--length" && i + 1 < a.size() && ParseNumber(a[i + 1], length))
            lengthGiven = true, ++i;
        else
            text = WideTo(949, a[i]);
    }
    HWND hwnd = RequireTarget(a[0]);
    if (!hwnd)
        return 1;
    std::vector<char> payload(text.begin(), text.end());
    payload.resize(std::max<size_t>(payload.size() + 1, lengthGiven ? length : 0), '\0');
    COPYDATASTRUCT record{type, lengthGiven ? static_cast<DWORD>(length) : static_cast<DWORD>(text.size() + 1),
                          payload.data()};
    DWORD_PTR result = 0;
    if (!SendTimeout(hwnd, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record), result)) {
        Print("no answer");
        return 1;
    }
    Print(Fmt("%lu", static_cast<unsigned long>(result)));
    return 0;
}

int CmdCheck(const Args& a)
{
    unsigned long id = 0, want = 0;
    if (a.size() < 2 || !ParseNumber(a[1], id))
        return -1;
    HWND dialog = RequireTarget(a[0], static_cast<int>(id));
    HWND item = dialog ? RequireItem(dialog, id) : nullptr;
    DWORD_PTR state = 0;
    if (!item || !SendTimeout(item, BM_GETCHECK, 0, 0, state))
        return 1;
    if (a.size() > 2) {
        if (!ParseNumber(a[2], want))
            return -1;
        // a click, not BM_SETCHECK, so the dialog sees the same notification as from the user
        DWORD_PTR ignored = 0;
        if (state != want && !SendTimeout(item, BM_CLICK, 0, 0, ignored))
            return 1;
        if (!SendTimeout(item, BM_GETCHECK, 0, 0, state))
            return 1;
    }
    Print(Fmt("%lu", static_cast<unsigned long>(state)));
    return (a.size() > 2 && state != want) ? 1 : 0;
}

int CmdKey(const Args& a)
{
    if (a.size() < 2)
        return -1;
    HWND hwnd = RequireTarget(a[0]);
    if (!hwnd)
        return 1;
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    HWND target = hwnd;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &info) && info.hwndFocus)
        target = info.hwndFocus;
    for (size_t i = 1; i < a.size(); ++i) {
        unsigned long vk = 0;
        if (!ParseNumber(a[i], vk))
            return -1;
        LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)) << 16;
        if (PostTo(target, WM_KEYDOWN, vk, 1 | scan) || PostTo(target, WM_KEYUP, vk, 1 | scan | (3u << 30)))
            return 1;
    }
    Print(HwndText(target));
    return 0;
}

void SendKey(WORD vk)
{
    INPUT in[2] = {};
    in[0].type = in[1].type = INPUT_KEYBOARD;
    in[0].ki.wVk = in[1].ki.wVk = vk;
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, in, sizeof(INPUT));
    Sleep(30);
}

int CmdInputKeys(const Args& a)
{
    if (a.size() < 2)
        return -1;
    HWND hwnd = RequireTarget(a[0]);
    if (!hwnd)
        return 1;
    SetForegroundWindow(hwnd);
    Sleep(100);
    for (size_t i = 1; i < a.size(); ++i) {
        unsigned long vk = 0;
        if (!ParseNumber(a[i], vk))
            return -1;
        SendKey(static_cast<WORD>(vk));
    }
    return 0;
}

// ---- message boxes ----

// The message text of a message box: Wine has used both ids for it.
HWND MessageTextItem(HWND box)
{
    for (int id : {0xFFFF, 100}) {
        HWND item = GetDlgItem(box, id);
        if (item && ClassOf(item) == L"Static")
            return item;
    }
    return nullptr;
}

// A dialog of the program may also have a static with id 0xFFFF (IDC_STATIC);
// a message box has, besides, its icon control (1088 in Wine, 20 in Windows).
bool IsMessageBox(HWND hwnd)
{
    return ClassOf(hwnd) == L"#32770" && MessageTextItem(hwnd) && (GetDlgItem(hwnd, 1088) || GetDlgItem(hwnd, 20));
}

struct BoxSearch {
    const std::wstring* caption;
    HWND found;
};

BOOL CALLBACK FindMessageBox(HWND hwnd, LPARAM param)
{
    auto* search = reinterpret_cast<BoxSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == GetCurrentProcessId() || !IsWindowVisible(hwnd) || !IsMessageBox(hwnd))
        return TRUE;
    if (search->caption && CaptionOf(hwnd) != *search->caption)
        return TRUE;
    search->found = hwnd;
    return FALSE;
}

int HandleMessageBox(const std::wstring* caption, long button, bool press, DWORD waitMs)
{
    DWORD deadline = GetTickCount() + waitMs;
    BoxSearch search{caption, nullptr};
    for (;;) {
        EnumWindows(FindMessageBox, reinterpret_cast<LPARAM>(&search));
        if (search.found || static_cast<LONG>(GetTickCount() - deadline) >= 0)
            break;
        Sleep(100);
    }
    if (!search.found)
        return 1;
    HWND box = search.found;
    std::wstring text;
    ReadText(MessageTextItem(box), text);
    Print(Utf8(CaptionOf(box)) + "\t" + EscapeLine(Utf8(text)));
    if (!press)
        return 0;
    if (button < 0)
        button = GetDlgItem(box, IDOK) ? IDOK : IDCANCEL;
    HWND item = GetDlgItem(box, static_cast<int>(button));
    return PostTo(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(item));
}

int CmdMsgBox(const Args& a, bool wait)
{
    size_t i = 0;
    unsigned long seconds = 0;
    if (wait && (a.empty() || !ParseNumber(a[i++], seconds)))
        return -1;
    const std::wstring* caption = nullptr;
    long button = -1;
    bool press = true;
    for (; i < a.size(); ++i) {
        unsigned long value = 0;
        if (a[i] == L"--no-press")
            press = false;
        else if (a[i] == L"--button" && i + 1 < a.size() && ParseNumber(a[i + 1], value))
            button = static_cast<long>(value), ++i;
        else
            caption = &a[i];
    }
    return HandleMessageBox(caption, button, press, seconds * 1000);
}

// ---- listings ----

BOOL CALLBACK PrintChild(HWND child, LPARAM)
{
    std::wstring text;
    ReadText(child, text);
    if (text.size() > 300)
        text.resize(300);
    Print(Fmt("  %d\t%d\t", GetDlgCtrlID(child), IsWindowVisible(child) ? 1 : 0) + Utf8(ClassOf(child)) + "\t" +
          EscapeLine(Utf8(text)));
    return TRUE;
}

BOOL CALLBACK PrintTopLevel(HWND hwnd, LPARAM all)
{
    if (!all && !IsWindowVisible(hwnd))
        return TRUE;
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    RECT r = {};
    GetWindowRect(hwnd, &r);
    Print(HwndText(hwnd) + Fmt("\t%d\t%lu\t", IsWindowVisible(hwnd) ? 1 : 0, static_cast<unsigned long>(pid)) +
          Utf8(ClassOf(hwnd)) + "\t" + EscapeLine(Utf8(CaptionOf(hwnd))) +
          Fmt("\t%ld,%ld,%ld,%ld", r.left, r.top, r.right, r.bottom));
    if (pid != GetCurrentProcessId())
        EnumChildWindows(hwnd, PrintChild, 0);
    return TRUE;
}

int CmdDialogs(const Args& a)
{
    bool all = !a.empty() && a[0] == L"--all";
    EnumWindows(PrintTopLevel, all ? 1 : 0);
    return 0;
}

// What oleacc hands every assistive program: name, state bits (STATE_SYSTEM_*)
// and value of the window's client area (id 0), then of each control in the
// z-order, the order oleacc lists them in and a screen reader reads them.
int CmdAccessible(const Args& a)
{
    HWND hwnd = a.empty() ? nullptr : RequireTarget(a[0]);
    CoInitialize(nullptr);
    for (HWND w = hwnd; w; w = w == hwnd ? GetWindow(hwnd, GW_CHILD) : GetWindow(w, GW_HWNDNEXT)) {
        IAccessible* object = nullptr;
        VARIANT self{}, state{};
        self.vt = VT_I4;  // CHILDID_SELF
        BSTR name = nullptr, value = nullptr;
        if (FAILED(AccessibleObjectFromWindow(w, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&object))))
            return 1;
        object->get_accName(self, &name);
        object->get_accValue(self, &value);
        object->get_accState(self, &state);
        Print(Fmt("%d\t", w == hwnd ? 0 : GetDlgCtrlID(w)) + EscapeLine(Utf8(name ? name : L"")) +
              Fmt("\t%lx\t", state.lVal) + EscapeLine(Utf8(value ? value : L"")));
        SysFreeString(name);
        SysFreeString(value);
        object->Release();
    }
    return hwnd ? 0 : 1;
}

int CmdClient(const Args& a)
{
    HWND hwnd = a.empty() ? nullptr : RequireTarget(a[0]);
    if (!hwnd)
        return 1;
    RECT r = {};
    GetClientRect(hwnd, &r);
    MapWindowPoints(hwnd, nullptr, reinterpret_cast<POINT*>(&r), 2);
    Print(Fmt("%ld %ld %ld %ld", r.right - r.left, r.bottom - r.top, r.left, r.top));
    return 0;
}

BOOL CALLBACK CollectMenus(HWND hwnd, LPARAM param)
{
    if (IsWindowVisible(hwnd) && ClassOf(hwnd) == L"#32768")
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
}

std::vector<HWND> OpenMenus()
{
    std::vector<HWND> menus;
    EnumWindows(CollectMenus, reinterpret_cast<LPARAM>(&menus));
    return menus;
}

int CmdMenu(const Args&)
{
    std::vector<HWND> menus = OpenMenus();
    for (HWND hwnd : menus) {
        RECT r = {};
        GetWindowRect(hwnd, &r);
        Print(HwndText(hwnd) + Fmt("\t%ld,%ld,%ld,%ld", r.left, r.top, r.right, r.bottom));
    }
    return menus.empty() ? 1 : 0;
}

int CmdMenuPick(const Args& a)
{
    unsigned long index = 0;
    if (a.size() < 1 || !ParseNumber(a[0], index))
        return -1;
    std::vector<HWND> menus = OpenMenus();
    if (menus.empty())
        return 1;
    // the menu loop reads keys from its thread's queue, whichever window they are posted to
    HWND menu = menus.front();
    for (unsigned long i = 0; i <= index; ++i)
        if (PostTo(menu, WM_KEYDOWN, VK_DOWN, 1))
            return 1;
    return PostTo(menu, WM_KEYDOWN, VK_RETURN, 1);
}

// ---- mouse and screen ----

void MouseInput(DWORD flags, int x = 0, int y = 0)
{
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    if (flags & MOUSEEVENTF_ABSOLUTE) {
        int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
        in.mi.dx = MulDiv(x, 65535, w > 1 ? w - 1 : 1);
        in.mi.dy = MulDiv(y, 65535, h > 1 ? h - 1 : 1);
    }
    SendInput(1, &in, sizeof in);
    Sleep(30);
}

int CmdCursor(const Args& a)
{
    unsigned long x = 0, y = 0;
    if (a.size() < 2 || !ParseNumber(a[0], x) || !ParseNumber(a[1], y))
        return -1;
    return SetCursorPos(static_cast<int>(x), static_cast<int>(y)) ? 0 : 1;
}

int CmdClick(const Args& a)
{
    unsigned long x = 0, y = 0;
    if (a.size() < 2 || !ParseNumber(a[0], x) || !ParseNumber(a[1], y))
        return -1;
    std::wstring kind = a.size() > 2 ? a[2] : L"left";
    MouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, static_cast<int>(x), static_cast<int>(y));
    DWORD down = MOUSEEVENTF_LEFTDOWN, up = MOUSEEVENTF_LEFTUP;
    if (kind == L"right")
        down = MOUSEEVENTF_RIGHTDOWN, up = MOUSEEVENTF_RIGHTUP;
    int times = kind == L"double" ? 2 : 1;
    for (int i = 0; i < times; ++i) {
        MouseInput(down);
        MouseInput(up);
    }
    return 0;
}

int CmdHover(const Args& a)
{
    unsigned long id = 0;
    if (a.size() < 2 || !ParseNumber(a[1], id))
        return -1;
    HWND dialog = RequireTarget(a[0], static_cast<int>(id));
    HWND item = dialog ? RequireItem(dialog, id) : nullptr;
    if (!item)
        return 1;
    RECT r;
    GetWindowRect(item, &r);
    int x = (r.left + r.right) / 2, y = (r.top + r.bottom) / 2;
    MouseInput(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, x, y);
    SetCursorPos(x, y);
    Print(Fmt("%d %d", x, y));
    return 0;
}

int CmdPixel(const Args& a)
{
    unsigned long x = 0, y = 0;
    if (a.size() < 2 || !ParseNumber(a[0], x) || !ParseNumber(a[1], y))
        return -1;
    HDC screen = GetDC(nullptr);
    COLORREF c = GetPixel(screen, static_cast<int>(x), static_cast<int>(y));
    ReleaseDC(nullptr, screen);
    if (c == CLR_INVALID)
        return 1;
    Print(Fmt("%02X%02X%02X", GetRValue(c), GetGValue(c), GetBValue(c)));
    return 0;
}

// ---- responsiveness ----

// Long enough that a stall shows as its own length rather than as a time-out.
constexpr UINT kPingTimeoutMs = 10000;

class Stopwatch {
public:
    Stopwatch()
    {
        QueryPerformanceFrequency(&m_frequency);
        QueryPerformanceCounter(&m_start);
    }
    double Ms() const
    {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        return 1000.0 * static_cast<double>(now.QuadPart - m_start.QuadPart) / static_cast<double>(m_frequency.QuadPart);
    }
private:
    LARGE_INTEGER m_frequency, m_start;
};

// A round trip is what a user's click waits for: the time the window's
// thread takes to get to its queue, whatever it is doing meanwhile.
int CmdPing(const Args& a)
{
    unsigned long seconds = 0, period = 50;
    if (a.size() < 2 || !ParseNumber(a[1], seconds) || (a.size() > 2 && (!ParseNumber(a[2], period) || !period)))
        return -1;
    HWND hwnd = RequireTarget(a[0]);
    if (!hwnd)
        return 1;
    Stopwatch clock;
    const double end = seconds * 1000.0;
    std::vector<double> trips;
    double worst = 0, worstAt = 0;
    unsigned timeouts = 0;
    for (double due = 0; due < end;) {
        for (double now = clock.Ms(); now < due; now = clock.Ms())
            Sleep(static_cast<DWORD>(std::ceil(due - now)));
        double sent = clock.Ms();
        DWORD_PTR ignored = 0;
        bool answered = SendMessageTimeoutW(hwnd, WM_NULL, 0, 0, SMTO_NORMAL, kPingTimeoutMs, &ignored) != 0;
        double trip = clock.Ms() - sent;
        if (!answered && !IsWindow(hwnd))
            break;
        timeouts += answered ? 0 : 1;
        trips.push_back(trip);
        if (trip > worst)
            worst = trip, worstAt = sent / 1000.0;
        // keep to the grid: a late answer costs the samples it overran, not a burst of them
        due = std::max(due + period, period * std::ceil((sent + trip) / period));
    }
    if (trips.empty())
        return 1;
    std::vector<double> sorted = trips;
    std::sort(sorted.begin(), sorted.end());
    size_t n = sorted.size();
    double median = n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    double p99 = sorted[static_cast<size_t>(std::ceil(0.99 * n)) - 1];
    Print(Fmt("count %u\nmedian_ms %.2f\np99_ms %.2f\nworst_ms %.2f\nworst_at_s %.2f\ntimeouts %u",
              static_cast<unsigned>(n), median, p99, worst, worstAt, timeouts));
    return 0;
}

// ---- files and the debugger channel, as other programs meet them ----

// Reads a file as a viewer does, through a Windows handle, so that the share
// mode of the program's own handle applies; prints its CP949 text in UTF-8,
// or "error N" when the open is refused.
// What an on-access scanner or an indexer does to a file it watches: opens
// it for reading again and again, sharing reading and writing but not
// deletion, each time for HOLD_MS, for SECONDS; then says how many opens it made.
int CmdScanFile(const Args& a)
{
    unsigned long holdMs = 0, seconds = 0;
    if (a.size() != 3 || !ParseNumber(a[1], holdMs) || !ParseNumber(a[2], seconds))
        return -1;
    const ULONGLONG end = GetTickCount64() + seconds * 1000ull;
    unsigned long opens = 0;
    Print("scanning");
    fflush(stdout);
    while (GetTickCount64() < end) {
        AutoCloseHandle file(CreateFileW(a[0].c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.Valid())
            ++opens;
        Sleep(file.Valid() ? holdMs : 1);
    }
    Print(Fmt("opens %lu", opens));
    return 0;
}

int CmdReadFile(const Args& a)
{
    if (a.size() != 1)
        return -1;
    AutoCloseHandle file(CreateFileW(a[0].c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        Print(Fmt("error %lu", GetLastError()));
        return 1;
    }
    std::string content;
    char buffer[65536];
    for (DWORD got = 0; ReadFile(file.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0;)
        content.append(buffer, got);
    fputs(Cp949ToUtf8(content).c_str(), stdout);
    return 0;
}

// What DebugView shows: every OutputDebugString of the session's programs
// for SECONDS, as "pid<TAB>text" (line ends dropped, the rest escaped). The
// channel is a shared buffer and two events; "listening" says it is open.
int CmdDebugStrings(const Args& a)
{
    unsigned long seconds = 0;
    if (a.size() != 1 || !ParseNumber(a[0], seconds))
        return -1;
    AutoCloseHandle bufferReady(CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_BUFFER_READY"));
    AutoCloseHandle dataReady(CreateEventW(nullptr, FALSE, FALSE, L"DBWIN_DATA_READY"));
    const DWORD kBufferSize = 4096;
    AutoCloseHandle mapping(
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kBufferSize, L"DBWIN_BUFFER"));
    ScopedMapView view(mapping.Valid() ? MapViewOfFile(mapping.Get(), FILE_MAP_READ, 0, 0, kBufferSize) : nullptr);
    if (!bufferReady.Valid() || !dataReady.Valid() || !view.Get()) {
        fprintf(stderr, "cannot open the debugger channel: %lu\n", GetLastError());
        return 1;
    }
    Print("listening");
    SetEvent(bufferReady.Get());
    const ULONGLONG end = GetTickCount64() + seconds * 1000ull;
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        if (WaitForSingleObject(dataReady.Get(), static_cast<DWORD>(std::min<ULONGLONG>(end - now, 200))) != WAIT_OBJECT_0)
            continue;
        const char* record = static_cast<const char*>(view.Get());
        DWORD pid = 0;
        memcpy(&pid, record, sizeof pid);
        std::string text(record + sizeof pid, strnlen(record + sizeof pid, kBufferSize - sizeof pid));
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
            text.pop_back();
        Print(Fmt("%lu\t", static_cast<unsigned long>(pid)) + EscapeLine(Cp949ToUtf8(text)));
        SetEvent(bufferReady.Get());
    }
    return 0;
}

// ---- desktops ----

int Dispatch(const std::wstring& name, const Args& args);

// Wine's virtual desktop is a desktop of its own: windows on it are found
// only from a thread on it. Wine closes a desktop a second after the last
// thread on it other than the desktop window's has gone, so without a
// command this thread stays on it, holding it open until it is ended.
int CmdDesktop(const Args& a)
{
    if (a.empty())
        return -1;
    HDESK desktop = OpenDesktopW(a[0].c_str(), 0, FALSE, GENERIC_ALL);
    if (!desktop || !SetThreadDesktop(desktop)) {
        fprintf(stderr, "cannot use desktop \"%s\": %lu\n", Utf8(a[0]).c_str(), GetLastError());
        return 1;
    }
    if (a.size() == 1) {
        Print("on desktop");
        Sleep(INFINITE);
    }
    return Dispatch(a[1], Args(a.begin() + 2, a.end()));
}

// Quoted so that the program's CommandLineToArgvW gives back the same words.
std::wstring QuoteArg(const std::wstring& arg)
{
    if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos)
        return arg;
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

// `wine explorer /desktop=NAME program` returns at once: the caller needs the
// program's exit code and a process whose end ends the program.
int CmdRunOn(const Args& a)
{
    if (a.size() < 2)
        return -1;
    std::wstring desktop = a[0], commandLine;
    for (size_t i = 1; i < a.size(); ++i)
        commandLine += (i > 1 ? L" " : L"") + QuoteArg(a[i]);
    AutoCloseHandle job(CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!job.Valid() || !SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits))
        return 1;
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.lpDesktop = &desktop[0];
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION started = {};
    if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr, nullptr, &startup,
                        &started)) {
        fprintf(stderr, "cannot start %s: %lu\n", Utf8(commandLine).c_str(), GetLastError());
        return 1;
    }
    AutoCloseHandle process(started.hProcess), thread(started.hThread);
    if (!AssignProcessToJobObject(job.Get(), process.Get())) {
        TerminateProcess(process.Get(), 1);
        return 1;
    }
    ResumeThread(thread.Get());
    WaitForSingleObject(process.Get(), INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.Get(), &code);
    return static_cast<int>(code);
}

// A tooltip keeps its text to itself: GetWindowText of another process's
// window reads the caption, which a tooltip does not have.
BOOL CALLBACK PrintTooltip(HWND hwnd, LPARAM count)
{
    std::wstring text;
    if (IsWindowVisible(hwnd) && ClassOf(hwnd) == TOOLTIPS_CLASSW && ReadText(hwnd, text)) {
        Print(HwndText(hwnd) + "\t" + EscapeLine(Utf8(text)));
        ++*reinterpret_cast<int*>(count);
    }
    return TRUE;
}

int CmdTips(const Args&)
{
    int count = 0;
    EnumWindows(PrintTooltip, reinterpret_cast<LPARAM>(&count));
    return count ? 0 : 1;
}

// Wine takes them from the locale of each process: what the driver gets is
// what a program started with the same environment gets.
int CmdCodePage(const Args&)
{
    Print(Fmt("%u %u", GetACP(), GetOEMCP()));
    return 0;
}

struct Command {
    const wchar_t* name;
    int (*run)(const Args&);
};

int CmdMsgBoxNow(const Args& a) { return CmdMsgBox(a, false); }
int CmdMsgBoxWait(const Args& a) { return CmdMsgBox(a, true); }

const Command kCommands[] = {
    {L"find", CmdFind},           {L"visible", CmdVisible},       {L"wait", CmdWait},
    {L"styles", CmdStyles},       {L"move", CmdMove},
    {L"watch", CmdWatch},
    {L"text", CmdText},           {L"edit-text", CmdEditText},    {L"settext", CmdSetText},
    {L"command", CmdCommand},     {L"close", CmdClose},           {L"post", CmdPost},
    {L"tray-event", CmdTrayEvent}, {L"copydata", CmdCopyData},    {L"check", CmdCheck},
    {L"end-session", CmdEndSession}, {L"hold-foreground", CmdHoldForeground},
    {L"key", CmdKey},
    {L"input-keys", CmdInputKeys}, {L"msgbox", CmdMsgBoxNow},     {L"msgbox-wait", CmdMsgBoxWait},
    {L"dialogs", CmdDialogs},     {L"menu", CmdMenu},             {L"menu-pick", CmdMenuPick},
    {L"client", CmdClient},       {L"accessible", CmdAccessible},
    {L"cursor", CmdCursor},       {L"click", CmdClick},           {L"hover", CmdHover},
    {L"pixel", CmdPixel},         {L"ping", CmdPing},             {L"tips", CmdTips},
    {L"desktop", CmdDesktop},     {L"run-on", CmdRunOn},
    {L"read-file", CmdReadFile},  {L"scan-file", CmdScanFile},  {L"debug-strings", CmdDebugStrings}, {L"codepage", CmdCodePage},
};

int Dispatch(const std::wstring& name, const Args& args)
{
    for (const Command& command : kCommands) {
        if (name != command.name)
            continue;
        int rc = command.run(args);
        if (rc < 0) {
            fputs(kUsage, stderr);
            return 3;
        }
        return rc;
    }
    fputs(kUsage, stderr);
    return 3;
}

}  // namespace

int main()
{
    // \n stays \n: the tests compare the output byte for byte
    _setmode(_fileno(stdout), _O_BINARY);
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    Args args(argv + (argc > 2 ? 2 : argc), argv + argc);
    std::wstring name = argc > 1 ? argv[1] : L"";
    LocalFree(argv);
    return Dispatch(name, args);
}
