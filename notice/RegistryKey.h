#pragma once
// One open registry key, closed when the object goes. Names and values are
// CP949 here and UTF-16 in the registry, which keeps every REG_SZ as UTF-16
// whichever form of the call wrote it: a value the ANSI calls stored reads
// back the same.
#include <windows.h>

#include <string>

class RegistryKey {
public:
    explicit RegistryKey(HKEY root) : m_hKey(root) {}
    virtual ~RegistryKey() { Close(); }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // Opened for reading unless told otherwise: a standard user may read
    // HKEY_LOCAL_MACHINE but not ask for all access to it.
    bool Open(HKEY root, const char* path, REGSAM access = KEY_READ);
    // Creates the key, or opens it when it exists, for reading and writing.
    bool Create(HKEY root, const char* path);
    // Values longer than the buffer's 200 characters are refused; `value` is
    // then unchanged. m_lastSize is in bytes, as the registry counts.
    bool ReadString(const char* name, std::string& value);
    bool WriteString(const char* name, const std::string& value);
    void Close();

    LONG m_lastResult = ERROR_SUCCESS;
    DWORD m_lastType = 0;
    DWORD m_lastSize = 0;

private:
    HKEY m_hKey;
    bool m_opened = false;  // only a key this object opened is closed by it
    std::string m_path;
};

const int kRegistryStringBuffer = 200;
