#include "notice/NoticeConversation.h"

#include "session/SessionEvents.h"

NoticeStep NoticeEventStep(int type)
{
    switch (type) {
    case kEvtConnected:
        return NoticeStep::SendRequest;
    case kEvtNoticeBody:
        return NoticeStep::Show;
    case kEvtSocketCreateFailed:
    case kEvtConnectFailed:
    case kEvtReceiveFailed:
    case kEvtUnknownOutcome:
    case kEvtNoticeTimeout:
    // A server that closes before any notice leaves nothing to wait for.
    case kEvtClosed:
        return NoticeStep::End;
    default:
        return NoticeStep::CommandError;
    }
}
