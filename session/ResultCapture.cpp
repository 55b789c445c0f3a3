#include "session/ResultCapture.h"

#include "framework/ScopedHandle.h"

uint64_t CaptureRoom(uint64_t fileSize, uint64_t incoming, uint64_t limit)
{
    if (fileSize >= limit)
        return 0;
    uint64_t room = limit - fileSize;
    return incoming < room ? incoming : room;
}

CaptureAppend AppendToCapture(const std::string& path, const char* text, uint64_t length, uint64_t limit)
{
    CaptureAppend result;
    AutoCloseHandle file(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
        result.rc = kCaptureOpenFailed;
        result.error = ::GetLastError();
        return result;
    }
    LARGE_INTEGER size{};
    ::GetFileSizeEx(file.Get(), &size);
    result.sizeBefore = static_cast<uint64_t>(size.QuadPart);
    uint64_t room = CaptureRoom(result.sizeBefore, length, limit);
    result.cut = room < length;
    LARGE_INTEGER end{};
    DWORD written = 0;
    bool ok = ::SetFilePointerEx(file.Get(), end, nullptr, FILE_END) &&
              (room == 0 || (::WriteFile(file.Get(), text, static_cast<DWORD>(room), &written, nullptr) &&
                             written == room)) &&
              ::FlushFileBuffers(file.Get());
    if (!ok) {
        result.rc = kCaptureWriteFailed;
        result.error = ::GetLastError();
    }
    return result;
}
