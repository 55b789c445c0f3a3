#pragma once
// The conversation's states, kept by its state machine; the worker reads
// them too, to learn that an answer is awaited and may end at a silence.
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
