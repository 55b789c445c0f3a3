#include "log/LogFile.h"

#include <vector>

#include "log/LogFormat.h"

namespace {

// Keeps the log near 5 MiB; a file of exactly this length is still kept.
const LONGLONG kMaxLogBytes = 5 * 1048576;

LogTime LocalNow()
{
    SYSTEMTIME st;
    GetLocalTime(&st);
    return LogTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
}

// One WriteFile per line or block, so that nothing sits in a buffer of ours
// when the process is ended without unwinding.
void WriteWhole(HANDLE file, const std::string& text)
{
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

} // namespace

LogFile::~LogFile()
{
    if (m_open)
        FlushFileBuffers(m_file.Get());
}

void LogFile::Open(const char* path, BOOL append, int minLevel)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_open)
        return;
    m_path = path ? path : "";
    m_minLevel = minLevel;

    // No sharing: while the log holds its file, nobody else writes into it.
    m_file.Reset(CreateFileA(m_path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                             append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!m_file.Valid()) {
        m_file.Reset();
        m_open = 0;
        return;
    }
    if (append)
        SetFilePointer(m_file.Get(), 0, nullptr, FILE_END);
    m_open = 1;
}

void LogFile::EmptyWhenFull()
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(m_file.Get(), &size) || size.QuadPart <= kMaxLogBytes)
        return;
    FlushFileBuffers(m_file.Get());
    SetFilePointer(m_file.Get(), 0, nullptr, FILE_BEGIN);
    SetEndOfFile(m_file.Get());
}

void LogFile::Write(int level, const char* text)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_open)
        return;
    if (level != kLogMost && level < m_minLevel)
        return;
    EmptyWhenFull();
    m_line = FormatLogLine(LocalNow(), level, text);
    WriteWhole(m_file.Get(), m_line);
}

void LogFile::DumpTraffic(int direction, const char* data, int length)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_open)
        return;
    // No size check here: the next Write empties a file a dump has carried past the limit.
    m_line = FormatDumpBlock(LocalNow(), direction, reinterpret_cast<const unsigned char*>(data), length);
    WriteWhole(m_file.Get(), m_line);
}

int LogFile::CopyTo(const char* path)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_open)
        return kCopyNotOpen;

    // Emptied on open: the user may pick an older, longer file, whose tail would
    // otherwise survive behind the copy.
    AutoCloseHandle dest(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                     nullptr));
    if (!dest.Valid())
        return kCopyNoDestination;

    FlushFileBuffers(m_file.Get());
    SetFilePointer(m_file.Get(), 0, nullptr, FILE_BEGIN);
    int rc = CopyFileContents(m_file.Get(), dest.Get());
    if (rc == 0 && !FlushFileBuffers(dest.Get()))
        rc = kCopyWriteFailed;
    // Later lines go to the end of the log whatever became of the copy.
    SetFilePointer(m_file.Get(), 0, nullptr, FILE_END);
    return rc;
}

int CopyFileContents(HANDLE source, HANDLE dest)
{
    // In pieces: the log may be 5 MiB, and the copy runs on the window's thread.
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(source, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr))
            return kCopyReadFailed;
        if (got == 0)
            return 0;
        DWORD written = 0;
        if (!WriteFile(dest, buffer.data(), got, &written, nullptr) || written != got)
            return kCopyWriteFailed;
    }
}
