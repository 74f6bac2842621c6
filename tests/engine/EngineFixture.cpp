#include "tests/engine/EngineFixture.h"

#include "framework/Resources.h"
#include "platform/Registry.h"

void EngineTest::SetUp()
{
    AfxSetResources(&ProdletResources());
    m_pSettings = std::make_unique<CRegistrySettings>();
    HKEY hKey = 0;
    DWORD dwDisposition = 0;
    ASSERT_TRUE(m_pSettings->CreateBaseKey(hKey, dwDisposition, HKEY_LOCAL_MACHINE, "Software\\Quorvane Software\\Prodlet"));
    RegCloseKey(hKey);
    SetAppSettings(m_pSettings.get());

    AfxSetMessageBoxHook([this](const CString& strCaption, const CString& strText, UINT nType) {
        m_boxes.push_back({strCaption, strText, nType});
        return IDOK;
    });
    AfxSetNotifyIconHook([this](DWORD dwMessage, const NOTIFYICONDATA& nid) {
        m_tray.push_back({dwMessage, nid.uFlags, nid.uID, nid.szTip, nid.hIcon});
        return dwMessage == NIM_ADD ? m_bTrayAvailable : TRUE;
    });
}

void EngineTest::TearDown()
{
    TearDownView();
    AfxSetNotifyIconHook(nullptr);
    AfxSetMessageBoxHook(nullptr);
    SetAppSettings(nullptr);
}

void EngineTest::Store(const char* pszName, const std::string& strValue)
{
    m_pSettings->WriteString("Settings", pszName, strValue.c_str());
}

std::string EngineTest::Stored(const char* pszName, const char* pszDefault)
{
    return m_pSettings->ReadString("Settings", pszName, pszDefault);
}

CProdletView& EngineTest::MakeView()
{
    TearDownView();
    m_pFrame = new CFrameWnd;
    m_pFrame->CreateBare("Prodlet", CRect{100, 100, 400, 400});
    m_pView = new CProdletView;
    m_pView->Create(m_pFrame);
    m_pFrame->SetActiveView(m_pView);
    m_pView->OnInitialUpdate();
    return *m_pView;
}

void EngineTest::TearDownView()
{
    if (!m_pFrame)
        return;
    m_pFrame->DestroyWindow();
    delete m_pView;
    delete m_pFrame;
    m_pView = nullptr;
    m_pFrame = nullptr;
}

void EngineTest::StartCounting(const std::string& strLocal, const std::string& strHostAddr)
{
    const size_t nLookups = m_net.m_lookups.size();
    m_pView->OnStart();
    if (m_net.m_lookups.size() > nLookups && m_net.m_lookups.back().nMsg == WM_LOCAL_RESOLVED)
        m_net.AnswerLastLookup({strLocal});
    if (!m_pView->HasTimer(IDT_TICK) && !m_net.m_lookups.empty() && m_net.m_lookups.back().nMsg == WM_HOST_RESOLVED)
        m_net.AnswerLastLookup({strHostAddr});
}

CWnd& EngineTest::Item(int nID)
{
    CWnd* pItem = m_pView ? m_pView->GetDlgItem(nID) : nullptr;
    if (pItem == nullptr)
        throw std::runtime_error("the view has no control " + std::to_string(nID));
    return *pItem;
}

void EngineTest::TypeIntervalAndStart(const std::string& strText)
{
    OftenEdit().SetWindowText(strText);
    const size_t nLookups = m_net.m_lookups.size();
    PressStart();
    if (m_net.m_lookups.size() > nLookups && m_net.m_lookups.back().nMsg == WM_LOCAL_RESOLVED)
        m_net.AnswerLastLookup({"10.1.2.3"});
}

void EngineTest::Tick(int nTimes)
{
    for (int i = 0; i < nTimes; ++i)
        m_pView->SendMessage(WM_TIMER, IDT_TICK, 0);
}

HICON EngineTest::LastIcon() const
{
    for (auto it = m_tray.rbegin(); it != m_tray.rend(); ++it)
        if (it->dwMessage != NIM_DELETE && (it->uFlags & NIF_ICON))
            return it->hIcon;
    return nullptr;
}

std::string EngineTest::LastTip() const
{
    for (auto it = m_tray.rbegin(); it != m_tray.rend(); ++it)
        if (it->dwMessage != NIM_DELETE && (it->uFlags & NIF_TIP))
            return it->strTip;
    return "";
}
