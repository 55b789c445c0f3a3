#pragma once
// The day on which the user last closed the notice with "오늘 이 창을 다시
// 열지 않음" ticked. It is kept under HKEY_LOCAL_MACHINE\Software\Pelmor,
// value "date"; where Windows refuses a user that write (no registry
// virtualization for a 64-bit build or one whose manifest asks for an
// execution level), under the same path in HKEY_CURRENT_USER.
#include <windows.h>

#include <string>

extern const char kNoticeRegistryPath[];
extern const char kNoticeRegistryValue[];

struct NoticeDateRoots {
    HKEY machine;
    HKEY user;
};
const NoticeDateRoots kNoticeDateRoots = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};

// True when either place holds `today` (the machine's first).
bool NoticeDeclinedOn(const NoticeDateRoots& roots, const std::string& today);
// Stores `today` in the machine's place, else in the user's; false when
// neither takes it.
bool StoreNoticeDate(const NoticeDateRoots& roots, const std::string& today);
