#include "session/ResultCapture.h"

#include "framework/FileInUse.h"
#include "framework/PlainFile.h"

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
    return result;
}

void ResultCapture::Close()
{
    m_file.Reset();
    m_size = 0;
}
