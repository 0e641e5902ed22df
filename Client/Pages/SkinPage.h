// CSkinPage: a page of the main window: a skinned child dialog laid out for the skin and drawn on
// its background bitmap (0 for none).
#pragma once

#include "BitmapDialog.h"

class CSkinPage : public CBitmapDialog
{
public:
    CSkinPage(UINT templateId, UINT backgroundId) : CBitmapDialog(templateId), m_nBackgroundId(backgroundId) {}

    // Creates the page as a hidden child of `parent`.
    BOOL CreatePage(CWnd* parent) { return Create(m_nIDTemplate, parent); }
    BOOL OnInitDialog() override;

private:
    UINT m_nBackgroundId;
};
