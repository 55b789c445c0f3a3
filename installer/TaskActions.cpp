// The package's custom actions: RegisterConnectTask makes the connect-time
// task when the package is installed with VPNNAME, RemoveConnectTask deletes
// it when the product is removed (not when a newer version replaces it).
// Both run deferred, as LocalSystem, which may register a task for the
// group Users; what they need comes in CustomActionData. What they do goes
// into the installer's log.
#include "installer/ConnectTask.h"

#include <windows.h>
#include <msi.h>
#include <msiquery.h>
#include <oleauto.h>
#include <taskschd.h>

#include <cstdio>
#include <string>

namespace {

const wchar_t kTaskName[] = L"Lumaro";
const int kTaskTemplateId = 1;  // RCDATA: docs/deploy/lumaro-task.xml

// The text goes in as a field, not as the template, and holds no brackets:
// the installer takes those for properties.
void Log(MSIHANDLE install, const std::wstring& text)
{
    PMSIHANDLE record = MsiCreateRecord(1);
    MsiRecordSetStringW(record, 0, L"Lumaro: [1]");
    MsiRecordSetStringW(record, 1, text.c_str());
    MsiProcessMessage(install, INSTALLMESSAGE_INFO, record);
}

std::wstring Failure(const char* step, HRESULT hr)
{
    wchar_t text[160];
    swprintf(text, 160, L"%hs failed, hr=0x%08lX", step, static_cast<unsigned long>(hr));
    return text;
}

std::wstring CustomActionData(MSIHANDLE install)
{
    DWORD size = 0;
    wchar_t none[1] = L"";
    if (MsiGetPropertyW(install, L"CustomActionData", none, &size) != ERROR_MORE_DATA)
        return {};
    std::wstring value(++size, L'\0');
    if (MsiGetPropertyW(install, L"CustomActionData", &value[0], &size) != ERROR_SUCCESS)
        return {};
    value.resize(size);
    return value;
}

// The task template, UTF-16 as Task Scheduler keeps it, without its byte-order mark.
std::wstring TaskTemplate()
{
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&TaskTemplate), &self);
    HRSRC found = FindResourceW(self, MAKEINTRESOURCEW(kTaskTemplateId), MAKEINTRESOURCEW(10));  // RT_RCDATA
    HGLOBAL loaded = found ? LoadResource(self, found) : nullptr;
    const wchar_t* text = loaded ? static_cast<const wchar_t*>(LockResource(loaded)) : nullptr;
    if (!text)
        return {};
    std::wstring xml(text, SizeofResource(self, found) / sizeof(wchar_t));
    if (!xml.empty() && xml[0] == 0xFEFF)
        xml.erase(0, 1);
    return xml;
}

template <class T>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() { if (m_p) m_p->Release(); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    T* operator->() const { return m_p; }
    T** Out() { return &m_p; }
private:
    T* m_p = nullptr;
};

class Bstr {
public:
    explicit Bstr(const std::wstring& text) : m_b(SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {}
    ~Bstr() { SysFreeString(m_b); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    operator BSTR() const { return m_b; }
private:
    BSTR m_b;
};

// COM for this thread as long as it lives; a thread the installer already
// set up keeps its own model.
class ComApartment {
public:
    ComApartment() : m_hr(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ComApartment() { if (SUCCEEDED(m_hr)) CoUninitialize(); }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    HRESULT Result() const { return m_hr == RPC_E_CHANGED_MODE ? S_OK : m_hr; }
private:
    HRESULT m_hr;
};

// The root folder of this machine's Task Scheduler; empty text when open,
// else what failed.
std::wstring OpenRootFolder(ComRef<ITaskService>& service, ComRef<ITaskFolder>& root)
{
    HRESULT hr = CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                  reinterpret_cast<void**>(service.Out()));
    if (FAILED(hr))
        return Failure("creating the Task Scheduler object", hr);
    VARIANT none;
    VariantInit(&none);
    if (FAILED(hr = service->Connect(none, none, none, none)))
        return Failure("connecting to Task Scheduler", hr);
    if (FAILED(hr = service->GetFolder(Bstr(L"\\"), root.Out())))
        return Failure("opening the root task folder", hr);
    return {};
}

}  // namespace

// CustomActionData: the installed program's path, '|', the value of VPNNAME.
extern "C" UINT __stdcall RegisterConnectTask(MSIHANDLE install)
{
    std::wstring data = CustomActionData(install);
    size_t bar = data.find(L'|');
    std::wstring program = data.substr(0, bar);
    std::wstring connection = bar == std::wstring::npos ? L"" : data.substr(bar + 1);
    if (connection.empty()) {
        Log(install, L"VPNNAME is not set: the connect-time task is not registered "
                     L"(a task Lumaro already there is left as it is)");
        return ERROR_SUCCESS;
    }
    std::string why;
    std::wstring xml = ConnectTaskXml(TaskTemplate(), program, connection, why);
    if (xml.empty()) {
        Log(install, L"the task Lumaro is not registered: " + std::wstring(why.begin(), why.end()));
        return ERROR_INSTALL_FAILURE;
    }
    ComApartment com;
    if (FAILED(com.Result())) {
        Log(install, L"the task Lumaro is not registered: " + Failure("starting COM", com.Result()));
        return ERROR_INSTALL_FAILURE;
    }
    ComRef<ITaskService> service;
    ComRef<ITaskFolder> root;
    std::wstring failed = OpenRootFolder(service, root);
    ComRef<IRegisteredTask> task;
    VARIANT none;
    VariantInit(&none);
    HRESULT hr = S_OK;
    if (failed.empty() && FAILED(hr = root->RegisterTask(Bstr(kTaskName), Bstr(xml), TASK_CREATE_OR_UPDATE, none,
                                                         none, TASK_LOGON_GROUP, none, task.Out())))
        failed = Failure("registering", hr);
    if (!failed.empty()) {
        Log(install, L"the task Lumaro is not registered: " + failed);
        return ERROR_INSTALL_FAILURE;
    }
    Log(install, L"registered the task Lumaro: \"" + program + L"\" at each connect of \"" + connection + L"\"");
    return ERROR_SUCCESS;
}

// A task that cannot be deleted does not hold up the removal: its program
// is gone, so it can start nothing; the log says so.
extern "C" UINT __stdcall RemoveConnectTask(MSIHANDLE install)
{
    ComApartment com;
    ComRef<ITaskService> service;
    ComRef<ITaskFolder> root;
    std::wstring failed = FAILED(com.Result()) ? Failure("starting COM", com.Result()) : OpenRootFolder(service, root);
    HRESULT hr = S_OK;
    if (failed.empty()) {
        hr = root->DeleteTask(Bstr(kTaskName), 0);
        if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) {
            Log(install, L"there is no task Lumaro to delete");
            return ERROR_SUCCESS;
        }
        if (FAILED(hr))
            failed = Failure("deleting", hr);
    }
    Log(install, failed.empty() ? L"deleted the task Lumaro"
                                : L"the task Lumaro was not deleted (delete it with schtasks /delete /tn Lumaro /f): " +
                                      failed);
    return ERROR_SUCCESS;
}
