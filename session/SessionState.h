#pragma once
// The main window's session states; the worker reads them too, to learn that
// the window waits for the end of an answer.
enum SessionState {
    kStateConnecting = 0,
    kStateReconnecting = 1,
    kStateLoggedIn = 10,
    kStateSummaryRequested = 20,
    kStateSummaryArriving = 21,
    kStateAuthRequested = 30,
    kStateAuthArriving = 31,
    kStateTimeKnown = 40,
};
