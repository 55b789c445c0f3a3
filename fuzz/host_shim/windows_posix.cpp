// The log's Win32 file calls on POSIX descriptors; see windows.h for why.
#include <windows.h>

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

thread_local DWORD g_lastError = 0;

DWORD WindowsError(int error)
{
    switch (error) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM: return ERROR_ACCESS_DENIED;
    default: return 10000 + static_cast<DWORD>(error);
    }
}

template <class T>
T Failed(T result)
{
    g_lastError = WindowsError(errno);
    return result;
}

int Fd(HANDLE h)
{
    return static_cast<int>(reinterpret_cast<std::intptr_t>(h)) - 1;
}

HANDLE FromFd(int fd)
{
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(fd) + 1);
}

} // namespace

namespace {

// One byte for each character; false when a character is not ASCII.
bool AsciiName(const WCHAR* name, std::string& out)
{
    for (; *name; ++name) {
        if (*name <= 0 || *name > 0x7F)
            return false;
        out += static_cast<char>(*name);
    }
    return true;
}

template <class From, class To>
int ConvertAscii(const From* text, int length, To* out, int room)
{
    if (out && room < length)
        return 0;
    for (int i = 0; out && i < length; ++i)
        out[i] = (text[i] >= 0 && text[i] <= 0x7F) ? static_cast<To>(text[i]) : static_cast<To>('?');
    return length;
}

} // namespace

int MultiByteToWideChar(unsigned, DWORD, const char* text, int length, WCHAR* out, int room)
{
    return ConvertAscii(text, length, out, room);
}

int WideCharToMultiByte(unsigned, DWORD, const WCHAR* text, int length, char* out, int room, const char*, BOOL*)
{
    return ConvertAscii(text, length, out, room);
}

HANDLE CreateFileW(const WCHAR* wideName, DWORD access, DWORD, void*, DWORD disposition, DWORD attributes, HANDLE)
{
    std::string name;
    if (!AsciiName(wideName, name)) {
        errno = EINVAL;
        return Failed(INVALID_HANDLE_VALUE);
    }
    int flags = O_CLOEXEC;
    if (attributes & FILE_FLAG_OPEN_REPARSE_POINT)
        flags |= O_NOFOLLOW;
    if ((access & GENERIC_READ) && (access & GENERIC_WRITE))
        flags |= O_RDWR;
    else if (access & GENERIC_WRITE)
        flags |= O_WRONLY;
    else
        flags |= O_RDONLY;
    if (disposition == CREATE_ALWAYS)
        flags |= O_CREAT | O_TRUNC;
    else if (disposition == OPEN_ALWAYS)
        flags |= O_CREAT;
    else if (disposition != OPEN_EXISTING)
        return INVALID_HANDLE_VALUE;
    const int fd = open(name.c_str(), flags, 0666);
    return fd < 0 ? Failed(INVALID_HANDLE_VALUE) : FromFd(fd);
}

BOOL CloseHandle(HANDLE h)
{
    return close(Fd(h)) == 0;
}

BOOL WriteFile(HANDLE h, const void* data, DWORD size, DWORD* written, void*)
{
    const char* from = static_cast<const char*>(data);
    DWORD done = 0;
    while (done < size) {
        const ssize_t n = write(Fd(h), from + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<DWORD>(n);
    }
    if (written)
        *written = done;
    return done == size;
}

BOOL ReadFile(HANDLE h, void* data, DWORD size, DWORD* got, void*)
{
    ssize_t n;
    do
        n = read(Fd(h), data, size);
    while (n < 0 && errno == EINTR);
    if (got)
        *got = n < 0 ? 0 : static_cast<DWORD>(n);
    return n >= 0;
}

DWORD SetFilePointer(HANDLE h, LONG distance, LONG* distanceHigh, DWORD method)
{
    // Without the high half the distance is a signed 32-bit number; with it, the
    // two halves make one signed 64-bit distance.
    off_t offset = distance;
    if (distanceHigh)
        offset = static_cast<off_t>((static_cast<std::uint64_t>(static_cast<std::uint32_t>(*distanceHigh)) << 32) |
                                    static_cast<std::uint32_t>(distance));
    int whence;
    switch (method) {
    case FILE_BEGIN: whence = SEEK_SET; break;
    case FILE_CURRENT: whence = SEEK_CUR; break;
    case FILE_END: whence = SEEK_END; break;
    default: return INVALID_SET_FILE_POINTER;
    }
    const off_t at = lseek(Fd(h), offset, whence);
    if (at < 0)
        return INVALID_SET_FILE_POINTER;
    if (distanceHigh)
        *distanceHigh = static_cast<LONG>(static_cast<std::uint64_t>(at) >> 32);
    return static_cast<DWORD>(at);
}

BOOL SetEndOfFile(HANDLE h)
{
    const off_t at = lseek(Fd(h), 0, SEEK_CUR);
    return at >= 0 && ftruncate(Fd(h), at) == 0;
}

DWORD GetFileSize(HANDLE h, DWORD* sizeHigh)
{
    struct stat st;
    if (fstat(Fd(h), &st) != 0)
        return INVALID_FILE_SIZE;
    if (sizeHigh)
        *sizeHigh = static_cast<DWORD>(static_cast<std::uint64_t>(st.st_size) >> 32);
    return static_cast<DWORD>(st.st_size);
}

BOOL GetFileSizeEx(HANDLE h, LARGE_INTEGER* size)
{
    struct stat st;
    if (fstat(Fd(h), &st) != 0)
        return FALSE;
    size->QuadPart = st.st_size;
    return TRUE;
}

BOOL GetFileInformationByHandle(HANDLE h, BY_HANDLE_FILE_INFORMATION* info)
{
    struct stat st;
    if (fstat(Fd(h), &st) != 0)
        return Failed(FALSE);
    info->dwFileAttributes = S_ISDIR(st.st_mode)   ? FILE_ATTRIBUTE_DIRECTORY
                             : S_ISREG(st.st_mode) ? FILE_ATTRIBUTE_NORMAL
                                                   : FILE_ATTRIBUTE_DEVICE;
    info->nNumberOfLinks = static_cast<DWORD>(st.st_nlink);
    return TRUE;
}

DWORD GetLastError()
{
    return g_lastError;
}

void SetLastError(DWORD error)
{
    g_lastError = error;
}

void Sleep(DWORD ms)
{
    usleep(static_cast<useconds_t>(ms) * 1000);
}

BOOL MoveFileExW(const WCHAR* wideFrom, const WCHAR* wideTo, DWORD)
{
    std::string from, to;
    if (!AsciiName(wideFrom, from) || !AsciiName(wideTo, to)) {
        errno = EINVAL;
        return Failed(FALSE);
    }
    return rename(from.c_str(), to.c_str()) == 0 ? TRUE : Failed(FALSE);
}

BOOL FlushFileBuffers(HANDLE h)
{
    return fsync(Fd(h)) == 0;
}

void GetLocalTime(SYSTEMTIME* time)
{
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    tm local;
    localtime_r(&now.tv_sec, &local);
    time->wYear = static_cast<WORD>(local.tm_year + 1900);
    time->wMonth = static_cast<WORD>(local.tm_mon + 1);
    time->wDayOfWeek = static_cast<WORD>(local.tm_wday);
    time->wDay = static_cast<WORD>(local.tm_mday);
    time->wHour = static_cast<WORD>(local.tm_hour);
    time->wMinute = static_cast<WORD>(local.tm_min);
    time->wSecond = static_cast<WORD>(local.tm_sec);
    time->wMilliseconds = static_cast<WORD>(now.tv_nsec / 1000000);
}
