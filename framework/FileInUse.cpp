#include "framework/FileInUse.h"

bool FileInUseError(DWORD error)
{
    // A name pending deletion answers with access denied until its last
    // handle closes.
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED ||
           error == ERROR_DELETE_PENDING;
}
