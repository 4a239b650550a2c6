// The settings file reader.

#include <gtest/gtest.h>

#include "Settings.h"

using tallowick::agent::parseSettings;
using tallowick::agent::Settings;

TEST(SettingsTest, ReadsTheIniFormIncludingItsLooseSpellings) {
    const Settings s = parseSettings("; comment\r\n"
                                     "# another\n"
                                     "  [ server ]  \r\n"
                                     "  LOCATION =  http://127.0.0.1:8000/update  \r\n"
                                     "[Download]\nchunkbytes=512\n"
                                     "[Log]\nJournal=/var/log/a.txt\n"
                                     "[FAULTS]\n"
                                     "NeverReport=yes\nNewVersionBeforeStates=On\n"
                                     "CheckFlag=3\nCheckErrMsg=  No such = version \n"
                                     "CheckDelayMs=250\nFinalState=-4\nMissingDescription=1\n"
                                     "FailDownloadAtPercent=100\nSlowChunkMs=5\n"
                                     "CallbackStorm=1000\nRepeatDownloadFinished=2\n"
                                     "ReportDownloadStates=true");
    EXPECT_TRUE(s.problems.empty()) << s.problems.front();
    EXPECT_EQ(s.location, "http://127.0.0.1:8000/update");
    EXPECT_EQ(s.chunkBytes, 512u);
    EXPECT_EQ(s.journal, "/var/log/a.txt");
    EXPECT_TRUE(s.faults.neverReport);
    EXPECT_TRUE(s.faults.newVersionBeforeStates);
    EXPECT_EQ(s.faults.checkFlag, 3);
    EXPECT_EQ(s.faults.checkErrMsg, "No such = version");
    EXPECT_EQ(s.faults.checkDelayMs, 250);
    EXPECT_EQ(s.faults.finalState, -4);
    EXPECT_TRUE(s.faults.missingDescription);
    EXPECT_EQ(s.faults.failDownloadAtPercent, 100);
    EXPECT_EQ(s.faults.slowChunkMs, 5);
    EXPECT_EQ(s.faults.callbackStorm, 1000);
    EXPECT_EQ(s.faults.repeatDownloadFinished, 2);
    EXPECT_TRUE(s.faults.reportDownloadStates);
}

TEST(SettingsTest, WhatIsNotUnderstoodKeepsItsDefaultAndIsNamed) {
    struct Case {
        const char* text;
        const char* problem;
    };
    const Case cases[] = {
        {"[Faults]\nFailDownloadAtPercent=101",
         "line 2: bad value \"101\" for FailDownloadAtPercent"},
        {"[Faults]\nCheckFlag=two", "line 2: bad value \"two\" for CheckFlag"},
        {"[Faults]\nNeverReport=maybe", "line 2: bad value \"maybe\" for NeverReport"},
        {"[Download]\nChunkBytes=0", "line 2: bad value \"0\" for ChunkBytes"},
        {"[Faults]\nSlowChunkMs=-1", "line 2: bad value \"-1\" for SlowChunkMs"},
        {"Location=/srv", "line 1: unknown setting [] Location"},
        {"[Faults]\nLocation=/srv", "line 2: unknown setting [faults] Location"},
        {"[Server", "line 1: a section header without its closing bracket"},
        {"[Server]\njust words", "line 2: not a Key=Value line"},
    };
    const Settings defaults;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const Settings s = parseSettings(c.text);
        ASSERT_EQ(s.problems.size(), 1u);
        EXPECT_EQ(s.problems.front(), c.problem);
        EXPECT_EQ(s.location, "");
        EXPECT_EQ(s.chunkBytes, defaults.chunkBytes);
        EXPECT_FALSE(s.faults.failDownloadAtPercent.has_value());
        EXPECT_FALSE(s.faults.checkFlag.has_value());
        EXPECT_FALSE(s.faults.neverReport);
        EXPECT_EQ(s.faults.slowChunkMs, 0);
    }
    // An empty value switches an optional fault off again.
    EXPECT_FALSE(parseSettings("[Faults]\nCheckFlag=2\nCheckFlag=").faults.checkFlag.has_value());
}
