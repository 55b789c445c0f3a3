// Built without the stack protector (framework/CMakeLists.txt): the seeding
// changes the canary under its own frame, and the failure path must not
// check a canary again on a stack known to be smashed.
#include "framework/StackGuard.h"

#include "framework/SystemLibrary.h"

#include <bcrypt.h>
#include <cstdint>

extern "C" {
// Zero until SeedStackGuard runs at the entry point; nothing protected runs
// before that but the DLL search restriction, which returns before the seed.
std::uintptr_t __stack_chk_guard;

// The process ends here and now, with no handler or destructor run on a
// stack that an attacker may have written: a fast fail (Windows 8 on) never
// reaches the process's own exception handlers; before that, terminating
// the process itself does not return either.
[[noreturn]] void __stack_chk_fail()
{
    if (::IsProcessorFeaturePresent(PF_FASTFAIL_AVAILABLE))
        asm volatile("int $0x29" : : "c"(FAST_FAIL_STACK_COOKIE_CHECK_FAILURE) : "memory");
    ::TerminateProcess(::GetCurrentProcess(), STATUS_STACK_BUFFER_OVERRUN);
    for (;;) {
    }
}
}

namespace {
// advapi32 exports RtlGenRandom under this name only, without an import library.
using RtlGenRandomFn = BOOLEAN(WINAPI*)(PVOID, ULONG);

// Only for a system whose generator failed: what differs from run to run
// without one, as compilers' own stack cookies take it.
std::uintptr_t RunDependentMix()
{
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    std::uint64_t mix = (std::uint64_t{now.dwHighDateTime} << 32 | now.dwLowDateTime) ^
                        static_cast<std::uint64_t>(counter.QuadPart) ^ std::uint64_t{::GetCurrentProcessId()} << 32 ^
                        ::GetCurrentThreadId() ^ reinterpret_cast<std::uintptr_t>(&now);
    return static_cast<std::uintptr_t>(mix ^ mix >> 32);
}
}

bool DrawSystemRandom(void* buffer, std::size_t size)
{
    const ULONG length = static_cast<ULONG>(size);
    SystemLibrary bcrypt("bcrypt.dll");
    if (auto generate = bcrypt.Find<decltype(&::BCryptGenRandom)>("BCryptGenRandom")) {
        if (BCRYPT_SUCCESS(generate(nullptr, static_cast<PUCHAR>(buffer), length, BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
            return true;
    }
    // Windows 7 and later forward this export to cryptbase.dll, which the
    // restricted search then also takes from the system folder.
    SystemLibrary advapi32("advapi32.dll");
    auto generate = advapi32.Find<RtlGenRandomFn>("SystemFunction036");
    return generate && generate(buffer, length);
}

void SeedStackGuard()
{
    std::uintptr_t value = 0;
    if (!DrawSystemRandom(&value, sizeof value) || value == 0)
        value = RunDependentMix();
    __stack_chk_guard = value;
}
