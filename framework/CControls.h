#pragma once
// The framework's control classes: a control is a CWnd attached to a dialog's
// BUTTON or STATIC by subclassing.
#include "framework/CWnd.h"

class CButton : public CWnd {};
class CStatic : public CWnd {};
