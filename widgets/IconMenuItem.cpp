#include "widgets/IconMenuItem.h"

#include "widgets/IconMenu.h"

IconMenuItem::~IconMenuItem()
{
    if (m_imageList && m_imageList != IconMenu::sharedImageList())
        ImageList_Destroy(m_imageList);
}
