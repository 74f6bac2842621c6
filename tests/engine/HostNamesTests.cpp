// The host-name list: defaults, loading with its selection rules, and how a
// name that connected joins the stored list.
#include "tests/engine/EngineFixture.h"
#include "tests/platform/WriteCounter.h"

using HostNames = EngineTest;

static std::vector<std::string> Entries(CProdletView& v)
{
    std::vector<std::string> entries;
    for (int i = 0; i < v.m_cbHostNames.GetCount(); ++i) {
        CString str;
        v.m_cbHostNames.GetLBText(i, str);
        entries.push_back(str);
    }
    return entries;
}

TEST_F(HostNames, FirstRunShowsTheDefaultsAndStoresNothing)
{
    CProdletView& v = MakeView();
    std::vector<std::string> entries = Entries(v);
    ASSERT_EQ(entries.size(), 5u);
    for (size_t i = 0; i < 5; ++i)
        EXPECT_EQ(entries[i], g_aszDefaultHostNames[i]);
    // name, name, dotted-quad literal, name, name
    for (size_t i = 0; i < 5; ++i)
        EXPECT_EQ(entries[i][0] >= '0' && entries[i][0] <= '9', i == 2) << entries[i];
    EXPECT_EQ(v.m_cbHostNames.GetCurSel(), 0);
    EXPECT_EQ(v.m_strCurrentHost, entries[0]);
    EXPECT_EQ(v.m_nHostSel, 0);
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
    EXPECT_EQ(Entries(v), (std::vector<std::string>{"a.test", "b.test", "c.test"}));
    EXPECT_EQ(v.m_strCurrentHost, "c.test");
    EXPECT_EQ(v.m_nHostSel, 2);

    // Once a save has filled the gap, the entry behind it is read again.
    v.SaveHostNames("d.test");
    EXPECT_EQ(Stored("ComboName3"), "d.test");
    v.LoadHostNames();
    EXPECT_EQ(Entries(v), (std::vector<std::string>{"a.test", "b.test", "c.test", "d.test", "e.test"}));
    EXPECT_EQ(v.m_strCurrentHost, "d.test");
}

TEST_F(HostNames, SelectionOutOfRangeFallsBackToTheFirstEntry)
{
    Store("ComboName0", "a.test");
    Store("ComboName1", "b.test");
    for (const char* pszSel : {"2", "99", "x"}) {
        Store("ComboNameSel", pszSel);
        CProdletView& v = MakeView();
        EXPECT_EQ(v.m_cbHostNames.GetCurSel(), 0) << pszSel;
        EXPECT_EQ(v.m_nHostSel, 0) << pszSel;
        EXPECT_EQ(v.m_strCurrentHost, "a.test") << pszSel;
    }
}

TEST_F(HostNames, NegativeSelectionSelectsNothing)
{
    Store("ComboName0", "a.test");
    Store("ComboNameSel", "-3");
    CProdletView& v = MakeView();
    EXPECT_EQ(v.m_cbHostNames.GetCurSel(), -1);
    EXPECT_EQ(v.m_cbHostNames.GetWindowText(), "");
    EXPECT_EQ(v.m_strCurrentHost, "");
}

TEST_F(HostNames, AnEntryOfAnyLengthStaysInTheListAsStored)
{
    // Longer than any host name may be (253): still no gap in the list.
    Store("ComboName0", "a.test");
    Store("ComboName1", std::string(259, 'b'));
    Store("ComboName2", std::string(260, 'c'));
    Store("ComboName3", std::string(1000, 'd'));
    Store("ComboName4", "e.test");
    CProdletView& v = MakeView();
    EXPECT_EQ(Entries(v), (std::vector<std::string>{"a.test", std::string(259, 'b'), std::string(260, 'c'),
                                                    std::string(1000, 'd'), "e.test"}));
}

TEST_F(HostNames, SaveWritesTheSettingsFileOnceOrNotAtAll)
{
    Store("Often", "25");
    for (int i = 0; i < 300; ++i)
        Store(("ComboName" + std::to_string(i)).c_str(), "host" + std::to_string(i) + ".test");
    Store("ComboNameSel", "5");
    CProdletView& v = MakeView();
    v.m_strOften = "25";
    CWriteCounter writes(m_files);

    v.SaveHostNames("HOST5.test");  // nothing new to store
    EXPECT_EQ(writes.Take(), 0);
    v.SaveHostNames("new.test");
    EXPECT_EQ(writes.Take(), 2);  // one temporary file, renamed into place
    EXPECT_EQ(Stored("ComboName300"), "new.test");
    EXPECT_EQ(Stored("ComboNameSel"), "300");
    EXPECT_EQ(Stored("ComboName299"), "host299.test");
    EXPECT_EQ(v.m_nHostSel, 300);
}

TEST_F(HostNames, SaveAppendsANewNameAndSelectsIt)
{
    Store("ComboName0", "a.test");
    Store("ComboName1", "b.test");
    CProdletView& v = MakeView();
    v.m_strOften = "12";
    v.SaveHostNames("New.Test");

    EXPECT_EQ(Entries(v), (std::vector<std::string>{"a.test", "b.test", "New.Test"}));
    EXPECT_EQ(v.m_cbHostNames.GetCurSel(), 2);
    EXPECT_EQ(v.m_nHostSel, 2);
    EXPECT_EQ(v.m_strCurrentHost, "New.Test");
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
    v.SaveHostNames("b.TEST");

    EXPECT_EQ(Entries(v), (std::vector<std::string>{"a.test", "B.Test", "b.test"}));
    EXPECT_EQ(v.m_nHostSel, 1);  // the first match from the top
    EXPECT_EQ(v.m_cbHostNames.GetCurSel(), 1);
    EXPECT_EQ(v.m_strCurrentHost, "b.TEST");  // exactly as connected
    EXPECT_EQ(Stored("ComboNameSel"), "1");
    EXPECT_EQ(Stored("ComboName3"), "<missing>");
}

TEST_F(HostNames, ATypedNameJoinsOnlyAfterItConnected)
{
    Store("ComboName0", "192.0.2.1");
    CProdletView& v = MakeView();
    v.m_cbHostNames.SetCurSel(-1);
    v.m_cbHostNames.SetWindowText("192.0.2.50");
    StartCounting();
    EXPECT_EQ(v.m_cbHostNames.GetCount(), 1);
    EXPECT_EQ(Stored("ComboName1"), "<missing>");

    Tick();
    EXPECT_EQ(Entries(v), (std::vector<std::string>{"192.0.2.1", "192.0.2.50"}));
    EXPECT_EQ(Stored("ComboName1"), "192.0.2.50");
    EXPECT_EQ(Stored("ComboNameSel"), "1");
}
