#include "ui/EditNamesDlg.h"

#include "framework/WinApp.h"
#include "res/resource.h"
#include "settings/RegistrySettings.h"

#include <algorithm>
#include <cctype>

namespace {

constexpr const char* kSettingsSection = "Settings";

CString ComboNameKey(int nIndex) { return AfxFormat("ComboName%d", nIndex); }

// Host names are one entry when their whole texts match, letter case ignored.
bool SameHostName(const CString& strA, const CString& strB)
{
    return std::equal(strA.begin(), strA.end(), strB.begin(), strB.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
    });
}

CString ReadSettingString(const CString& strName)
{
    CRegistrySettings* pStore = GetAppSettings();
    return pStore ? pStore->ReadString(kSettingsSection, strName.c_str(), "") : CString();
}

// Write results are not looked at: the view reloads whatever the store holds.
void WriteSettingString(const CString& strName, const CString& strValue)
{
    if (CRegistrySettings* pStore = GetAppSettings())
        pStore->WriteString(kSettingsSection, strName.c_str(), strValue.c_str());
}

void WriteSettingInt(const CString& strName, int nValue)
{
    if (CRegistrySettings* pStore = GetAppSettings())
        pStore->WriteInt(kSettingsSection, strName.c_str(), nValue);
}

}  // namespace

BEGIN_MESSAGE_MAP(CEditNamesDlg, CDialog)
    ON_BN_CLICKED(IDC_DELETE_SELECTION, &CEditNamesDlg::OnDeleteSelection)
    ON_BN_CLICKED(IDC_RESTORE_DEFAULT, &CEditNamesDlg::OnRestoreDefault)
END_MESSAGE_MAP()

CEditNamesDlg::CEditNamesDlg(CWnd* pParent) : CDialog(IDD_EDIT_NAMES, pParent) {}

void CEditNamesDlg::DoDataExchange(CDataExchange* pDX)
{
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_NAMES_LIST, m_listNames);
    DDX_LBString(pDX, IDC_NAMES_LIST, m_strName);
}

BOOL CEditNamesDlg::OnInitDialog()
{
    // Exchanges m_strName into the list while it is still empty: nothing is
    // selected by that.
    CDialog::OnInitDialog();

    // The list to copy is the combo box of the main window's view.
    auto* pFrame = dynamic_cast<CFrameWnd*>(AfxGetMainWnd());
    if (CView* pView = pFrame ? pFrame->GetActiveView() : nullptr) {
        CDataExchange dx(pView, FALSE);
        DDX_Control(&dx, IDC_HOSTNAMES, m_cbViewNames);
    }
    m_astrOpenedWith.clear();
    for (int i = 0; i < m_cbViewNames.GetCount(); ++i) {
        CString strName;
        m_cbViewNames.GetLBText(i, strName);
        m_listNames.AddString(strName);
        m_astrOpenedWith.push_back(strName);
    }
    m_listNames.SetCurSel(m_listNames.FindStringExact(-1, m_strName));
    return TRUE;
}

void CEditNamesDlg::OnDeleteSelection()
{
    const int nSel = m_listNames.GetCurSel();
    if (nSel < 0)
        return;
    m_listNames.DeleteString(nSel);
    m_listNames.SetCurSel(-1);
}

void CEditNamesDlg::OnRestoreDefault()
{
    m_listNames.ResetContent();
    for (const char* pszName : g_aszDefaultHostNames)
        m_listNames.AddString(pszName);
}

// A host that connected while the dialog was open has joined the view's list
// and the store; writing only the copy taken on opening would drop it again.
void CEditNamesDlg::AppendNamesGainedMeanwhile()
{
    for (int i = 0; i < m_cbViewNames.GetCount(); ++i) {
        CString strName;
        m_cbViewNames.GetLBText(i, strName);
        const bool bGained = std::none_of(m_astrOpenedWith.begin(), m_astrOpenedWith.end(),
                                          [&](const CString& str) { return SameHostName(str, strName); });
        if (bGained && m_listNames.FindStringExact(-1, strName) < 0)
            m_listNames.AddString(strName);
    }
}

void CEditNamesDlg::OnOK()
{
    AppendNamesGainedMeanwhile();

    const int nCount = m_listNames.GetCount();
    for (int i = 0; i < nCount; ++i) {
        CString strName;
        m_listNames.GetText(i, strName);
        WriteSettingString(ComboNameKey(i), strName);
    }
    // A shorter list blanks the stored entries behind its end: loading stops
    // at the first empty one. They are emptied, not deleted.
    for (int i = nCount;; ++i) {
        const CString strKey = ComboNameKey(i);
        if (ReadSettingString(strKey).empty())
            break;
        WriteSettingString(strKey, "");
    }

    // The selection follows the name that was current on opening; if it was
    // deleted, the first entry takes over.
    int nSel = m_listNames.FindStringExact(-1, m_strName);
    if (nSel < 0)
        nSel = 0;
    m_listNames.SetCurSel(nSel);
    WriteSettingInt("ComboNameSel", nSel);

    CDialog::OnOK();
}
