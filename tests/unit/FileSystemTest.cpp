#include <gtest/gtest.h>

#include "ControllerFixture.h"
#include "platform/FileSystem.h"

using tallowick::platform::FileSystem;
using tallowick::test::TempRoot;

TEST(FileSystemRoot, RefusesRootsThatWouldBreakAShellCommand) {
    TempRoot root;
    struct Case {
        std::string root;
        bool safe;
    };
    const Case cases[] = {
        {root.path(), true},
        {"/", true},
        {"relative/path", false},
        {"", false},
        {root.path() + "/does-not-exist", false},
        {"/tmp/with blank", false},
        {"/tmp/quote'd", false},
        {"/tmp/$HOME", false},
        {"/tmp/a;rm", false},
        {"/tmp/a`b`", false},
        {"/tmp/a\nb", false},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_EQ(FileSystem::isSafeRoot(c.root, error), c.safe) << c.root;
        EXPECT_EQ(error.empty(), c.safe) << c.root;
    }
}

TEST(FileSystemRoot, ResolvesSystemPathsUnderTheRoot) {
    EXPECT_EQ(FileSystem("/r/").resolve("/System/Library/x"), "/r/System/Library/x");
    EXPECT_EQ(FileSystem("/").resolve("/usr/lib/dunLib.dylib"), "/usr/lib/dunLib.dylib");
}

TEST(FileSystemWrites, AtomicWriteReplacesWholeOrLeavesTheOldFile) {
    TempRoot root;
    FileSystem fs(root.path());
    ASSERT_TRUE(fs.createDirectories("/a/b"));
    ASSERT_TRUE(fs.writeFileAtomically("/a/b/f.txt", "old"));
    ASSERT_TRUE(fs.writeFileAtomically("/a/b/f.txt", "new contents"));
    EXPECT_EQ(fs.readFile("/a/b/f.txt"), "new contents");

    EXPECT_FALSE(fs.writeFileAtomically("/missing/f.txt", "x"));
    EXPECT_FALSE(fs.fileExists("/missing"));
    EXPECT_EQ(fs.contentsOfDirectory("/a/b"), std::vector<std::string>{"f.txt"});
    EXPECT_FALSE(fs.readFile("/a/b").has_value()); // a folder is not a readable file
}
