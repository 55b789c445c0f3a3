#include "session/SessionMessage.h"

#include "framework/Format.h"
#include "framework/MessageBox.h"

#include <cstring>

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

void InFlightRecord::Publish(const COPYDATASTRUCT& record, std::string_view captured)
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_record = &record;
    m_captured = captured;
    ++m_send;
}

void InFlightRecord::Withdraw()
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_record = nullptr;
    m_captured = {};
}

bool InFlightRecord::Take(const COPYDATASTRUCT& record, std::string_view& captured)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_record || m_taken == m_send)
        return false;
    const COPYDATASTRUCT& sent = *m_record;
    if (record.dwData != sent.dwData || record.cbData != sent.cbData)
        return false;
    if (sent.cbData && (!record.lpData || std::memcmp(record.lpData, sent.lpData, sent.cbData) != 0))
        return false;
    m_taken = m_send;
    captured = m_captured;
    return true;
}
