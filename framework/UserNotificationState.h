#pragma once
// What Windows lets a notification do right now: the user may be away, in a
// full-screen program, a game or a presentation, or in the quiet time of a
// first sign-in. In those states a balloon is held back, and a window that
// comes by itself must not cover what the user is doing.
#include <windows.h>
#include <shellapi.h>

// SHQueryUserNotificationState; QUNS_ACCEPTS_NOTIFICATIONS where Windows
// cannot say.
QUERY_USER_NOTIFICATION_STATE UserNotificationState();

// Windows does not show a balloon in this state; in quiet time only one
// that asks to respect it (NIIF_RESPECT_QUIET_TIME).
bool HoldsBalloonsBack(QUERY_USER_NOTIFICATION_STATE state, bool respectsQuietTime);

// The user is in a full-screen program, a game or a presentation (or, on
// Windows 8, a Store app, which covers the desktop).
bool BusyFullScreen(QUERY_USER_NOTIFICATION_STATE state);
