#include "app/StartFolder.h"

#include "framework/Cp949.h"
#include "framework/ScopedHandle.h"

#include <sddl.h>

namespace {

// Rights that let a holder put a file into a folder, replace or move one, or
// take the folder over ("File Access Rights Constants").
const ACCESS_MASK kFolderWrite = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                                 WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
// The same for the files made in it, which inherit the folder's grants.
const ACCESS_MASK kFileWrite =
    FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

bool IsWellKnown(PSID sid, WELL_KNOWN_SID_TYPE type)
{
    BYTE known[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof known;
    return ::CreateWellKnownSid(type, nullptr, known, &size) && ::EqualSid(sid, known);
}

// `path` equals `folder` or lies below it.
bool Within(const std::wstring& path, std::wstring folder)
{
    while (!folder.empty() && folder.back() == L'\\')
        folder.pop_back();
    if (folder.empty() || path.size() < folder.size() ||
        ::CompareStringOrdinal(path.c_str(), static_cast<int>(folder.size()), folder.c_str(),
                               static_cast<int>(folder.size()), TRUE) != CSTR_EQUAL)
        return false;
    return path.size() == folder.size() || path[folder.size()] == L'\\';
}

} // namespace

bool TrustedSid(PSID sid, PSID user)
{
    if (!sid || !::IsValidSid(sid))
        return false;
    if (user && ::EqualSid(sid, user))
        return true;
    for (WELL_KNOWN_SID_TYPE type :
         {WinLocalSystemSid, WinBuiltinAdministratorsSid, WinCreatorOwnerSid, WinCreatorOwnerRightsSid})
        if (IsWellKnown(sid, type))
            return true;
    return false;
}

std::string SystemFolderProblem(const std::wstring& folder, const std::vector<std::wstring>& systemFolders)
{
    for (const std::wstring& system : systemFolders)
        if (Within(folder, system))
            return "[" + Narrow(folder) + "] is a system folder, in [" + Narrow(system) + "]";
    return std::string();
}

std::wstring HomeIn(const std::wstring& folder, const std::vector<std::wstring>& sharedRoots)
{
    for (const std::wstring& root : sharedRoots)
        if (Within(folder, root) && Within(root, folder))
            return root + L"\\Lumaro";
    return folder;
}

std::string OtherWriter(PSID owner, PACL dacl, PSID user)
{
    // The owner may always rewrite the access list.
    if (!TrustedSid(owner, user))
        return "owner " + SidText(owner);
    if (!dacl)
        return "everyone";
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!::GetAce(dacl, i, &ace))
            continue;
        const ACE_HEADER* header = static_cast<const ACE_HEADER*>(ace);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue;
        ACCESS_ALLOWED_ACE* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        PSID sid = &allowed->SidStart;
        if (TrustedSid(sid, user))
            continue;
        const bool onFolder = !(header->AceFlags & INHERIT_ONLY_ACE);
        const bool onFiles = (header->AceFlags & OBJECT_INHERIT_ACE) != 0;
        if ((onFolder && (allowed->Mask & kFolderWrite)) || (onFiles && (allowed->Mask & kFileWrite)))
            return SidText(sid);
    }
    return std::string();
}

std::string SidText(PSID sid)
{
    char* text = nullptr;
    if (!sid || !::ConvertSidToStringSidA(sid, &text))
        return "an unreadable SID";
    ScopedLocal owned(text);
    return text;
}
