// The hive parser and writer on their own: what is read is written back so
// that it reads the same, and repeated names behave as they always did.
#include "platform/HiveFile.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Every key and value of one hive, in order, in a form to compare.
std::string Dump(const CHiveFile& hive)
{
    std::string str;
    for (const CHiveFile::KEY& key : hive.Keys()) {
        if (key.strPath.empty() && key.values.empty())
            continue;
        str += "[" + key.strPath + "]\n";
        for (const CHiveFile::VALUE& value : key.values)
            str += value.strName + (value.bText ? " text " : " raw ") + value.strData + "\n";
    }
    return str;
}

}  // namespace

TEST(HiveParse, WhatIsReadIsWrittenBackSoThatItReadsTheSame)
{
    const CString strText = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\K]\n"
                            "\"raw\"=\\\n  \"abc\"\n"      // raw data continued on a line that starts with a quote
                            "\"junk\"=\"abc\" and more\n"  // text after the closing quote
                            "\"open\"=\\\n\"abc\n"         // continued, its quote never closed
                            "\"hex\"=hex:41,\\\n  42\n"
                            "\"tail\"=a\\ \\\n\n  b\n"      // a backslash left last once blanks go continues too
                            "\"text\"=\"plain\"\n"
                            "\"cut\"=\"never closed\n";  // not a value at all
    CHiveFile first;
    EXPECT_EQ(first.Parse(strText), 1);
    EXPECT_EQ(Dump(first), "[K]\n"
                           "raw raw \"abc\"\n"
                           "junk raw \"abc\" and more\n"
                           "open raw \"abc\n"
                           "hex raw hex:41,42\n"
                           "tail raw ab\n"
                           "text text plain\n");

    const CString strOnce = first.Format();
    CHiveFile second;
    EXPECT_EQ(second.Parse(strOnce), 0);
    EXPECT_EQ(Dump(second), Dump(first));
    EXPECT_EQ(second.Format(), strOnce);
    EXPECT_EQ(second.FindValue("k", "RAW")->bText, FALSE);
    EXPECT_EQ(second.FindValue("k", "text")->strData, "plain");
}

TEST(HiveParse, ManyRepeatedNamesKeepTheFirstSpellingAndTheLastData)
{
    // 100 names set 30 times each in changing case, the key named again half way.
    CString strText = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Dup]\n";
    for (int nRound = 0; nRound < 30; ++nRound) {
        if (nRound == 15)
            strText += "[hkey_local_machine\\DUP]\n";
        for (int i = 0; i < 100; ++i) {
            CString strName = "Name" + std::to_string(i);
            if (nRound % 2)
                strName = "nAME" + std::to_string(i);
            strText += "\"" + strName + "\"=\"" + std::to_string(nRound * 1000 + i) + "\"\n";
        }
    }
    strText += "\"NAME5\"=dword:00000005\n@=\"one\"\n@=\"two\"\n";

    CHiveFile hive;
    EXPECT_EQ(hive.Parse(strText), 0);
    CString strExpected = "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Dup]\n";
    for (int i = 0; i < 100; ++i)
        strExpected += "\"Name" + std::to_string(i) + "\"=" +
                       (i == 5 ? CString("dword:00000005") : "\"" + std::to_string(29000 + i) + "\"") + "\n";
    strExpected += "@=\"two\"\n\n";
    EXPECT_EQ(hive.Format(), strExpected);
    ASSERT_EQ(hive.Keys().size(), 1u);
    EXPECT_EQ(hive.FindValue("DUP", "name42")->strData, "29042");
    EXPECT_EQ(hive.FindValue("dup", "")->strData, "two");
}

TEST(HiveParse, KeysKeepTheCaseTheyWereFirstNamedIn)
{
    CHiveFile hive;
    EXPECT_EQ(hive.Parse("[HKEY_LOCAL_MACHINE\\Software\\Maker]\n"
                         "[HKEY_LOCAL_MACHINE\\SOFTWARE\\maker\\App]\n"
                         "[HKEY_LOCAL_MACHINE\\software\\Other\\\\Deep\\]\n"),
              0);
    EXPECT_EQ(hive.Format(), "REGEDIT4\n\n"
                             "[HKEY_LOCAL_MACHINE\\Software]\n\n"
                             "[HKEY_LOCAL_MACHINE\\Software\\Maker]\n\n"
                             "[HKEY_LOCAL_MACHINE\\Software\\Maker\\App]\n\n"
                             "[HKEY_LOCAL_MACHINE\\Software\\Other]\n\n"
                             "[HKEY_LOCAL_MACHINE\\Software\\Other\\Deep]\n\n");
    EXPECT_TRUE(hive.KeyExists("software\\MAKER"));
    EXPECT_FALSE(hive.KeyExists("Software\\Make"));
    EXPECT_FALSE(hive.CreateKey("SOFTWARE\\OTHER\\DEEP"));
    EXPECT_TRUE(hive.CreateKey("SOFTWARE\\OTHER\\DEEP\\Er"));
    EXPECT_TRUE(hive.SetTextValue("software\\other\\deep\\er", "v", "1"));
    EXPECT_FALSE(hive.SetTextValue("Software\\Other\\Deep\\Er", "V", "1"));
    EXPECT_NE(hive.Format().find("[HKEY_LOCAL_MACHINE\\Software\\Other\\Deep\\Er]\n\"v\"=\"1\"\n"), CString::npos);
}
