#pragma once
// The image-list handle framework/ScopedHandle.h owns; declared, defined
// nowhere, like the other GUI calls in windows.h here.
#include <windows.h>

typedef struct _IMAGELIST* HIMAGELIST;
BOOL ImageList_Destroy(HIMAGELIST list);
