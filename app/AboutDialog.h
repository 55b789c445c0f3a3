#pragma once
#include "framework/CDialog.h"
#include "framework/ScopedHandle.h"

#include <string>

class AboutDialog : public CDialog {
public:
    AboutDialog();

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* dx) override;

private:
    // The template's "굴림" comes with Korean Windows only; elsewhere the
    // box takes the Korean UI font every Windows has, as the other windows do.
    void UseKoreanUiFontWhereGulimIsMissing();

    std::string m_versionText;
    ScopedGdiObj<HFONT> m_fallbackFont;
};
