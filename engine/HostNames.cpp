// The host-name list: the combo box's entries, stored as ComboName0, 1, ...
// without gaps and ComboNameSel for the selection.
#include "engine/ProdletView.h"

#include "engine/ViewSettings.h"

static CString ComboNameKey(int nIndex) { return AfxFormat("ComboName%d", nIndex); }

void CProdletView::LoadHostNames()
{
    m_cbHostNames.ResetContent();
    for (int i = 0;; ++i) {
        CString strName = ReadSettingString(ComboNameKey(i).c_str(), "");
        if (strName.empty())
            break;
        m_cbHostNames.AddString(strName);
    }
    if (m_cbHostNames.GetCount() == 0) {
        for (const char* pszName : g_aszDefaultHostNames)
            m_cbHostNames.AddString(pszName);
    }

    m_nHostSel = ReadSettingInt("ComboNameSel", 0);
    if (m_nHostSel < m_cbHostNames.GetCount()) {
        // A negative stored index selects nothing and leaves the field empty.
        m_cbHostNames.SetCurSel(m_nHostSel < 0 ? -1 : m_nHostSel);
    } else {
        m_cbHostNames.SetCurSel(0);
        m_nHostSel = 0;
    }
    m_strCurrentHost = m_cbHostNames.GetWindowText();
}

void CProdletView::SaveHostNames(const CString& strHost)
{
    WriteSettingString("Often", m_strOften);

    int nCount = m_cbHostNames.GetCount();
    for (int i = 0; i < nCount; ++i) {
        CString strName;
        m_cbHostNames.GetLBText(i, strName);
        WriteSettingString(ComboNameKey(i).c_str(), strName);
    }

    m_strCurrentHost = strHost;

    if (m_cbHostNames.FindStringExact(-1, strHost) < 0) {
        int nIndex = m_cbHostNames.AddString(strHost);
        m_cbHostNames.SetCurSel(nIndex);
        WriteSettingString(ComboNameKey(m_cbHostNames.GetCount() - 1).c_str(), strHost);
    }

    m_nHostSel = m_cbHostNames.FindStringExact(-1, strHost);
    m_cbHostNames.SetCurSel(m_nHostSel);
    WriteSettingInt("ComboNameSel", m_nHostSel);
}
