// The main window's reading of the captured answers: the user's link from
// "show summary", the session time from "show auth".
#include "app/LumaroApp.h"
#include "app/LumaroDialog.h"
#include "framework/CFile.h"
#include "framework/Format.h"
#include "session/CThreadSockTelnet.h"
#include "session/ResultParser.h"
#include "session/SessionState.h"

#include <cstdio>
#include <functional>
#include <vector>

namespace {
// Reads the capture file in text mode, so that CR LF is one line end, a line
// at a time: nothing of it is held beyond the current line.
bool ScanCapture(const std::string& path, const std::function<bool(const std::string&)>& onLine)
{
    FILE* f = std::fopen(path.c_str(), "rt");
    if (!f)
        return false;
    ForEachTextLine(f, onLine);
    std::fclose(f);
    return true;
}

void FlushLog(LogFile& log, std::vector<ParseLogLine>& lines)
{
    for (const ParseLogLine& line : lines)
        log.Write(line.level, line.text.c_str());
    lines.clear();
}
}

bool LumaroDialog::DeleteResultFile()
{
    if (!CFile::Exists(m_resultPath.c_str()))
        return true;
    return CFile::Remove(m_resultPath.c_str()) != FALSE;
}

void LumaroDialog::ParseSummary()
{
    SummaryScan scan;
    bool read = ScanCapture(m_resultPath, [this, &scan](const std::string& line) {
        ScanSummaryLine(scan, line, theApp.m_user);
        FlushLog(m_log, scan.log);
        return true;
    });
    if (!read) {
        m_msg = StrFormat("file[#show summary result] open failed, path[%s]", m_resultPath.c_str());
        m_log.Write(kLogError, m_msg.c_str());
        return;
    }
    if (scan.link.empty()) {
        m_msg = StrFormat("해당 user[%s]의 Link 정보를 찾을 수 없음", theApp.m_user.c_str());
        m_log.Write(kLogError, m_msg.c_str());
        return;
    }
    if (!DeleteResultFile())
        return;

    if (!m_pThread) {
        m_log.Write(kLogError, "Thread NULL[#link]");
        return;
    }
    std::string command = "link " + scan.link + "\n";
    int ret = m_pThread->Send(command.data(), static_cast<int>(command.size()));
    if (ret <= 0) {
        m_log.Write(kLogError, StrFormat("send[link] failed, ret=%d", ret).c_str());
        return;
    }
    m_log.Write(kLogFlow, StrFormat("Link [%s] succ", scan.link.c_str()).c_str());

    if (!m_pThread) {
        m_log.Write(kLogError, "Thread NULL[#show auth]");
        return;
    }
    // Sent straight after the link command: its answer lands in front of the
    // auth answer, and the auth parse skips it.
    static const char kShowAuth[] = "show auth\n";
    ret = m_pThread->Send(kShowAuth, sizeof kShowAuth - 1);
    if (ret > 0) {
        m_log.Write(kLogFlow, "cmd[show auth] send succ");
        m_state = kStateAuthRequested;
    } else {
        m_log.Write(kLogError, StrFormat("send[show auth] failed, ret=%d", ret).c_str());
    }
}

void LumaroDialog::ParseAuth()
{
    AuthScan scan{theApp.m_rTime, {}, false};
    bool read = ScanCapture(m_resultPath, [this, &scan](const std::string& line) {
        bool more = ScanAuthLine(scan, line);
        theApp.m_rTime = scan.rTime;
        FlushLog(m_log, scan.log);
        return more;
    });
    if (!read) {
        m_msg = StrFormat("file[#show auth result] open failed, path[%s]", m_resultPath.c_str());
        m_log.Write(kLogError, m_msg.c_str());
        return;
    }
    if (scan.valueMissing)
        return;
    if (theApp.m_rTime == -1) {
        m_log.Write(kLogError, "잔여시간 파싱2 실패");
        return;
    }
    m_state = kStateTimeKnown;
    if (m_pThread) {
        static const char kExit[] = "exit\n";
        m_pThread->Send(kExit, sizeof kExit - 1);
    }
}
