// The host-name list: defaults, loading with its selection rules, and how a
// name that connected joins the stored list.
#include "tests/engine/EngineFixture.h"
#include "tests/platform/WriteCounter.h"

class HostNames : public EngineTest {
protected:
    std::vector<std::string> Entries()
    {
        std::vector<std::string> entries;
        for (int i = 0; i < HostBox().GetCount(); ++i) {
            CString str;
            HostBox().GetLBText(i, str);
            entries.push_back(str);
        }
        return entries;
    }

    // Types strHost into the host field, presses Start and lets the first
    // probe connect to it: the way a name comes to be saved.
    void ConnectTo(const std::string& strHost)
    {
        HostBox().SetCurSel(-1);
        HostBox().SetWindowText(strHost);
        StartCounting("10.1.2.3", "192.0.2.10");
        const size_t nConnects = m_net.m_connects.size();
        Tick();
        ASSERT_EQ(m_net.m_connects.size(), nConnects + 1) << strHost;
    }
};

TEST_F(HostNames, FirstRunShowsTheDefaultsAndStoresNothing)
{
    CProdletView& v = MakeView();
    std::vector<std::string> entries = Entries();
    ASSERT_EQ(entries.size(), 5u);
    for (size_t i = 0; i < 5; ++i)
        EXPECT_EQ(entries[i], g_aszDefaultHostNames[i]);
    // name, name, dotted-quad literal, name, name
    for (size_t i = 0; i < 5; ++i)
        EXPECT_EQ(entries[i][0] >= '0' && entries[i][0] <= '9', i == 2) << entries[i];
    EXPECT_EQ(HostBox().GetCurSel(), 0);
    EXPECT_EQ(v.GetCurrentHost(), entries[0]);
    EXPECT_EQ(Stored("ComboName0"), "<missing>");
    EXPECT_EQ(Stored("ComboNameSel"), "<missing>");
}

TEST_F(HostNames, LoadingStopsAtTheFirstEmptyValue)
{
    Store("ComboName0", "a.test");
    Store("ComboName1", "b.test");
    Store("ComboName2", "c.test");
    Store("ComboName3", "");
    Store("ComboName4", "e.test");
    Store("ComboNameSel", "2");
    CProdletView& v = MakeView();
    EXPECT_EQ(Entries(), (std::vector<std::string>{"a.test", "b.test", "c.test"}));
    EXPECT_EQ(v.GetCurrentHost(), "c.test");
    EXPECT_EQ(HostBox().GetCurSel(), 2);

    // Once a save has filled the gap, the entry behind it is read again.
    ConnectTo("d.test");
    EXPECT_EQ(Stored("ComboName3"), "d.test");
    CProdletView& vNext = MakeView();
    EXPECT_EQ(Entries(), (std::vector<std::string>{"a.test", "b.test", "c.test", "d.test", "e.test"}));
    EXPECT_EQ(vNext.GetCurrentHost(), "d.test");
}

TEST_F(HostNames, SelectionOutOfRangeFallsBackToTheFirstEntry)
{
    Store("ComboName0", "a.test");
    Store("ComboName1", "b.test");
    for (const char* pszSel : {"2", "99", "x"}) {
        Store("ComboNameSel", pszSel);
        CProdletView& v = MakeView();
        EXPECT_EQ(HostBox().GetCurSel(), 0) << pszSel;
        EXPECT_EQ(v.GetCurrentHost(), "a.test") << pszSel;
    }
}

TEST_F(HostNames, NegativeSelectionSelectsNothing)
{
    Store("ComboName0", "a.test");
    Store("ComboNameSel", "-3");
    CProdletView& v = MakeView();
    EXPECT_EQ(HostBox().GetCurSel(), -1);
    EXPECT_EQ(HostBox().GetWindowText(), "");
    EXPECT_EQ(v.GetCurrentHost(), "");
}

TEST_F(HostNames, AnEntryOfAnyLengthStaysInTheListAsStored)
{
    // Longer than any host name may be (253): still no gap in the list.
    Store("ComboName0", "a.test");
    Store("ComboName1", std::string(259, 'b'));
    Store("ComboName2", std::string(260, 'c'));
    Store("ComboName3", std::string(1000, 'd'));
    Store("ComboName4", "e.test");
    MakeView();
    EXPECT_EQ(Entries(), (std::vector<std::string>{"a.test", std::string(259, 'b'), std::string(260, 'c'),
                                                    std::string(1000, 'd'), "e.test"}));
}

TEST_F(HostNames, SaveWritesTheSettingsFileOnceOrNotAtAll)
{
    Store("Often", "25");
    for (int i = 0; i < 300; ++i)
        Store(("ComboName" + std::to_string(i)).c_str(), "host" + std::to_string(i) + ".test");
    Store("ComboNameSel", "5");
    MakeView();
    ASSERT_EQ(OftenEdit().GetWindowText(), "25");
    CWriteCounter writes(m_files);

    ConnectTo("HOST5.test");  // nothing new to store
    EXPECT_EQ(writes.Take(), 0);
    ConnectTo("new.test");
    EXPECT_EQ(writes.Take(), 2);  // one temporary file, renamed into place
    EXPECT_EQ(Stored("ComboName300"), "new.test");
    EXPECT_EQ(Stored("ComboNameSel"), "300");
    EXPECT_EQ(Stored("ComboName299"), "host299.test");
    EXPECT_EQ(HostBox().GetCurSel(), 300);
}

TEST_F(HostNames, SaveAppendsANewNameAndSelectsIt)
{
    Store("ComboName0", "a.test");
    Store("ComboName1", "b.test");
    CProdletView& v = MakeView();
    OftenEdit().SetWindowText("12");
    ConnectTo("New.Test");

    EXPECT_EQ(Entries(), (std::vector<std::string>{"a.test", "b.test", "New.Test"}));
    EXPECT_EQ(HostBox().GetCurSel(), 2);
    EXPECT_EQ(v.GetCurrentHost(), "New.Test");
    EXPECT_EQ(Stored("Often"), "12");
    EXPECT_EQ(Stored("ComboName2"), "New.Test");
    EXPECT_EQ(Stored("ComboNameSel"), "2");
}

TEST_F(HostNames, SaveMatchesExistingEntriesIgnoringCase)
{
    Store("ComboName0", "a.test");
    Store("ComboName1", "B.Test");
    Store("ComboName2", "b.test");
    CProdletView& v = MakeView();
    ConnectTo("b.TEST");

    EXPECT_EQ(Entries(), (std::vector<std::string>{"a.test", "B.Test", "b.test"}));
    EXPECT_EQ(HostBox().GetCurSel(), 1);  // the first match from the top
    EXPECT_EQ(v.GetCurrentHost(), "b.TEST");  // exactly as connected
    EXPECT_EQ(Stored("ComboNameSel"), "1");
    EXPECT_EQ(Stored("ComboName3"), "<missing>");
}

TEST_F(HostNames, ATypedNameJoinsOnlyAfterItConnected)
{
    Store("ComboName0", "192.0.2.1");
    MakeView();
    HostBox().SetCurSel(-1);
    HostBox().SetWindowText("192.0.2.50");
    StartCounting();
    EXPECT_EQ(HostBox().GetCount(), 1);
    EXPECT_EQ(Stored("ComboName1"), "<missing>");

    Tick();
    EXPECT_EQ(Entries(), (std::vector<std::string>{"192.0.2.1", "192.0.2.50"}));
    EXPECT_EQ(Stored("ComboName1"), "192.0.2.50");
    EXPECT_EQ(Stored("ComboNameSel"), "1");
}
