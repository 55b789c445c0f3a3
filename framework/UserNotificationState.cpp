#include "framework/UserNotificationState.h"

namespace {
// QUNS_APP, which the headers of a Windows 7 build leave out.
const QUERY_USER_NOTIFICATION_STATE kStoreAppRunning = static_cast<QUERY_USER_NOTIFICATION_STATE>(7);
}

QUERY_USER_NOTIFICATION_STATE UserNotificationState()
{
    QUERY_USER_NOTIFICATION_STATE state = QUNS_ACCEPTS_NOTIFICATIONS;
    if (FAILED(::SHQueryUserNotificationState(&state)))
        return QUNS_ACCEPTS_NOTIFICATIONS;
    return state;
}

bool HoldsBalloonsBack(QUERY_USER_NOTIFICATION_STATE state, bool respectsQuietTime)
{
    if (state == QUNS_QUIET_TIME)
        return respectsQuietTime;
    // The screen saver, a locked machine or another user's session count as
    // away: nobody sees a balloon then either.
    return state == QUNS_NOT_PRESENT || BusyFullScreen(state);
}

bool BusyFullScreen(QUERY_USER_NOTIFICATION_STATE state)
{
    return state == QUNS_BUSY || state == QUNS_RUNNING_D3D_FULL_SCREEN || state == QUNS_PRESENTATION_MODE ||
           state == kStoreAppRunning;
}
