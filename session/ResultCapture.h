#pragma once
// How much of a frame still fits in the result capture file. The real
// answers are a few kB; a server that streams without a pause must not fill
// the disk, so the file stops growing at a fixed size.
#include <cstdint>

const uint64_t kCaptureLimitBytes = 1024 * 1024;

// Bytes of an `incoming` frame to append to a capture of `fileSize` bytes.
uint64_t CaptureRoom(uint64_t fileSize, uint64_t incoming, uint64_t limit = kCaptureLimitBytes);
