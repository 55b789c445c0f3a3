#pragma once
// The connect-time task that the package registers: the task of
// docs/deploy/lumaro-task.xml, which is written for the connection "VPN" and
// the program under Program Files, made for the installed program and the
// connection the administrator names.
#include <string>

// The task's XML; empty, with `error` saying why, when the template lacks a
// part to fill in or the connection's name cannot go into the event query.
std::wstring ConnectTaskXml(const std::wstring& templateXml, const std::wstring& program,
                            const std::wstring& connection, std::string& error);
