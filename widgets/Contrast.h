#pragma once
// Windows' high-contrast mode. With it on, the user has chosen the colours
// every window must use: the controls then draw in the system's pair of
// button text on button face, the one foreground and background that the
// contrast theme guarantees to tell apart, instead of their own colours and
// textures. The choice is a pure function of the setting and the colours.
#include <windows.h>

struct SystemColours {
    COLORREF buttonFace;
    COLORREF buttonText;

    static SystemColours Current();
};

struct ControlLook {
    COLORREF text;
    COLORREF face;
    // A plain face in a one-pixel frame of the text colour instead of the
    // control's own background, texture and shading: without them a button
    // would lose its edge against the dialog's face.
    bool plainFramed;
};

// SPI_GETHIGHCONTRAST's HCF_HIGHCONTRASTON.
bool HighContrastOn();

// What makes a control take its colours and the setting again: new system
// colours, or the contrast setting turned on or off.
bool IsContrastChange(UINT msg, WPARAM wParam);

// A label's own text colour on the button face, or the system's pair.
// Labels have no frame.
ControlLook LabelLook(bool highContrast, COLORREF ownText, const SystemColours& system);

// A button's own colours and background, or the system's pair, framed.
ControlLook ButtonLook(bool highContrast, COLORREF ownText, COLORREF ownFace, const SystemColours& system);
