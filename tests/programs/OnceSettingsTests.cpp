// --once works on a private copy of the settings: the real file stays byte
// for byte as it was, and is not made when there was none.
#include "programs/OnceSettings.h"

#include "settings/RegistrySettings.h"
#include "tests/support/TestEnv.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

constexpr const char* kBase = "Software\\Quorvane Software\\Prodlet";

// Opens the store the way the program does, wherever PRODLET_HIVE points now.
class CStore {
public:
    CStore()
    {
        HKEY hKey = 0;
        DWORD dwDisposition = 0;
        m_bOk = m_settings.CreateBaseKey(hKey, dwDisposition, HKEY_LOCAL_MACHINE, kBase);
        if (m_bOk)
            RegCloseKey(hKey);
    }
    CRegistrySettings* operator->() { return &m_settings; }
    BOOL m_bOk = FALSE;

private:
    CRegistrySettings m_settings;
};

}  // namespace

TEST(OnceSettings, TheRealFileStaysAsItWasAndTheCopyTakesTheWrites)
{
    CScopedPlatformFiles files;
    {
        CStore store;
        ASSERT_TRUE(store.m_bOk);
        store->WriteString("Settings", "ComboName0", "192.0.2.7");
        store->WriteInt("Settings", "Ignore", 1);
    }
    const std::string strBefore = files.HiveText();
    const auto timeBefore = std::filesystem::last_write_time(files.HivePath());

    std::string strCopyDir;
    {
        COnceSettings once;
        CString strError;
        ASSERT_TRUE(once.Prepare(strError)) << strError;
        EXPECT_EQ(std::getenv("PRODLET_HIVE"), once.CopyPath());
        strCopyDir = std::filesystem::path(once.CopyPath()).parent_path();

        // What the engine writes after a connect lands in the copy.
        CStore store;
        ASSERT_TRUE(store.m_bOk);
        EXPECT_EQ(store->ReadString("Settings", "ComboName0", ""), "192.0.2.7");
        EXPECT_EQ(store->ReadInt("Settings", "Ignore", 1), 0);  // a failure is reported, not retried
        store->WriteString("Settings", "Often", "7");
        EXPECT_EQ(store->ReadString("Settings", "Often", ""), "7");
    }
    EXPECT_EQ(files.HiveText(), strBefore);
    EXPECT_EQ(std::filesystem::last_write_time(files.HivePath()), timeBefore);
    EXPECT_FALSE(std::filesystem::exists(strCopyDir));  // the copy went with the object
}

TEST(OnceSettings, WithoutASettingsFileTheSeedGoesIntoTheCopyOnly)
{
    CScopedPlatformFiles files;
    files.Dir().Write("Prodlet.INI", "[Settings]\nComboName0=192.0.2.8\nDebug=1\n");
    {
        COnceSettings once;
        CString strError;
        ASSERT_TRUE(once.Prepare(strError)) << strError;
        CStore store;
        EXPECT_EQ(store->ReadString("Settings", "ComboName0", ""), "192.0.2.8");
        EXPECT_EQ(store->ReadInt("Settings", "Debug", 0), 1);
        EXPECT_EQ(store->ReadInt("Settings", "Ignore", 1), 0);
    }
    // Neither the settings file nor its lock was made where the real one goes.
    EXPECT_FALSE(std::filesystem::exists(files.HivePath()));
    EXPECT_FALSE(std::filesystem::exists(files.HivePath() + ".lock"));
}

TEST(OnceSettings, ASettingsFileThatCannotBeCopiedIsAnError)
{
    CScopedPlatformFiles files;
    std::filesystem::create_directory(files.HivePath());  // a directory where the file should be
    COnceSettings once;
    CString strError;
    EXPECT_FALSE(once.Prepare(strError));
    EXPECT_NE(strError.find(files.HivePath()), CString::npos) << strError;
}
