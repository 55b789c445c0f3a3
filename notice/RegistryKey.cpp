#include "notice/RegistryKey.h"

bool RegistryKey::Open(HKEY root, const char* path, REGSAM access)
{
    Close();
    m_path = path ? path : "";
    HKEY key = nullptr;
    m_lastResult = ::RegOpenKeyExA(root, m_path.c_str(), 0, access, &key);
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
    m_lastResult = ::RegCreateKeyExA(root, m_path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                                     nullptr, &key, &disposition);
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
    char buffer[kRegistryStringBuffer + 1] = "";
    DWORD size = kRegistryStringBuffer;
    DWORD type = 0;
    m_lastResult = ::RegQueryValueExA(m_hKey, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    m_lastType = type;
    m_lastSize = size;
    if (m_lastResult != ERROR_SUCCESS)
        return false;
    // A value stored without its terminating NUL still ends inside the buffer.
    buffer[size < kRegistryStringBuffer ? size : kRegistryStringBuffer] = '\0';
    value = buffer;
    return true;
}

bool RegistryKey::WriteString(const char* name, const std::string& value)
{
    if (!m_opened)
        return false;
    m_lastResult = ::RegSetValueExA(m_hKey, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                    static_cast<DWORD>(value.size() + 1));
    return m_lastResult == ERROR_SUCCESS;
}

void RegistryKey::Close()
{
    if (m_opened && m_hKey)
        ::RegCloseKey(m_hKey);
    m_opened = false;
    m_hKey = nullptr;
}
