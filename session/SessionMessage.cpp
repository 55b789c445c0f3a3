#include "session/SessionMessage.h"

#include "framework/Format.h"
#include "framework/MessageBox.h"

namespace {
const char kNoPayload[1] = "";
}

COPYDATASTRUCT MakeSessionMessage(int type, const char* data, int length)
{
    COPYDATASTRUCT record;
    record.dwData = static_cast<ULONG_PTR>(type);
    record.cbData = static_cast<DWORD>((data ? length : 0) + 1);
    record.lpData = const_cast<char*>(data ? data : kNoPayload);
    return record;
}

bool SessionMessageLengthOk(const COPYDATASTRUCT& record)
{
    return static_cast<DWORD>(record.cbData - 1) <= kMaxEventPayload;
}

std::string DataLenFailedText(const COPYDATASTRUCT& record)
{
    return StrFormat("OnCopyData()  data_len failed. type[%d] len[%d]", static_cast<int>(record.dwData),
                     static_cast<int>(record.cbData - 1));
}

bool AcceptSessionMessage(const COPYDATASTRUCT& record, std::string& msg)
{
    if (SessionMessageLengthOk(record))
        return true;
    msg = DataLenFailedText(record);
    AfxMessageBox(msg.c_str());
    return false;
}
