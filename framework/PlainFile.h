#pragma once
// Opening a file the program writes in a folder that others may write too
// (the monitor's home folder is wherever it was started): the name must not
// lead the writes into another file. A symbolic link or junction (a reparse
// point) would send them where its maker chose, a hard link planted under
// the name would have them land in the file it shares its data with.
#include <windows.h>

#include <string>

enum class FileKind {
    Plain,         // an ordinary file with one name
    ReparsePoint,  // a symbolic link, junction or other reparse point
    ManyLinks,     // one of several names of the same file
    NotAFile,      // a directory or a device
};

// The verdict on what GetFileInformationByHandle says of an open handle.
FileKind JudgeFile(const BY_HANDLE_FILE_INFORMATION& info);

struct PlainFileOutcome {
    DWORD error = 0;  // the open's or the query's error; 0 when opened or refused by kind
    FileKind kind = FileKind::Plain;
    DWORD links = 0;
    bool Opened() const { return error == 0 && kind == FileKind::Plain; }
};

// The check for a handle already open: it must have been opened with
// FILE_FLAG_OPEN_REPARSE_POINT (else a link has been followed and the check
// sees its target) and with FILE_READ_ATTRIBUTES among its rights, which
// GENERIC_WRITE alone does not give.
PlainFileOutcome CheckPlainFile(HANDLE file);

// Opens `path` (created when missing, never emptied before the check) with
// `access` and `share`, and keeps it only when it is a plain file; `empty`
// then cuts it to nothing. Returns the handle, or INVALID_HANDLE_VALUE with
// the reason in `outcome`.
HANDLE OpenPlainFile(const wchar_t* path, DWORD access, DWORD share, bool empty, PlainFileOutcome& outcome);
// The same, tried again while another program holds the file (FileInUse.h).
HANDLE OpenPlainFileWhenFree(const wchar_t* path, DWORD access, DWORD share, bool empty, PlainFileOutcome& outcome);
// An existing file only, never created, tried again while another program
// holds it; ERROR_FILE_NOT_FOUND in `outcome` when there is none.
HANDLE OpenExistingPlainFile(const wchar_t* path, DWORD access, DWORD share, PlainFileOutcome& outcome);

// "rc=5", "a reparse point", "3 links", "not a file": why an open did not
// give a plain file.
std::string DescribeRefusal(const PlainFileOutcome& outcome);
