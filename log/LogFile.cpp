#include "log/LogFile.h"

#include <vector>

#include "framework/Cp949.h"
#include "framework/FileInUse.h"
#include "framework/Format.h"
#include "log/LogFormat.h"

namespace {

// Keeps each log file near 5 MiB; a file of exactly this length is still kept.
const LONGLONG kMaxLogBytes = 5 * 1048576;
// How far a full log grows on while it cannot be kept as ".1": bounded, and
// only emptied once even that is reached.
const LONGLONG kHardCapBytes = 8 * 1048576;

// The name of a file without its folder, for the seam line.
std::string FileName(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return Narrow(slash == std::wstring::npos ? path : path.substr(slash + 1));
}

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
    m_file.Reset(
        OpenPlainFileWhenFree(m_path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, !append, outcome));
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

PlainFileOutcome LogFile::OpenNewRun(const wchar_t* path, int minLevel, std::string& notKept)
{
    notKept.clear();
    {
        std::lock_guard<std::mutex> hold(m_lock);
        if (m_open)
            return PlainFileOutcome();
    }
    const std::wstring log = path ? path : L"";
    const std::wstring kept = log + kKeptLogSuffix;
    // Nothing holds the last run's log open any more, so it is renamed, not
    // copied. A rename needs delete access, which a viewer or a scanner
    // holding either file refuses while it holds it without FILE_SHARE_DELETE
    // ("MoveFileEx", Remarks; "CreateFile").
    const BOOL moved = RetryWhileInUse(
        [&] { return ::MoveFileExW(log.c_str(), kept.c_str(), MOVEFILE_REPLACE_EXISTING); }, FALSE);
    const DWORD error = moved ? 0 : ::GetLastError();
    const bool continued = !moved && error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
    const PlainFileOutcome outcome = Open(log.c_str(), continued, minLevel);
    if (continued && outcome.Opened())
        notKept = StrFormat("%s not kept as %s, rc=%lu: this run's lines follow the last run's",
                            Narrow(log).c_str(), FileName(kept).c_str(), static_cast<unsigned long>(error));
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
    AutoCloseHandle dest(OpenPlainFileWhenFree(kept.c_str(), GENERIC_WRITE, FILE_SHARE_READ, true, outcome));
    // The log's lines are CP949: the path as such, '?' for what it lacks.
    if (!dest.Valid())
        return StrFormat("%s not kept (%s)", Narrow(kept).c_str(), DescribeRefusal(outcome).c_str());
    SetFilePointer(m_file.Get(), 0, nullptr, FILE_BEGIN);
    const int rc = CopyFileContents(m_file.Get(), dest.Get());
    if (rc != 0)
        return StrFormat("%s incomplete, rc=%d", Narrow(kept).c_str(), rc);
    return std::string();
}

void LogFile::WriteErrorLine(const std::string& text)
{
    m_line = FormatLogLine(LocalNow(), kLogError, EscapeLogText(text.c_str()).c_str());
    WriteWhole(m_file.Get(), m_line);
}

void LogFile::StartAfreshWhenFull()
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(m_file.Get(), &size) || size.QuadPart <= (m_keepFailed ? kHardCapBytes : kMaxLogBytes))
        return;
    // Copied rather than renamed: a rename needs delete access on the open log,
    // and with it every reader would have to allow deletion to open it at all.
    const std::string failure = KeepFullLog();
    if (!failure.empty() && !m_keepFailed) {
        m_keepFailed = true;
        WriteErrorLine(StrFormat("%s; the log grows on to %d MiB", failure.c_str(),
                                 static_cast<int>(kHardCapBytes / 1048576)));
        return;
    }
    m_keepFailed = false;
    FlushFileBuffers(m_file.Get());
    SetFilePointer(m_file.Get(), 0, nullptr, FILE_BEGIN);
    SetEndOfFile(m_file.Get());
    if (!failure.empty())
        WriteErrorLine(failure + "; the full log before this line is lost");
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

    // Held before the destination is opened, and against writers: picked as
    // the destination itself, it is refused like the log, never emptied. A
    // link planted under its name is not followed.
    PlainFileOutcome keptOutcome;
    AutoCloseHandle kept(OpenExistingPlainFile(KeptPath().c_str(), GENERIC_READ, FILE_SHARE_READ, keptOutcome));
    // Emptied on open: the user may pick an older, longer file, whose tail would
    // otherwise survive behind the copy.
    AutoCloseHandle dest(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                     nullptr));
    if (!dest.Valid())
        return kCopyNoDestination;

    int rc = CopyKeptLog(kept.Get(), keptOutcome, dest.Get());
    FlushFileBuffers(m_file.Get());
    SetFilePointer(m_file.Get(), 0, nullptr, FILE_BEGIN);
    if (rc == 0)
        rc = CopyFileContents(m_file.Get(), dest.Get());
    if (rc == 0 && !FlushFileBuffers(dest.Get()))
        rc = kCopyWriteFailed;
    // Later lines go to the end of the log whatever became of the copy.
    SetFilePointer(m_file.Get(), 0, nullptr, FILE_END);
    return rc;
}

int LogFile::CopyKeptLog(HANDLE kept, const PlainFileOutcome& outcome, HANDLE dest)
{
    if (kept == INVALID_HANDLE_VALUE && outcome.error == ERROR_FILE_NOT_FOUND)
        return 0;
    const std::string keptName = FileName(KeptPath());
    std::string seam;
    if (kept != INVALID_HANDLE_VALUE) {
        const int rc = CopyFileContents(kept, dest);
        if (rc != 0)
            return rc;
        seam = StrFormat("-------- %s ends here; %s follows --------\r\n", keptName.c_str(), FileName(m_path).c_str());
    } else {
        seam = StrFormat("-------- %s not copied (%s); %s follows --------\r\n", keptName.c_str(),
                         DescribeRefusal(outcome).c_str(), FileName(m_path).c_str());
    }
    DWORD written = 0;
    if (!WriteFile(dest, seam.data(), static_cast<DWORD>(seam.size()), &written, nullptr) || written != seam.size())
        return kCopyWriteFailed;
    return 0;
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
