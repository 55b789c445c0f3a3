#include "app/BalloonFate.h"

#include "framework/UserNotificationState.h"

BalloonFate BalloonSent(bool accepted, QUERY_USER_NOTIFICATION_STATE state, bool respectsQuietTime)
{
    if (!accepted || HoldsBalloonsBack(state, respectsQuietTime))
        return BalloonFate::Withheld;
    return BalloonFate::Sent;
}

BalloonFate BalloonAfter(BalloonFate fate, LPARAM event)
{
    if (fate == BalloonFate::None)
        return fate;
    switch (event) {
    case NIN_BALLOONSHOW:
        // Also one held back: Windows shows it once the user is back.
        return BalloonFate::Showing;
    case NIN_BALLOONUSERCLICK:
        return BalloonFate::Over;
    case NIN_BALLOONHIDE:
    case NIN_BALLOONTIMEOUT:
        // Gone before it was ever shown: the user has not seen it.
        return fate == BalloonFate::Showing || fate == BalloonFate::Over ? BalloonFate::Over : BalloonFate::Withheld;
    }
    return fate;
}

bool CountdownRuns(BalloonFate fate, bool activated)
{
    return activated || fate != BalloonFate::Withheld;
}
