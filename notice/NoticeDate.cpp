#include "notice/NoticeDate.h"

#include "notice/RegistryKey.h"

const char kNoticeRegistryPath[] = "Software\\Pelmor";
const char kNoticeRegistryValue[] = "date";

namespace {

bool HoldsDate(HKEY root, const std::string& day)
{
    RegistryKey key(root);
    std::string stored;
    return key.Open(root, kNoticeRegistryPath) && key.ReadString(kNoticeRegistryValue, stored) && stored == day;
}

bool WriteDate(HKEY root, const std::string& day)
{
    RegistryKey key(root);
    return key.Create(root, kNoticeRegistryPath) && key.WriteString(kNoticeRegistryValue, day);
}

}  // namespace

bool NoticeDeclinedOn(const NoticeDateRoots& roots, const std::string& today)
{
    return HoldsDate(roots.machine, today) || HoldsDate(roots.user, today);
}

bool StoreNoticeDate(const NoticeDateRoots& roots, const std::string& today)
{
    return WriteDate(roots.machine, today) || WriteDate(roots.user, today);
}
