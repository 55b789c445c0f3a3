// trayhost: a notification area for tests under Wine.
//
// Wine's Shell_NotifyIcon does not draw anything itself: it sends every call
// as WM_COPYDATA to the top-level window of class "Shell_TrayWnd" and fails
// when there is none. This program is that window. It writes one line per
// call to the log named on its command line and shows the icons it holds, so
// a screenshot shows what the user would see.
//
//   trayhost.exe LOGFILE [--always-ok] [--refuse-file PATH]
//
// Log lines (UTF-8, fields separated by TAB, one line per call):
//   unix-ms  command  owner  id  flags  callback  icon  result  tooltip
//            balloon-flags  balloon-timeout  balloon-title  balloon-text
// command is add, modify, delete, setfocus, setversion or cmdN; owner, flags,
// callback and balloon-flags are hex; icon is "-" or WxHxBPP:checksum of the
// icon bits; result is 1 when the call was accepted; TAB, CR, LF and
// backslash in the texts are written as \t, \r, \n and \\. The balloon fields
// are logged whatever the flags say, so a test sees what every record holds.
// A line with command "ready" and the tray window's handle tells that a
// window exists.
//
// Like the shell, an add of an icon that exists and a modify or delete of one
// that does not are refused, unless --always-ok is given. While the file
// named by --refuse-file exists every call is refused, which stands in for a
// shell that has gone away or is not there yet. (Wine's own explorer keeps a
// hidden "Shell_TrayWnd" that takes every icon; this window, being newer, is
// found first, so a refusing trayhost is the only way to a shell that says no.)
//
// Like Explorer, every new tray window broadcasts the registered message
// "TaskbarCreated" to all top-level windows, and a new tray holds no icon.
// The message WM_APP+1 (wParam: a gap in ms) posted to the tray window
// restarts it: the window goes, and after the gap a new one comes, as when
// Explorer restarts.
//
// The message WM_APP+2 (wParam: an event such as NIN_BALLOONUSERCLICK,
// lParam: the owner window) makes the tray tell that owner's icon of the
// event as the shell does after the user's click: it lets the owner take
// the foreground, then sends the icon's callback message (icon id, event).
#include "tools/common/EscapeLine.h"
#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "framework/ScopedHandle.h"

namespace {

// Byte offsets inside the record Wine's shell32 sends. The bitmap of the icon
// (mask bits, then colour bits, as GetBitmapBits returns them) follows the
// fixed part; where the description of that bitmap sits moved between Wine
// versions, so both known layouts are tried.
constexpr size_t kOwnerAt = 0;
constexpr size_t kIdAt = 4;
constexpr size_t kFlagsAt = 8;
constexpr size_t kCallbackAt = 12;
constexpr size_t kTipChars = 128;
// The balloon follows the tooltip as in the version-2 record, in UTF-16:
// dwState and dwStateMask, szInfo[256], uTimeout, szInfoTitle[64],
// dwInfoFlags. Found by sending known texts through Wine 8's shell32.
constexpr size_t kInfoAfterTip = kTipChars * 2 + 8;
constexpr size_t kInfoChars = 256;
constexpr size_t kTimeoutAfterTip = kInfoAfterTip + kInfoChars * 2;
constexpr size_t kInfoTitleAfterTip = kTimeoutAfterTip + 4;
constexpr size_t kInfoTitleChars = 64;
constexpr size_t kInfoFlagsAfterTip = kInfoTitleAfterTip + kInfoTitleChars * 2;
constexpr UINT kRestartMessage = WM_APP + 1;
constexpr UINT kNotifyOwnerMessage = WM_APP + 2;

struct RecordLayout {
    size_t tipAt;
    size_t iconInfoAt;  // width, height, planes, bpp: four 32-bit values
    size_t iconBitsAt;  // size of the fixed part
};

constexpr RecordLayout kLayouts[] = {
    {16, 944, 960},  // Wine 8: bitmap description at the end
    {32, 16, 976},   // later Wine: bitmap description before the tooltip
};

struct IconBits {
    uint32_t width = 0, height = 0, planes = 0, bpp = 0;
    std::vector<BYTE> mask, colour;
    bool present() const { return width && height && !mask.empty(); }
};

struct TrayRecord {
    DWORD command = 0;
    uint32_t owner = 0, id = 0, flags = 0, callback = 0;
    std::wstring tip;
    uint32_t infoFlags = 0, timeout = 0;
    std::wstring infoTitle, info;
    IconBits icon;
};

uint32_t ReadU32(const BYTE* p, size_t at)
{
    uint32_t v;
    memcpy(&v, p + at, sizeof v);
    return v;
}

// Bytes GetBitmapBits gives for a bitmap: rows padded to 16 bits.
size_t BitmapBytes(uint32_t w, uint32_t h, uint32_t planes, uint32_t bpp)
{
    return (static_cast<size_t>(planes) * w * h * bpp + 15) / 16 * 2;
}

// Checks one layout against the record's size; fills the icon when it fits.
bool MatchLayout(const BYTE* data, size_t size, const RecordLayout& layout, IconBits& icon)
{
    if (size < layout.iconBitsAt)
        return false;
    IconBits found;
    found.width = ReadU32(data, layout.iconInfoAt);
    found.height = ReadU32(data, layout.iconInfoAt + 4);
    found.planes = ReadU32(data, layout.iconInfoAt + 8);
    found.bpp = ReadU32(data, layout.iconInfoAt + 12);
    if (!found.width && !found.height && !found.planes && !found.bpp) {
        if (size != layout.iconBitsAt)
            return false;
        icon = found;
        return true;
    }
    if (found.width > 256 || found.height > 256 || found.planes != 1 || found.bpp == 0 || found.bpp > 32)
        return false;
    size_t maskBytes, colourBytes;
    if (found.bpp == 1) {
        // a monochrome icon has no colour bitmap: its mask is twice as high
        maskBytes = BitmapBytes(found.width, found.height * 2, 1, 1);
        colourBytes = 0;
    } else {
        maskBytes = BitmapBytes(found.width, found.height, 1, 1);
        colourBytes = BitmapBytes(found.width, found.height, found.planes, found.bpp);
    }
    // a balloon icon may follow; Lumaro sends none, so only a lower bound
    if (size < layout.iconBitsAt + maskBytes + colourBytes)
        return false;
    const BYTE* bits = data + layout.iconBitsAt;
    found.mask.assign(bits, bits + maskBytes);
    found.colour.assign(bits + maskBytes, bits + maskBytes + colourBytes);
    icon = std::move(found);
    return true;
}

// A NUL-terminated UTF-16 text of at most `chars` characters at `at`.
void ReadText(const BYTE* data, size_t size, size_t at, size_t chars, std::wstring& text)
{
    if (size < at + chars * sizeof(WCHAR))
        return;
    const WCHAR* p = reinterpret_cast<const WCHAR*>(data + at);
    size_t n = 0;
    while (n < chars && p[n])
        ++n;
    text.assign(p, n);
}

bool ParseRecord(const COPYDATASTRUCT& cds, TrayRecord& rec)
{
    const BYTE* data = static_cast<const BYTE*>(cds.lpData);
    size_t size = cds.cbData;
    if (!data || size < kCallbackAt + 4)
        return false;
    rec.command = static_cast<DWORD>(cds.dwData);
    rec.owner = ReadU32(data, kOwnerAt);
    rec.id = ReadU32(data, kIdAt);
    rec.flags = ReadU32(data, kFlagsAt);
    rec.callback = ReadU32(data, kCallbackAt);

    const RecordLayout* layout = &kLayouts[0];
    for (const RecordLayout& candidate : kLayouts) {
        if (MatchLayout(data, size, candidate, rec.icon)) {
            layout = &candidate;
            break;
        }
    }
    size_t tipAt = layout->tipAt;
    ReadText(data, size, tipAt, kTipChars, rec.tip);
    ReadText(data, size, tipAt + kInfoAfterTip, kInfoChars, rec.info);
    ReadText(data, size, tipAt + kInfoTitleAfterTip, kInfoTitleChars, rec.infoTitle);
    if (size >= tipAt + kInfoFlagsAfterTip + 4) {
        rec.timeout = ReadU32(data, tipAt + kTimeoutAfterTip);
        rec.infoFlags = ReadU32(data, tipAt + kInfoFlagsAfterTip);
    }
    return true;
}

uint32_t Checksum(const IconBits& icon)
{
    // FNV-1a: enough to tell one icon resource from another in the log
    uint32_t h = 2166136261u;
    for (const auto* part : {&icon.mask, &icon.colour})
        for (BYTE b : *part)
            h = (h ^ b) * 16777619u;
    return h;
}

std::string ToUtf8(const std::wstring& text)
{
    if (text.empty())
        return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}


const char* CommandName(DWORD command, char* buf, size_t len)
{
    switch (command) {
    case NIM_ADD: return "add";
    case NIM_MODIFY: return "modify";
    case NIM_DELETE: return "delete";
    case NIM_SETFOCUS: return "setfocus";
    case NIM_SETVERSION: return "setversion";
    }
    snprintf(buf, len, "cmd%lu", static_cast<unsigned long>(command));
    return buf;
}

unsigned long long UnixMillis()
{
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER t;
    t.LowPart = ft.dwLowDateTime;
    t.HighPart = ft.dwHighDateTime;
    return (t.QuadPart - 116444736000000000ull) / 10000ull;
}

// An icon rebuilt from the bits in a record, owned here.
class OwnedIcon {
public:
    OwnedIcon() = default;
    explicit OwnedIcon(const IconBits& bits)
    {
        if (!bits.present())
            return;
        if (bits.bpp == 1) {
            size_t half = bits.mask.size() / 2;
            m_icon = CreateIcon(GetModuleHandleW(nullptr), bits.width, bits.height, 1, 1,
                                bits.mask.data(), bits.mask.data() + half);
        } else {
            m_icon = CreateIcon(GetModuleHandleW(nullptr), bits.width, bits.height, static_cast<BYTE>(bits.planes),
                                static_cast<BYTE>(bits.bpp), bits.mask.data(), bits.colour.data());
        }
    }
    ~OwnedIcon()
    {
        if (m_icon)
            DestroyIcon(m_icon);
    }
    OwnedIcon(const OwnedIcon&) = delete;
    OwnedIcon& operator=(const OwnedIcon&) = delete;
    HICON Get() const { return m_icon; }
private:
    HICON m_icon = nullptr;
};

struct ShownIcon {
    std::wstring tip;
    std::unique_ptr<OwnedIcon> icon;
    uint32_t id = 0, callback = 0;
};

class TrayHost {
public:
    TrayHost(std::wstring logPath, std::wstring refuseFile, bool alwaysOk)
        : m_logPath(std::move(logPath)), m_refuseFile(std::move(refuseFile)), m_alwaysOk(alwaysOk)
    {
    }

    void WriteLine(const std::string& line)
    {
        // opened per line so a test can read, truncate or delete the log at any time
        AutoCloseHandle file(CreateFileW(m_logPath.c_str(), FILE_APPEND_DATA,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.Valid())
            return;
        DWORD written = 0;
        WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }

    void LogReady(HWND hwnd)
    {
        char line[128];
        snprintf(line, sizeof line, "%llu\tready\t%lx\n", UnixMillis(),
                 static_cast<unsigned long>(reinterpret_cast<uintptr_t>(hwnd)));
        WriteLine(line);
    }

    BOOL OnNotify(const TrayRecord& rec)
    {
        BOOL ok = Apply(rec);
        char icon[64] = "-";
        if (rec.icon.present())
            snprintf(icon, sizeof icon, "%ux%ux%u:%08x", rec.icon.width, rec.icon.height, rec.icon.bpp,
                     Checksum(rec.icon));
        char name[16];
        char head[256];
        snprintf(head, sizeof head, "%llu\t%s\t%x\t%u\t%x\t%x\t%s\t%d\t", UnixMillis(),
                 CommandName(rec.command, name, sizeof name), rec.owner, rec.id, rec.flags, rec.callback, icon,
                 ok ? 1 : 0);
        char balloon[64];
        snprintf(balloon, sizeof balloon, "\t%x\t%u\t", rec.infoFlags, rec.timeout);
        WriteLine(head + EscapeLine(ToUtf8(rec.tip)) + balloon + EscapeLine(ToUtf8(rec.infoTitle)) + "\t" +
                  EscapeLine(ToUtf8(rec.info)) + "\n");
        return ok;
    }

    // A new shell knows none of the old one's icons.
    void Forget() { m_icons.clear(); }

    void NotifyOwner(HWND owner, LPARAM event)
    {
        auto key = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(owner));
        for (const auto& item : m_icons) {
            if (item.first.first != key || !item.second.callback)
                continue;
            DWORD pid = 0;
            GetWindowThreadProcessId(owner, &pid);
            AllowSetForegroundWindow(pid);
            SendNotifyMessageW(owner, item.second.callback, item.second.id, event);
        }
    }

    void Paint(HWND hwnd, HDC dc)
    {
        RECT client;
        GetClientRect(hwnd, &client);
        FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        if (!m_font.Get())
            m_font.Reset(CreateFontW(-14, 0, 0, 0, FW_NORMAL, 0, 0, 0, HANGUL_CHARSET, OUT_DEFAULT_PRECIS,
                                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"Gulim"));
        ScopedSelectObject font(dc, m_font.Get());
        SetBkMode(dc, TRANSPARENT);
        int y = 4;
        for (const auto& item : m_icons) {
            if (item.second.icon && item.second.icon->Get())
                DrawIconEx(dc, 4, y, item.second.icon->Get(), 32, 32, 0, nullptr, DI_NORMAL);
            RECT text = {44, y, client.right - 4, y + 36};
            DrawTextW(dc, item.second.tip.c_str(), -1, &text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
            y += 40;
        }
    }

private:
    BOOL Apply(const TrayRecord& rec)
    {
        if (!m_refuseFile.empty() && GetFileAttributesW(m_refuseFile.c_str()) != INVALID_FILE_ATTRIBUTES)
            return FALSE;
        auto key = std::make_pair(rec.owner, rec.id);
        auto it = m_icons.find(key);
        switch (rec.command) {
        case NIM_ADD:
            if (it != m_icons.end() && !m_alwaysOk)
                return FALSE;
            it = m_icons.emplace(key, ShownIcon()).first;
            break;
        case NIM_MODIFY:
            if (it == m_icons.end()) {
                if (!m_alwaysOk)
                    return FALSE;
                it = m_icons.emplace(key, ShownIcon()).first;
            }
            break;
        case NIM_DELETE:
            if (it == m_icons.end())
                return m_alwaysOk;
            m_icons.erase(it);
            return TRUE;
        default:
            return TRUE;
        }
        if (rec.flags & NIF_TIP)
            it->second.tip = rec.tip;
        if (rec.flags & NIF_MESSAGE) {
            it->second.id = rec.id;
            it->second.callback = rec.callback;
        }
        if ((rec.flags & NIF_ICON) && rec.icon.present())
            it->second.icon.reset(new OwnedIcon(rec.icon));
        return TRUE;
    }

    std::wstring m_logPath;
    std::wstring m_refuseFile;
    bool m_alwaysOk;
    std::map<std::pair<uint32_t, uint32_t>, ShownIcon> m_icons;
    ScopedGdiObj<HFONT> m_font;
};

TrayHost* g_host = nullptr;
bool g_restart = false;
DWORD g_restartGapMs = 0;

LRESULT CALLBACK TrayWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    switch (msg) {
    case WM_COPYDATA: {
        TrayRecord rec;
        if (!ParseRecord(*reinterpret_cast<const COPYDATASTRUCT*>(lParam), rec))
            return FALSE;
        BOOL ok = g_host->OnNotify(rec);
        InvalidateRect(hwnd, nullptr, TRUE);
        return ok;
    }
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        g_host->Paint(hwnd, dc);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case kNotifyOwnerMessage:
        g_host->NotifyOwner(reinterpret_cast<HWND>(lParam), static_cast<LPARAM>(wParam));
        return 0;
    case kRestartMessage:
        g_restartGapMs = static_cast<DWORD>(wParam);
        g_restart = true;
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::wstring logPath, refuseFile;
    bool alwaysOk = false;
    for (int i = 1; i < argc; ++i) {
        std::wstring arg = argv[i];
        if (arg == L"--always-ok")
            alwaysOk = true;
        else if (arg == L"--refuse-file" && i + 1 < argc)
            refuseFile = argv[++i];
        else if (logPath.empty())
            logPath = arg;
    }
    LocalFree(argv);
    if (logPath.empty()) {
        MessageBoxW(nullptr, L"usage: trayhost LOGFILE [--always-ok] [--refuse-file PATH]", L"trayhost", MB_OK);
        return 2;
    }

    TrayHost host(logPath, refuseFile, alwaysOk);
    g_host = &host;

    WNDCLASSW wc = {};
    wc.lpfnWndProc = TrayWndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = L"Shell_TrayWnd";
    if (!RegisterClassW(&wc))
        return 3;
    int screenH = GetSystemMetrics(SM_CYSCREEN);
    UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    for (;;) {
        HWND hwnd = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, L"Shell_TrayWnd", L"Tray",
                                    WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE, 0, screenH - 150, 420, 150, nullptr,
                                    nullptr, instance, nullptr);
        if (!hwnd)
            return 4;
        host.LogReady(hwnd);
        SendNotifyMessageW(HWND_BROADCAST, taskbarCreated, 0, 0);

        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (!g_restart)
            return 0;
        g_restart = false;
        host.Forget();
        Sleep(g_restartGapMs);
    }
}
