#include "framework/CFile.h"

#include "framework/Cp949.h"
#include "framework/FileInUse.h"
#include "framework/Format.h"
#include "framework/MessageBox.h"

BOOL CFile::Remove(const std::wstring& path)
{
    if (DeleteFileWhenFree(path.c_str()))
        return TRUE;
    DWORD err = ::GetLastError();
    // The path as it is, whatever CP949 lacks of it.
    AfxMessageBox(path + Widen(StrFormat(" 파일을 삭제할 수 없습니다. (오류 %lu)", err)), MB_OK | MB_ICONEXCLAMATION);
    return FALSE;
}

BOOL CFile::Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
