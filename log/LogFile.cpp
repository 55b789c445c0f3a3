#include "log/LogFile.h"

#include <vector>

#include "framework/Cp949.h"
#include "framework/Format.h"
#include "log/LogFormat.h"

namespace {

// Keeps each log file near 5 MiB; a file of exactly this length is still kept.
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

PlainFileOutcome LogFile::Open(const wchar_t* path, BOOL append, int minLevel)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_open)
        return PlainFileOutcome();
    m_path = path ? path : L"";
    m_minLevel = minLevel;

    // Readers may look in (a viewer, a support tool, a backup), nobody else
    // may write into it while the log holds it.
    PlainFileOutcome outcome;
    m_file.Reset(OpenPlainFile(m_path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, !append, outcome));
    if (!m_file.Valid()) {
        m_file.Reset();
        m_open = 0;
        return outcome;
    }
    if (append)
        SetFilePointer(m_file.Get(), 0, nullptr, FILE_END);
    m_open = 1;
    return outcome;
}

std::wstring LogFile::KeptPath() const
{
    return m_path + kKeptLogSuffix;
}

std::string LogFile::KeepFullLog()
{
    const std::wstring kept = KeptPath();
    PlainFileOutcome outcome;
    AutoCloseHandle dest(OpenPlainFile(kept.c_str(), GENERIC_WRITE, FILE_SHARE_READ, true, outcome));
    // The log's lines are CP949: the path as such, '?' for what it lacks.
    if (!dest.Valid())
        return StrFormat("%s not kept (%s); the full log before this line is lost", Narrow(kept).c_str(),
                         DescribeRefusal(outcome).c_str());
    SetFilePointer(m_file.Get(), 0, nullptr, FILE_BEGIN);
    const int rc = CopyFileContents(m_file.Get(), dest.Get());
    if (rc != 0)
        return StrFormat("%s incomplete, rc=%d", Narrow(kept).c_str(), rc);
    return std::string();
}

void LogFile::StartAfreshWhenFull()
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(m_file.Get(), &size) || size.QuadPart <= kMaxLogBytes)
        return;
    // Copied rather than renamed: a rename needs delete access on the open log,
    // and with it every reader would have to allow deletion to open it at all.
    const std::string failure = KeepFullLog();
    FlushFileBuffers(m_file.Get());
    SetFilePointer(m_file.Get(), 0, nullptr, FILE_BEGIN);
    SetEndOfFile(m_file.Get());
    if (!failure.empty()) {
        m_line = FormatLogLine(LocalNow(), kLogError, EscapeLogText(failure.c_str()).c_str());
        WriteWhole(m_file.Get(), m_line);
    }
}

size_t LogFile::Write(int level, const char* text)
{
    return WriteEntry(level, EscapeLogText(text));
}

size_t LogFile::WriteLines(int level, const std::vector<std::string>& lines)
{
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            text += '\n';
        text += EscapeLogText(lines[i].c_str());
    }
    return WriteEntry(level, text);
}

size_t LogFile::WriteEntry(int level, const std::string& text)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_open)
        return 0;
    if (level != kLogMost && level < m_minLevel)
        return 0;
    StartAfreshWhenFull();
    m_line = FormatLogLine(LocalNow(), level, text.c_str());
    WriteWhole(m_file.Get(), m_line);
    return m_line.size();
}

size_t LogFile::DumpTraffic(int direction, const char* data, int length)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_open)
        return 0;
    // No size check here: the next Write starts afresh once a dump has carried the file past the limit.
    m_line = FormatDumpBlock(LocalNow(), direction, reinterpret_cast<const unsigned char*>(data), length);
    WriteWhole(m_file.Get(), m_line);
    return m_line.size();
}

int LogFile::CopyTo(const wchar_t* path)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_open)
        return kCopyNotOpen;

    // Emptied on open: the user may pick an older, longer file, whose tail would
    // otherwise survive behind the copy.
    AutoCloseHandle dest(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
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
