#pragma once
// The canary that -fstack-protector-strong checks before a protected function
// returns, and what happens when the check fails, are the program's own
// (StackGuard.cpp) rather than the toolchain's libssp: libssp seeds its canary
// in a static constructor through CryptoAPI, which on Windows loads
// cryptsp.dll and rsaenh.dll before the program can restrict the DLL search,
// and takes a fixed canary when that fails.
#include <cstddef>

// Fills `size` bytes from the system's random generator: BCryptGenRandom, or
// RtlGenRandom where bcrypt.dll cannot give them, both taken from the system
// folder. False when neither could.
bool DrawSystemRandom(void* buffer, std::size_t size);

// Gives the canary its value for this run. Call it once, after the DLL search
// is restricted and before any protected function is entered that returns
// after it: a frame that was live across the change would fail its check.
// So the caller and the code that runs it are built without the protector.
void SeedStackGuard();
