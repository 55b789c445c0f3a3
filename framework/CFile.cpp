#include "framework/CFile.h"

#include "framework/FileInUse.h"
#include "framework/Format.h"
#include "framework/MessageBox.h"

BOOL CFile::Remove(const char* path)
{
    if (DeleteFileWhenFree(path))
        return TRUE;
    DWORD err = ::GetLastError();
    AfxMessageBox(StrFormat("%s 파일을 삭제할 수 없습니다. (오류 %lu)", path, err).c_str(), MB_OK | MB_ICONEXCLAMATION);
    return FALSE;
}

BOOL CFile::Exists(const char* path)
{
    return ::GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}
