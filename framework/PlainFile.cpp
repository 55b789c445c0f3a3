#include "framework/PlainFile.h"

#include "framework/FileInUse.h"
#include "framework/Format.h"

FileKind JudgeFile(const BY_HANDLE_FILE_INFORMATION& info)
{
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return FileKind::ReparsePoint;
    if (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))
        return FileKind::NotAFile;
    if (info.nNumberOfLinks != 1)
        return FileKind::ManyLinks;
    return FileKind::Plain;
}

PlainFileOutcome CheckPlainFile(HANDLE file)
{
    PlainFileOutcome outcome;
    BY_HANDLE_FILE_INFORMATION info = {};
    if (!GetFileInformationByHandle(file, &info)) {
        outcome.error = GetLastError();
        // A file whose kind cannot be told is not taken for a plain one.
        if (outcome.error == 0)
            outcome.error = ERROR_INVALID_FUNCTION;
        return outcome;
    }
    outcome.kind = JudgeFile(info);
    outcome.links = info.nNumberOfLinks;
    return outcome;
}

namespace {

HANDLE OpenPlain(const wchar_t* path, DWORD access, DWORD share, DWORD disposition, bool empty,
                 PlainFileOutcome& outcome)
{
    outcome = PlainFileOutcome();
    HANDLE file = CreateFileW(path, access | FILE_READ_ATTRIBUTES, share, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        outcome.error = GetLastError();
        return INVALID_HANDLE_VALUE;
    }
    outcome = CheckPlainFile(file);
    if (!outcome.Opened()) {
        CloseHandle(file);
        return INVALID_HANDLE_VALUE;
    }
    if (empty) {
        SetFilePointer(file, 0, nullptr, FILE_BEGIN);
        SetEndOfFile(file);
    }
    return file;
}

HANDLE OpenPlainWhenFree(const wchar_t* path, DWORD access, DWORD share, DWORD disposition, bool empty,
                         PlainFileOutcome& outcome)
{
    return RetryWhileInUse(
        [&] {
            HANDLE file = OpenPlain(path, access, share, disposition, empty, outcome);
            ::SetLastError(outcome.error);
            return file;
        },
        INVALID_HANDLE_VALUE);
}

} // namespace

HANDLE OpenPlainFile(const wchar_t* path, DWORD access, DWORD share, bool empty, PlainFileOutcome& outcome)
{
    // OPEN_ALWAYS, not CREATE_ALWAYS: emptying on open would already have cut
    // the file that a planted hard link shares its data with.
    return OpenPlain(path, access, share, OPEN_ALWAYS, empty, outcome);
}

HANDLE OpenPlainFileWhenFree(const wchar_t* path, DWORD access, DWORD share, bool empty, PlainFileOutcome& outcome)
{
    return OpenPlainWhenFree(path, access, share, OPEN_ALWAYS, empty, outcome);
}

HANDLE OpenExistingPlainFile(const wchar_t* path, DWORD access, DWORD share, PlainFileOutcome& outcome)
{
    return OpenPlainWhenFree(path, access, share, OPEN_EXISTING, false, outcome);
}

std::string DescribeRefusal(const PlainFileOutcome& outcome)
{
    if (outcome.error != 0)
        return StrFormat("rc=%lu", static_cast<unsigned long>(outcome.error));
    switch (outcome.kind) {
    case FileKind::ReparsePoint: return "a reparse point";
    case FileKind::ManyLinks: return StrFormat("%lu links", static_cast<unsigned long>(outcome.links));
    case FileKind::NotAFile: return "not a file";
    case FileKind::Plain: break;
    }
    return "a plain file";
}
