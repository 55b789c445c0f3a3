#include "session/SessionEvents.h"

std::optional<SessionEvent> SessionEventOfType(uint32_t type)
{
    using E = SessionEvent;
    switch (static_cast<int32_t>(type)) {
    case TypeOf(E::Connected): case TypeOf(E::SocketCreateFailed): case TypeOf(E::ConnectFailed):
    case TypeOf(E::UsernamePrompt): case TypeOf(E::PasswordPrompt): case TypeOf(E::LoginAccepted):
    case TypeOf(E::AnswerCaptured): case TypeOf(E::SummaryComplete): case TypeOf(E::AuthComplete):
    case TypeOf(E::Closed): case TypeOf(E::ReceiveFailed): case TypeOf(E::UnknownOutcome):
    case TypeOf(E::CaptureOpenFailed): case TypeOf(E::NoticeTimeout): case TypeOf(E::NoticeBody):
        return static_cast<SessionEvent>(type);
    default:
        return std::nullopt;
    }
}

bool EndsConversation(SessionEvent event)
{
    switch (event) {
    case SessionEvent::Closed:
    case SessionEvent::ReceiveFailed:
    case SessionEvent::UnknownOutcome:
    case SessionEvent::CaptureOpenFailed:
    case SessionEvent::NoticeTimeout:
    case SessionEvent::NoticeBody:
    case SessionEvent::SocketCreateFailed:
    case SessionEvent::ConnectFailed:
        return true;
    case SessionEvent::Connected:
    case SessionEvent::UsernamePrompt:
    case SessionEvent::PasswordPrompt:
    case SessionEvent::LoginAccepted:
    case SessionEvent::AnswerCaptured:
    case SessionEvent::SummaryComplete:
    case SessionEvent::AuthComplete:
        return false;
    }
    return true;
}
