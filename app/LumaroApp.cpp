#include "app/LumaroApp.h"

#include "app/CommandLine.h"
#include "app/HandOver.h"
#include "app/LumaroDialog.h"
#include "app/UnixTime.h"
#include "app/VersionNumber.h"
#include "framework/CommonControls.h"
#include "framework/Format.h"
#include "framework/MessageBox.h"
#include "notice/NoticeDialog.h"
#include "resource.h"

#include <winsock.h>

#include <cwchar>

const wchar_t kMainWindowTitle[] = L"Lumaro";
const wchar_t kInstanceBlockName[] = L"KESTRA_90815276";

LumaroApp theApp;

namespace {
std::wstring LoadResourceString(UINT id)
{
    wchar_t buf[256] = L"";
    ::LoadStringW(AfxGetInstanceHandle(), id, buf, 256);
    return buf;
}

const wchar_t kDialogClass[] = L"#32770";
}

HWND FindMonitorWindow()
{
    // FindWindow compares titles without case; the exact title and a label of
    // the clock tell the monitor from a box of this program or a stranger.
    for (HWND w = nullptr; (w = ::FindWindowExW(nullptr, w, kDialogClass, kMainWindowTitle)) != nullptr;) {
        wchar_t title[16] = L"";
        ::GetWindowTextW(w, title, 16);
        if (std::wcscmp(title, kMainWindowTitle) == 0 && ::GetDlgItem(w, IDC_CONNECT_TIME) && ::GetDlgItem(w, IDC_VERSION))
            return w;
    }
    return nullptr;
}

BOOL LumaroApp::InitInstance()
{
    WSADATA wsa;
    if (::WSAStartup(MAKEWORD(1, 1), &wsa) != 0) {
        AfxMessageBox(LoadResourceString(IDP_SOCKETS_INIT_FAILED).c_str());
        return FALSE;
    }
    Comctl32::InitCommonControls();

    switch (ClassifyCommandLine(m_lpCmdLine)) {
    case kCmdEmpty:
        AfxMessageBox("매개변수(user_name adt_name) 없음");
        ::ExitProcess(0);
    case kCmdKill:
        // A refused post (a monitor of higher integrity) is not a success.
        if (HWND monitor = FindMonitorWindow())
            if (!::PostMessageW(monitor, WM_CLOSE, 0, 0))
                ::ExitProcess(kKillRefusedExitCode);
        ::ExitProcess(1);
    case kCmdNotice:
        return RunNotice();
    case kCmdMonitor:
        break;
    }
    return RunMonitor();
}

BOOL LumaroApp::RunNotice()
{
    NoticeDialog dlg(nullptr);
    dlg.SetCommand(m_lpCmdLine);
    dlg.DoModal();
    return FALSE;
}

void LumaroApp::RetireOlderInstance()
{
    HandOverCalls calls;
    calls.instanceMarked = [this] {
        HANDLE mapping = ::OpenFileMappingW(FILE_MAP_READ, FALSE, kInstanceBlockName);
        if (!mapping)
            return false;
        m_pMapView.Reset();
        m_hMapping.Reset(mapping);
        m_pMapView.Reset(::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
        return m_pMapView.Get() != nullptr;
    };
    calls.findMonitor = FindMonitorWindow;
    calls.postQuit = [](HWND older) { return ::PostMessageW(older, WM_INSTANCE_QUIT, 0, 0) != FALSE; };
    calls.lastError = [] { return ::GetLastError(); };
    calls.sleep = [](DWORD ms) { ::Sleep(ms); };
    m_handOverError = RetireOlderMonitor(calls);
}

void LumaroApp::CreateInstanceBlock()
{
    HANDLE mapping = ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                          kInstanceBlockSize, kInstanceBlockName);
    if (!mapping)
        return;
    // The block of the hand-over stays open until this one holds it too.
    m_pMapView.Reset();
    m_hMapping.Reset(mapping);
    m_pMapView.Reset(::MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
}

BOOL LumaroApp::RunMonitor()
{
    RetireOlderInstance();
    CreateInstanceBlock();

    wchar_t path[MAX_PATH] = L"";
    if (::GetModuleFileNameW(nullptr, path, MAX_PATH) == 0) {
        m_message = StrFormat("GetModuleFileName failed (%d)\n", static_cast<int>(::GetLastError()));
        AfxMessageBox(m_message.c_str());
        return FALSE;
    }
    m_version = VersionText(ReadProductVersionNumber(path));

    SplitCommandLine(m_lpCmdLine, m_user, m_SvcName);
    m_user += '\t';
    m_nPort = kAdminPort;
    m_adminId = "admin";
    m_adminPw = "qalvexor";
    ::GetLocalTime(&m_startTime);
    m_tStart = UnixSecondsNow();

    LumaroDialog dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    return FALSE;
}
