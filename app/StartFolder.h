#pragma once
// Whether the folder a monitor was started in is the user's own, fit to hold
// the log and the capture, which name the console's users: not the Windows
// folder or a Program Files folder (a task without a start folder runs in the
// system folder, where an administrator's token may write and every user may
// read), not a folder where others may write or have planted a file. The
// rules judge what the system says of the folder and its files; they read
// SIDs and access lists but ask the system nothing about the machine.
#include <windows.h>

#include <string>
#include <vector>

// The user, SYSTEM or Administrators, who may write the user's own folders
// anyway; Creator Owner and Owner Rights stand for the owner, who is judged
// by himself.
bool TrustedSid(PSID sid, PSID user);

// Why `folder` is no home: it is or lies in one of `systemFolders`. Paths as
// GetFinalPathNameByHandle gives them, compared without case, name by name;
// empty when it is no system folder.
std::string SystemFolderProblem(const std::wstring& folder, const std::vector<std::wstring>& systemFolders);

// Where a monitor started in `folder` keeps its files: a folder that holds
// every program's data (the user's profile, its application-data folders,
// `sharedRoots`) gets the program's own folder in it, as a name like
// "result" there could be any program's; any other folder is itself.
std::wstring HomeIn(const std::wstring& folder, const std::vector<std::wstring>& sharedRoots);

// Who other than the trusted may write into a folder with this owner and
// access list, or into the files made in it: "owner" and the SID, the SID of
// the first such grant, or "everyone" when there is no access list at all.
// Empty when nobody. Denials are not counted: they cannot make a folder safe.
std::string OtherWriter(PSID owner, PACL dacl, PSID user);

// The SID as text, "S-1-5-32-545".
std::string SidText(PSID sid);
