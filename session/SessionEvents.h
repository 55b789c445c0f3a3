#pragma once
// What a worker reports to its window, as the type code of the SessionMessage
// (dwData of the WM_COPYDATA record), and which conversation it runs.
#include <cstdint>
#include <optional>

enum class SessionEvent : int32_t {
    Connected = 10,
    SocketCreateFailed = 11,
    ConnectFailed = 12,
    UsernamePrompt = 14,
    PasswordPrompt = 15,
    LoginAccepted = 16,  // "Welcome!" seen
    AnswerCaptured = 17,
    SummaryComplete = 18,
    AuthComplete = 19,
    Closed = 20,
    ReceiveFailed = 21,
    UnknownOutcome = 22,
    CaptureOpenFailed = 23,
    NoticeTimeout = 25,
    NoticeBody = 100,
};

// The event of a record's type code; none for a code no worker sends (13,
// 24, anything outside the list), which the windows answer with their box.
std::optional<SessionEvent> SessionEventOfType(uint32_t type);

constexpr int32_t TypeOf(SessionEvent event)
{
    return static_cast<int32_t>(event);
}

// The events after which a worker has nothing more to say.
bool EndsConversation(SessionEvent event);

enum class SessionMode : int32_t {
    Session = 0,  // the administration server's console
    Notice = 1,   // the notice over HTTP
};

// Largest payload a window accepts in one SessionMessage.
constexpr unsigned kMaxEventPayload = 4096;
