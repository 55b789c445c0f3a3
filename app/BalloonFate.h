#pragma once
// Whether the user can have seen a balloon of the icon, from what Windows
// said of it, and what follows for the dialog it goes with. Windows queues
// balloons and tells the icon's window when one shows (NIN_BALLOONSHOW) and
// how it went: timed out, clicked, or hidden, which before it was shown
// means it never will be (quiet time); a balloon it would not show at all
// (the user away, in a full-screen program, a game or a presentation) is
// known beforehand from the notification state.
#include <windows.h>
#include <shellapi.h>

enum class BalloonFate {
    None,      // no balloon sent
    Sent,      // in the shell's hands, not known to show yet
    Withheld,  // not shown, and not to be
    Showing,   // on the screen now
    Over,      // was shown, or clicked, and has gone
};

// The fate of a balloon just handed to the shell: `accepted` is the shell's
// answer, `state` the notification state when it was sent.
BalloonFate BalloonSent(bool accepted, QUERY_USER_NOTIFICATION_STATE state, bool respectsQuietTime);

// After one of the icon's events; events other than the balloon's leave it.
BalloonFate BalloonAfter(BalloonFate fate, LPARAM event);

// A dialog that closes itself after a countdown counts down only once it can
// have been seen: its balloon was not withheld, or the user has activated it.
bool CountdownRuns(BalloonFate fate, bool activated);
