#include "notice/NoticeConversation.h"

#include "framework/Format.h"
#include "notice/NoticeRequest.h"
#include "session/SessionEvents.h"

void NoticeConversation::OnRecord(uint32_t type, std::string_view payload)
{
    const std::optional<SessionEvent> event = SessionEventOfType(type);
    if (event) {
        switch (*event) {
        case SessionEvent::Connected:
            if (m_transport.Send(BuildNoticeRequest(m_host)) <= 0)
                m_screen.EndQuietly();
            return;
        case SessionEvent::NoticeBody:
            // Shown as text, up to its first NUL.
            m_screen.ShowNotice(std::string(payload.substr(0, payload.find('\0'))));
            return;
        case SessionEvent::SocketCreateFailed:
        case SessionEvent::ConnectFailed:
        case SessionEvent::ReceiveFailed:
        case SessionEvent::UnknownOutcome:
        case SessionEvent::NoticeTimeout:
        // A server that closes before any notice leaves nothing to wait for.
        case SessionEvent::Closed:
            m_screen.EndQuietly();
            return;
        // Codes of the console's conversation, which the notice worker never sends.
        case SessionEvent::UsernamePrompt:
        case SessionEvent::PasswordPrompt:
        case SessionEvent::LoginAccepted:
        case SessionEvent::AnswerCaptured:
        case SessionEvent::SummaryComplete:
        case SessionEvent::AuthComplete:
        case SessionEvent::CaptureOpenFailed:
            break;
        }
    }
    m_screen.ShowBox(StrFormat("OnCopyData() command error. type=%d", static_cast<int>(type)));
    m_screen.EndQuietly();
}
