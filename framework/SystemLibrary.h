#pragma once
// DLLs of the Windows system folder, loaded when first needed and never from
// the program's own folder. Users keep lumaro.exe where anyone may write
// (Downloads, a shared folder), and Windows looks for a DLL that is not one
// of its KnownDLLs beside the program first: a planted version.dll there
// would run as whoever starts the monitor. So the program imports only
// KnownDLLs and takes every other library through this.
#include <windows.h>

// Leaves only the system folder in the process's DLL search. Called from the
// program's TLS callback (framework/AppMain.cpp), before anything of the
// program or of its runtime can load a library by name; it loads nothing
// itself, since it runs under the loader lock.
void RestrictDllSearchToSystemFolder();

class SystemLibrary {
public:
    // `fileName` is a plain name such as "version.dll".
    explicit SystemLibrary(const char* fileName);
    SystemLibrary(const SystemLibrary&) = delete;
    SystemLibrary& operator=(const SystemLibrary&) = delete;

    bool IsLoaded() const { return m_module != nullptr; }

    // The export `name` as a function of type Fn (e.g. decltype(&::PlaySoundA)),
    // or null when the library or the function is missing: each caller then
    // answers as the function would when it fails.
    template <class Fn>
    Fn Find(const char* name) const
    {
        return m_module ? reinterpret_cast<Fn>(::GetProcAddress(m_module, name)) : nullptr;
    }

private:
    // Never freed: image lists, tooltip windows and their classes may live
    // until the static destructors at exit, and so must the code behind them,
    // just as with a load-time import.
    HMODULE m_module;
};
