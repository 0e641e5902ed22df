#include "SkinPage.h"

#include "DialogLayout.h"

BOOL CSkinPage::OnInitDialog()
{
    CBitmapDialog::OnInitDialog();
    FitDialogToSkin(this);
    if (m_nBackgroundId)
        SetBitmap(m_nBackgroundId);
    return TRUE;
}
