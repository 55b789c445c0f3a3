#pragma once
// The settings of one run, filled by the start sequence before the main
// window exists and read by every subsystem through the application object.
#include <windows.h>

#include <cstdint>
#include <string>

#include "session/CSockTelnet.h"

struct SessionConfig {
    std::string m_SvcName;               // the VPN connection's name
    int32_t m_nPort = kAdminPort;
    std::string m_adminId;
    std::string m_adminPw;
    std::string m_user;                  // user name followed by one TAB
    SYSTEMTIME m_startTime{};
    int64_t m_tStart = 0;                // the same moment, seconds since 1970 (UnixTime.h)
    std::string m_version;
};
