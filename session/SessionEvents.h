#pragma once
// The SessionMessage types: what a worker's receive ends with, and what its
// window acts on.

// A receive round that ends in no event: the worker reads on.
constexpr int kNoEvent = 0;

// SessionMessage type codes (dwData of the WM_COPYDATA record).
constexpr int kEvtConnected = 10;
constexpr int kEvtSocketCreateFailed = 11;
constexpr int kEvtConnectFailed = 12;
constexpr int kEvtUsernamePrompt = 14;
constexpr int kEvtPasswordPrompt = 15;
constexpr int kEvtLoginAccepted = 16;          // "Welcome!" seen
constexpr int kEvtAnswerCaptured = 17;
constexpr int kEvtSummaryComplete = 18;
constexpr int kEvtAuthComplete = 19;
constexpr int kEvtClosed = 20;
constexpr int kEvtReceiveFailed = 21;
constexpr int kEvtUnknownOutcome = 22;
constexpr int kEvtCaptureOpenFailed = 23;
constexpr int kEvtNoticeTimeout = 25;
constexpr int kEvtNoticeBody = 100;

// Largest payload a window accepts in one SessionMessage.
constexpr unsigned kMaxEventPayload = 4096;
