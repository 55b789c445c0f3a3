#pragma once
// The WM_COPYDATA record in which a session worker reports each event to its
// window: type code, payload length plus one, payload followed by a NUL.
#include <windows.h>

#include <string>

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
