#pragma once
// The WM_COPYDATA record in which a session worker reports each event to its
// window: type code, payload length plus one, payload followed by a NUL.
#include <windows.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "session/SessionEvents.h"

// The record for an event; `data` must stay valid, with a NUL after its
// `length` bytes, while the message is handled.
COPYDATASTRUCT MakeSessionMessage(int type, const char* data, int length);

// The receivers' check: a payload of at most 4096 bytes (a length field of
// 0 fails too, as length - 1 is taken unsigned).
bool SessionMessageLengthOk(const COPYDATASTRUCT& record);

// The text of the box that refuses a record failing that check.
std::string DataLenFailedText(const COPYDATASTRUCT& record);

// The check as both receiving windows make it: a record that fails it is
// refused with a message box (its text formatted into `msg`) and false.
bool AcceptSessionMessage(const COPYDATASTRUCT& record, std::string& msg);

// The record a worker is delivering right now, as its window recognises it.
// Windows hands a window a copy of a WM_COPYDATA record sent from another
// thread, at an address of its own, so a record is known by what it holds:
// its type, length and bytes. Each send is taken at most once, so neither a
// record delivered again nor one forged while nothing is being sent can
// make the window act. What the event's frame added to the capture travels
// beside the record: the window reads the answer from the bytes the worker
// received, never back from the file.
class InFlightRecord {
public:
    // The worker's side, around its SendMessage; `record`, its bytes and
    // `captured` stay valid until Withdraw.
    void Publish(const COPYDATASTRUCT& record, std::string_view captured = {});
    void Withdraw();
    // The window's side: true once per send, for a record equal to the one
    // in flight, whose captured bytes it then hands over.
    bool Take(const COPYDATASTRUCT& record, std::string_view& captured);

private:
    std::mutex m_lock;
    const COPYDATASTRUCT* m_record = nullptr;
    std::string_view m_captured;
    uint32_t m_send = 0;   // counts Publish calls
    uint32_t m_taken = 0;  // the send last taken
};
