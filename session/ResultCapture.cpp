#include "session/ResultCapture.h"

#include "framework/FileInUse.h"
#include "framework/PlainFile.h"

#include <algorithm>

uint64_t CaptureRoom(uint64_t fileSize, uint64_t incoming, uint64_t limit)
{
    if (fileSize >= limit)
        return 0;
    uint64_t room = limit - fileSize;
    return incoming < room ? incoming : room;
}

CaptureAppend ResultCapture::Append(const std::wstring& path, const char* text, uint64_t length)
{
    CaptureAppend result;
    if (!m_file.Valid()) {
        PlainFileOutcome why;
        m_file.Reset(RetryWhileInUse(
            [&] {
                HANDLE h = OpenPlainFile(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, false, why);
                ::SetLastError(why.error);
                return h;
            },
            INVALID_HANDLE_VALUE));
        LARGE_INTEGER size{};
        LARGE_INTEGER end{};
        if (!m_file.Valid() || !::GetFileSizeEx(m_file.Get(), &size) ||
            !::SetFilePointerEx(m_file.Get(), end, nullptr, FILE_END)) {
            result.rc = kCaptureOpenFailed;
            result.error = ::GetLastError();
            if (!m_file.Valid() && why.error == 0)
                result.refusal = DescribeRefusal(why);
            m_file.Reset();
            return result;
        }
        m_size = static_cast<uint64_t>(size.QuadPart);
    }
    uint64_t room = CaptureRoom(m_size, length, m_limit);
    result.cut = room < length;
    DWORD written = 0;
    if (room > 0 && (!::WriteFile(m_file.Get(), text, static_cast<DWORD>(room), &written, nullptr) || written != room)) {
        result.rc = kCaptureWriteFailed;
        result.error = ::GetLastError();
    }
    m_size += written;
    result.written = written;
    return result;
}

CaptureReplaced ResultCapture::Replace(const std::wstring& path)
{
    CaptureReplaced result;
    result.path = path;
    m_file.Reset();
    m_size = 0;
    const ULONGLONG start = ::GetTickCount64();
    for (DWORD pause = kReplaceFirstPauseMs;; pause *= 2) {
        if (::DeleteFileW(path.c_str()))
            return result;
        DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return result;
        result.heldError = error;
        result.waitedMs = static_cast<unsigned>(::GetTickCount64() - start);
        if (!FileInUseError(error) || result.waitedMs >= m_replaceWaitMs)
            break;
        ::Sleep(std::min<DWORD>(pause, m_replaceWaitMs - result.waitedMs));
    }
    // The holder shares writing (scanners and indexers read, and let others
    // write): the file is emptied through a handle that shares all with it,
    // and only when the name is still a plain file of ours to write.
    PlainFileOutcome why;
    m_file.Reset(OpenPlainFile(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, true, why));
    result.how = m_file.Valid() ? CaptureReplace::EmptiedInPlace : CaptureReplace::Kept;
    if (!m_file.Valid())
        m_file.Reset();
    return result;
}
