#pragma once
// Where the notice begins in the first block of an HTTP answer.

// Offset of the body bytes that follow the end of the head (an empty line,
// CR LF CR LF) inside the block, or -1 when the block holds no body bytes
// after a complete head: the notice is then the next block.
int NoticeBodyOffset(const char* block, int length);
