#pragma once
// What the notice window does with each event of its worker, apart from the
// window: every way the fetch can end without a notice ends the process.

enum class NoticeStep {
    SendRequest,   // connected: send the request
    Show,          // the notice has arrived
    End,           // the fetch is over without a notice: end quietly
    CommandError,  // a code the notice worker never sends: say so, then end
};

NoticeStep NoticeEventStep(int type);
