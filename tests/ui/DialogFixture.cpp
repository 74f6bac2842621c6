#include "tests/ui/DialogFixture.h"

#include "framework/Resources.h"
#include "platform/Registry.h"
#include "res/resource.h"

void DialogTest::SetUp()
{
    AfxSetResources(&ProdletResources());
    m_pSettings = std::make_unique<CRegistrySettings>();
    HKEY hKey = 0;
    DWORD dwDisposition = 0;
    ASSERT_TRUE(m_pSettings->CreateBaseKey(hKey, dwDisposition, HKEY_LOCAL_MACHINE, "Software\\Quorvane Software\\Prodlet"));
    RegCloseKey(hKey);
    SetAppSettings(m_pSettings.get());
}

void DialogTest::TearDown()
{
    m_app.m_pMainWnd = nullptr;
    if (m_pFrame) {
        m_pFrame->DestroyWindow();
        delete m_pView;
        delete m_pFrame;
    }
    SetAppSettings(nullptr);
}

void DialogTest::MakeMainView(const std::vector<std::string>& entries)
{
    m_pFrame = new CFrameWnd;
    ASSERT_TRUE(m_pFrame->CreateBare("Prodlet", CRect{100, 100, 400, 400}));
    m_pView = new CFormView(IDD_PRODLET_FORM);
    ASSERT_TRUE(m_pView->Create(m_pFrame));
    m_pFrame->SetActiveView(m_pView);
    m_app.m_pMainWnd = m_pFrame;
    CDataExchange dx(m_pView, FALSE);
    DDX_Control(&dx, IDC_HOSTNAMES, m_cbViewNames);
    for (const std::string& str : entries)
        m_cbViewNames.AddString(str);
}

void DialogTest::Store(const char* pszName, const std::string& strValue)
{
    m_pSettings->WriteString("Settings", pszName, strValue.c_str());
}

std::string DialogTest::Stored(const char* pszName, const char* pszDefault)
{
    return m_pSettings->ReadString("Settings", pszName, pszDefault);
}

std::vector<std::string> DialogTest::Entries(const CListBox& list)
{
    std::vector<std::string> entries;
    for (int i = 0; i < list.GetCount(); ++i) {
        CString str;
        list.GetText(i, str);
        entries.push_back(str);
    }
    return entries;
}
