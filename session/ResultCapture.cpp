#include "session/ResultCapture.h"

uint64_t CaptureRoom(uint64_t fileSize, uint64_t incoming, uint64_t limit)
{
    if (fileSize >= limit)
        return 0;
    uint64_t room = limit - fileSize;
    return incoming < room ? incoming : room;
}
