#include "widgets/Contrast.h"

SystemColours SystemColours::Current()
{
    return SystemColours{::GetSysColor(COLOR_BTNFACE), ::GetSysColor(COLOR_BTNTEXT)};
}

bool HighContrastOn()
{
    HIGHCONTRASTW setting{};
    setting.cbSize = sizeof setting;
    return ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof setting, &setting, 0) &&
           (setting.dwFlags & HCF_HIGHCONTRASTON);
}

bool IsContrastChange(UINT msg, WPARAM wParam)
{
    return msg == WM_SYSCOLORCHANGE || (msg == WM_SETTINGCHANGE && wParam == SPI_SETHIGHCONTRAST);
}

ControlLook LabelLook(bool highContrast, COLORREF ownText, const SystemColours& system)
{
    return ControlLook{highContrast ? system.buttonText : ownText, system.buttonFace, false};
}

ControlLook ButtonLook(bool highContrast, COLORREF ownText, COLORREF ownFace, const SystemColours& system)
{
    if (highContrast)
        return ControlLook{system.buttonText, system.buttonFace, true};
    return ControlLook{ownText, ownFace, false};
}
