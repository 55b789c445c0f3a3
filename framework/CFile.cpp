#include "framework/CFile.h"

#include "framework/Cp949.h"
#include "framework/Format.h"
#include "framework/MessageBox.h"

void CFile::ReportRemoveFailure(const std::wstring& path, DWORD error)
{
    // The path as it is, whatever CP949 lacks of it.
    AfxMessageBox(path + Widen(StrFormat(" 파일을 삭제할 수 없습니다. (오류 %lu)", error)), MB_OK | MB_ICONEXCLAMATION);
}
