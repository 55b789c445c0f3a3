#include "session/TrafficLog.h"

#include "framework/Format.h"
#include "log/LogFile.h"

void TrafficLog::Attach(LogFile* log)
{
    std::lock_guard<std::mutex> hold(m_lock);
    m_log = log;
}

template <class Entry>
void TrafficLog::Counted(Entry entry)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (!m_log)
        return;
    if (m_used >= m_budget) {
        ++m_dropped;
        return;
    }
    // The entry that crosses the budget is written whole: a line or a dump is never cut.
    m_used += entry(*m_log);
}

void TrafficLog::Write(int level, const std::string& text)
{
    Counted([&](LogFile& log) { return log.Write(level, text.c_str()); });
}

void TrafficLog::Dump(int direction, const char* data, int length)
{
    Counted([&](LogFile& log) { return log.DumpTraffic(direction, data, length); });
}

void TrafficLog::WriteOwn(int level, const std::string& text)
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_log)
        m_log->Write(level, text.c_str());
}

void TrafficLog::Close()
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_closed || !m_log || m_dropped == 0)
        return;
    m_closed = true;
    m_log->Write(kLogWarn, StrFormat("%u log entries of this connection left out: its %u bytes of log were used",
                                     static_cast<unsigned>(m_dropped), static_cast<unsigned>(m_budget))
                               .c_str());
}
