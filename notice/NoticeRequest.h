#pragma once
// The notice's HTTP request and the date text kept in the registry.
#include <windows.h>

#include <string>

// The seven lines of the request for `host`, as one piece.
std::string BuildNoticeRequest(const std::string& host);
// "%04d-%02d-%02d" of the given local date.
std::string NoticeDateText(const SYSTEMTIME& t);
// The second blank-separated token of the notice command line, or empty.
std::string NoticeHostFromCommand(const std::string& command);
