// Handing targets to the desktop's opener, the beep, and help, which opens
// the application's help file the same way.
#include "framework/Resources.h"
#include "framework/Shell.h"
#include "framework/WinApp.h"
#include "framework/Wnd.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

class ShellExecuteTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        AfxSetShellExecuteHook([this](const CString& strUrl) {
            m_opened.push_back(strUrl);
            return m_bTaken;
        });
        AfxSetMessageBoxHook([this](const CString&, const CString& strText, UINT nType) {
            m_boxes.push_back(strText);
            m_nBoxType = nType;
            return IDOK;
        });
    }
    void TearDown() override
    {
        AfxSetMessageBoxHook(nullptr);
        AfxSetShellExecuteHook(nullptr);
        AfxSetMessageBeepHook(nullptr);
        AfxSetResources(nullptr);
    }

    static std::intptr_t Open(const char* pszFile, const char* pszVerb = "open", const char* pszDirectory = nullptr)
    {
        return reinterpret_cast<std::intptr_t>(ShellExecute(nullptr, pszVerb, pszFile, nullptr, pszDirectory, SW_SHOWNORMAL));
    }

    CTempDir m_dir;
    std::vector<CString> m_opened;
    std::vector<CString> m_boxes;
    UINT m_nBoxType = 0;
    BOOL m_bTaken = TRUE;
};

}  // namespace

// The display backend turns a switch of its own on while it starts; the
// programs the opener starts inherit our environment, and must not get it.
TEST_F(ShellExecuteTest, TheBackendsOwnSwitchesAreNotPassedOnToProgramsWeStart)
{
    std::ifstream start("/proc/self/environ", std::ios::binary);
    const std::string strStart((std::istreambuf_iterator<char>(start)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(strStart.empty());
    const std::string strName = "QT_XCB_NO_MITSHM";
    // As the process started, before the backend; a switch given there stands.
    const std::string strNul(1, '\0');
    const bool bGiven = (strNul + strStart).find(strNul + strName + "=") != std::string::npos;
    EXPECT_EQ(std::getenv(strName.c_str()) != nullptr, bGiven);
}

TEST_F(ShellExecuteTest, AddressesWithASchemeReachTheOpenerUnchanged)
{
    EXPECT_GT(Open("mailto:prodlet@example.com"), 32);
    EXPECT_GT(Open("https://www.example.com/prodlet?a=1&b=%20"), 32);
    EXPECT_GT(Open("mailto:x@example.com", nullptr), 32);  // no verb is "open"
    EXPECT_EQ(m_opened, (std::vector<CString>{"mailto:prodlet@example.com", "https://www.example.com/prodlet?a=1&b=%20",
                                              "mailto:x@example.com"}));
}

TEST_F(ShellExecuteTest, FilesMustExistAndGoAsFileAddresses)
{
    m_dir.Write("my manual.html", "<html></html>");
    EXPECT_GT(Open(m_dir.File("my manual.html").c_str()), 32);
    EXPECT_GT(Open("my manual.html", "open", m_dir.Path().c_str()), 32);
    const std::string strExpected = "file://" + std::filesystem::absolute(m_dir.Path()).lexically_normal().string() + "/my%20manual.html";
    ASSERT_EQ(m_opened.size(), 2u);
    // The temporary folder's own path needs no escaping.
    EXPECT_EQ(m_opened[0], strExpected);
    EXPECT_EQ(m_opened[1], strExpected);

    // A missing file never reaches the opener; nor does an empty target.
    EXPECT_EQ(Open(m_dir.File("missing.html").c_str()), SE_ERR_FNF);
    EXPECT_EQ(Open("someone@example.org"), SE_ERR_FNF);
    EXPECT_EQ(Open(""), SE_ERR_FNF);
    EXPECT_EQ(Open(nullptr), SE_ERR_FNF);
    EXPECT_EQ(m_opened.size(), 2u);
}

TEST_F(ShellExecuteTest, OnlyOpenIsOfferedAndARefusalIsAFailure)
{
    EXPECT_EQ(Open("https://www.example.com/", "print"), SE_ERR_NOASSOC);
    EXPECT_EQ(Open("https://www.example.com/", "edit"), SE_ERR_NOASSOC);
    EXPECT_TRUE(m_opened.empty());
    m_bTaken = FALSE;
    EXPECT_LE(Open("https://www.example.com/"), 32);
    EXPECT_EQ(m_opened.size(), 1u);
}

TEST_F(ShellExecuteTest, TheBeepGoesToItsHook)
{
    std::vector<UINT> beeps;
    AfxSetMessageBeepHook([&](UINT uType) { beeps.push_back(uType); });
    EXPECT_TRUE(MessageBeep(MB_OK));
    EXPECT_TRUE(MessageBeep(MB_ICONEXCLAMATION));
    EXPECT_EQ(beeps, (std::vector<UINT>{MB_OK, MB_ICONEXCLAMATION}));
}

// ---- help

// As installed: the program in bin/, its manual in share/doc/<program>/.
TEST_F(ShellExecuteTest, TheHelpFileIsLookedForWhereTheInstalledTreeKeepsIt)
{
    char szExe[4096] = {};
    ASSERT_GT(readlink("/proc/self/exe", szExe, sizeof(szExe) - 1), 0);
    const std::filesystem::path exe(szExe);
    const std::filesystem::path expected =
        (exe.parent_path() / ".." / "share" / "doc" / exe.filename() / "manual" / "index.html").lexically_normal();
    CWinApp app;
    EXPECT_EQ(app.m_pszHelpFilePath, expected.string());
    EXPECT_EQ(AfxDefaultHelpFilePath(), expected.string());
}

TEST_F(ShellExecuteTest, HelpTopicsOpensTheHelpFile)
{
    m_dir.Write("index.html", "<html></html>");
    CWinApp app;
    app.m_pszHelpFilePath = m_dir.File("index.html");
    CFrameWnd frame;
    ASSERT_TRUE(frame.CreateBare("Help", CRect{10, 10, 200, 200}));
    // The frame's handlers, as a program's frame maps them.
    frame.OnHelpFinder();
    frame.OnHelp();
    frame.OnContextHelp();
    const CString strUrl = "file://" + std::filesystem::absolute(m_dir.File("index.html")).lexically_normal().string();
    EXPECT_EQ(m_opened, (std::vector<CString>{strUrl, strUrl, strUrl}));
    EXPECT_TRUE(m_boxes.empty());
    frame.DestroyWindow();
}

TEST_F(ShellExecuteTest, HelpThatCannotBeOpenedSaysWhereTheFileIs)
{
    const AFX_STRING strings[] = {{0xF107, "No manual. Look at %1, please."}};
    const AFX_RESOURCES resources = {{}, {}, {}, strings, {}};
    CWinApp app;
    app.m_pszHelpFilePath = m_dir.File("index.html");

    // Missing: the opener is never asked.
    app.WinHelp(0, HELP_FINDER);
    ASSERT_EQ(m_boxes.size(), 1u);
    EXPECT_NE(m_boxes[0].find(app.m_pszHelpFilePath), std::string::npos) << m_boxes[0];
    EXPECT_TRUE(m_opened.empty());

    // There, but the opener refuses it: the program's own text.
    AfxSetResources(&resources);
    m_dir.Write("index.html", "<html></html>");
    m_bTaken = FALSE;
    app.WinHelp(0, HELP_FINDER);
    EXPECT_EQ(m_opened.size(), 1u);
    ASSERT_EQ(m_boxes.size(), 2u);
    EXPECT_EQ(m_boxes[1], "No manual. Look at " + app.m_pszHelpFilePath + ", please.");
    EXPECT_EQ(m_nBoxType & 0xF0, MB_ICONEXCLAMATION);
}
