#include "app/ProdletDoc.h"

IMPLEMENT_DYNCREATE(CProdletDoc)

BOOL CProdletDoc::OnNewDocument()
{
    if (!CDocument::OnNewDocument())
        return FALSE;
    // The program lives in the notification area: a new document starts hidden.
    if (CWinApp* pApp = AfxGetApp())
        pApp->m_nCmdShow = SW_HIDE;
    return TRUE;
}

void CProdletDoc::Serialize(CArchive& ar)
{
    // The document keeps no data: nothing is written or read either way.
    (void)ar;
}
