#include "notice/RegistryKey.h"

#include "framework/Cp949.h"

bool RegistryKey::Open(HKEY root, const char* path, REGSAM access)
{
    Close();
    m_path = path ? path : "";
    HKEY key = nullptr;
    m_lastResult = ::RegOpenKeyExW(root, Widen(m_path).c_str(), 0, access, &key);
    if (m_lastResult != ERROR_SUCCESS)
        return false;
    m_hKey = key;
    m_opened = true;
    return true;
}

bool RegistryKey::Create(HKEY root, const char* path)
{
    Close();
    m_path = path ? path : "";
    HKEY key = nullptr;
    DWORD disposition = 0;
    m_lastResult = ::RegCreateKeyExW(root, Widen(m_path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_READ | KEY_WRITE, nullptr, &key, &disposition);
    if (m_lastResult != ERROR_SUCCESS)
        return false;
    m_hKey = key;
    m_opened = true;
    return true;
}

bool RegistryKey::ReadString(const char* name, std::string& value)
{
    if (!m_opened)
        return false;
    wchar_t buffer[kRegistryStringBuffer + 1] = L"";
    DWORD size = kRegistryStringBuffer * sizeof(wchar_t);
    DWORD type = 0;
    m_lastResult = ::RegQueryValueExW(m_hKey, Widen(name ? name : "").c_str(), nullptr, &type,
                                      reinterpret_cast<BYTE*>(buffer), &size);
    m_lastType = type;
    m_lastSize = size;
    if (m_lastResult != ERROR_SUCCESS)
        return false;
    // A value stored without its terminating NUL still ends inside the buffer.
    const DWORD characters = size / sizeof(wchar_t);
    buffer[characters < kRegistryStringBuffer ? characters : kRegistryStringBuffer] = L'\0';
    value = Narrow(buffer);
    return true;
}

bool RegistryKey::WriteString(const char* name, const std::string& value)
{
    if (!m_opened)
        return false;
    const std::wstring text = Widen(value);
    m_lastResult = ::RegSetValueExW(m_hKey, Widen(name ? name : "").c_str(), 0, REG_SZ,
                                    reinterpret_cast<const BYTE*>(text.c_str()),
                                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    return m_lastResult == ERROR_SUCCESS;
}

void RegistryKey::Close()
{
    if (m_opened && m_hKey)
        ::RegCloseKey(m_hKey);
    m_opened = false;
    m_hKey = nullptr;
}
