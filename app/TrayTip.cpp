#include "app/TrayTip.h"

#include "app/DurationFormat.h"
#include "framework/Format.h"
#include "session/SessionState.h"

std::string TrayTipText(int state, int retryCount, int rTime, int64_t elapsed)
{
    switch (state) {
    case kStateConnecting:
        return "Admin서버에 접속 시도중...";
    case kStateReconnecting:
        return StrFormat("Admin서버에 재접속(%d) 시도중... ", retryCount);
    case kStateLoggedIn:
        return "Admin서버 로그인 완료";
    case kStateSummaryRequested:
        return "#show summary 요청 성공";
    // Two more codes past each arriving state share its text; the
    // conversation never sets them.
    case kStateSummaryArriving:
    case kStateSummaryArriving + 1:
    case kStateSummaryArriving + 2:
        return "show summary 정보 수신중...";
    case kStateAuthRequested:
        return "#show auth 요청 성공";
    case kStateAuthArriving:
    case kStateAuthArriving + 1:
    case kStateAuthArriving + 2:
        return "show auth 정보 수신중...";
    case kStateTimeKnown: {
        int64_t left = rTime - elapsed;
        if (rTime > 0 && left >= 0)
            return "[남은시간] " + FormatDuration(left);
        return std::string();
    }
    default:
        return "NONE";
    }
}
