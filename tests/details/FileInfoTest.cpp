#include "details/FileAttributes.h"
#include "details/FileOwner.h"
#include "support/FixtureTree.h"

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillon;
using namespace quillon::test;

TEST(AttributeLetters, TableByExactValue)
{
    EXPECT_EQ(AttributeLettersOf(kAttrReadOnly | kAttrArchive), "RA  ");
    EXPECT_EQ(AttributeLettersOf(kAttrReadOnly | kAttrHidden | kAttrArchive), "ARH ");
    EXPECT_EQ(AttributeLettersOf(kAttrHidden | kAttrSystem | kAttrArchive), "AHS ");
    EXPECT_EQ(AttributeLettersOf(39), "RAHS");
    EXPECT_EQ(AttributeLettersOf(3), "RH  ");
    EXPECT_EQ(AttributeLettersOf(37), "    ") << "read-only, system, archive has no text";
    EXPECT_EQ(AttributeLettersOf(0), "    ");
    EXPECT_EQ(AttributeLettersOf(kAttrArchive | 0x2000), "    ") << "not-indexed bit";
}

TEST(AttributeLetters, DerivedFromModeAndName)
{
    FixtureTree tree;
    tree.file("plain.txt", "x");
    tree.file("locked.txt", "x");
    tree.chmod("locked.txt", 0444);
    tree.file(".hidden", "x");
    tree.file(".hidden-locked", "x");
    tree.chmod(".hidden-locked", 0400);
    tree.folder("sub");
    tree.symlink("link", "plain.txt");
    tree.symlink("dangling", "nowhere");

    EXPECT_EQ(AttributeLetters(tree.path("plain.txt")), "A   ");
    EXPECT_EQ(AttributeLetters(tree.path("locked.txt")), "RA  ");
    EXPECT_EQ(AttributeLetters(tree.path(".hidden")), "AH  ");
    EXPECT_EQ(AttributeLetters(tree.path(".hidden-locked")), "ARH ");
    EXPECT_EQ(AttributeLetters(tree.path("sub")), "    ") << "directory bit has no letter";
    EXPECT_EQ(AttributeLetters(tree.path("link")), "A   ") << "a link shows its target";
    EXPECT_EQ(AttributeLetters(tree.path("dangling")), "    ");
    EXPECT_EQ(AttributeLetters(tree.path("gone.txt")), "") << "unreadable: empty text";
}

TEST(FileOwnerName, AccountOfTheUidOrEmpty)
{
    FixtureTree tree;
    tree.file("mine.txt", "x");
    const passwd* me = ::getpwuid(::geteuid());
    ASSERT_NE(me, nullptr);
    EXPECT_EQ(FileOwnerName(tree.path("mine.txt")), me->pw_name);
    EXPECT_EQ(FileOwnerName(tree.path("gone.txt")), "");

    // An owner that no account maps to (as if the account had been deleted).
    uid_t unknown = 54321;
    while (::getpwuid(unknown))
        ++unknown;
    EXPECT_EQ(AccountName(unknown), "");
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(tree.path("mine.txt").c_str(), unknown, 0), 0);
        EXPECT_EQ(FileOwnerName(tree.path("mine.txt")), "");
    }
}
