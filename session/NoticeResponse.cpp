#include "session/NoticeResponse.h"

int NoticeBodyOffset(const char* block, int length)
{
    for (int i = 0; i + 4 <= length; ++i) {
        if (block[i] == '\r' && block[i + 1] == '\n' && block[i + 2] == '\r' && block[i + 3] == '\n')
            return i + 4 < length ? i + 4 : -1;
    }
    return -1;
}
