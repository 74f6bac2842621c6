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
    // Stored as one batch, in the order the values were always written: on
    // every successful probe this costs one pass over the list and at most
    // one write of the settings file, however long the list is.
    std::vector<std::pair<CString, CString>> values;
    int nCount = m_cbHostNames.GetCount();
    values.reserve(static_cast<size_t>(nCount) + 3);
    values.emplace_back("Often", m_strOften);
    for (int i = 0; i < nCount; ++i) {
        CString strName;
        m_cbHostNames.GetLBText(i, strName);
        values.emplace_back(ComboNameKey(i), strName);
    }

    m_strCurrentHost = strHost;

    // The first match from the top, or the new last entry.
    m_nHostSel = m_cbHostNames.FindStringExact(-1, strHost);
    if (m_nHostSel < 0) {
        m_nHostSel = m_cbHostNames.AddString(strHost);
        values.emplace_back(ComboNameKey(m_cbHostNames.GetCount() - 1), strHost);
    }
    m_cbHostNames.SetCurSel(m_nHostSel);
    values.emplace_back("ComboNameSel", AfxFormat("%d", m_nHostSel));
    WriteSettingStrings(values);
}
