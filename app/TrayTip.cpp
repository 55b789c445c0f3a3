#include "app/TrayTip.h"

#include "app/DurationFormat.h"
#include "framework/Format.h"

std::string TrayTipText(int state, int retryCount, int rTime, int elapsed)
{
    switch (state) {
    case 0:
        return "Admin서버에 접속 시도중...";
    case 1:
        return StrFormat("Admin서버에 재접속(%d) 시도중... ", retryCount);
    case 10:
        return "Admin서버 로그인 완료";
    case 20:
        return "#show summary 요청 성공";
    case 21:
    case 22:
    case 23:
        return "show summary 정보 수신중...";
    case 30:
        return "#show auth 요청 성공";
    case 31:
    case 32:
    case 33:
        return "show auth 정보 수신중...";
    case 40: {
        int left = rTime - elapsed;
        if (rTime > 0 && left >= 0)
            return "[남은시간] " + FormatDuration(left);
        return std::string();
    }
    default:
        return "NONE";
    }
}
