#pragma once
// The codes that travel between the session client, its worker thread and the
// windows: what one receive round ended with, and the SessionMessage types.

// What RecvFrame / RecvFrame_notice report to RunSession.
constexpr int kOutcomeClosed = 0;              // the server closed, or there is no socket
constexpr int kOutcomeNoticeTimeout = 7;       // notice mode: 10 seconds without data
constexpr int kOutcomeCaptureOpenFailed = 8;   // the result capture file cannot be opened
constexpr int kOutcomeReceiveFailed = 9;
constexpr int kOutcomeEmptyText = 11;          // login phase, nothing left of the frame
constexpr int kOutcomeUsernamePrompt = 12;
constexpr int kOutcomePasswordPrompt = 13;
constexpr int kOutcomeWelcome = 14;
constexpr int kOutcomeCaptured = 15;           // a frame was appended to the capture file
constexpr int kOutcomeSummaryComplete = 16;    // quiet while the window's state is 21
constexpr int kOutcomeAuthComplete = 17;       // quiet while the window's state is 31
constexpr int kOutcomeNoticeDelivered = 100;   // event 100 already sent

// ClassifyLoginText's answer for a login frame that holds none of the prompts:
// RecvFrame then goes on reading, so it is never returned to RunSession.
constexpr int kLoginTextNoPrompt = 0;

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
