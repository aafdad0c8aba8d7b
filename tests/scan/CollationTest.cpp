#include "scan/Collation.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace quillon {
namespace {

// Sets locale variables for one test and puts the old values back afterwards.
class ScopedLocaleEnv {
public:
    ScopedLocaleEnv(const char* lcAll, const char* lcCollate, const char* lang)
    {
        Set("LC_ALL", lcAll);
        Set("LC_COLLATE", lcCollate);
        Set("LANG", lang);
    }
    ~ScopedLocaleEnv()
    {
        for (auto& [name, value] : m_saved) {
            if (value)
                setenv(name, value->c_str(), 1);
            else
                unsetenv(name);
        }
    }

private:
    void Set(const char* name, const char* value)
    {
        const char* old = std::getenv(name);
        m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    std::vector<std::pair<const char*, std::optional<std::string>>> m_saved;
};

bool KeyLess(const Collation& c, std::string_view a, std::string_view b)
{
    return Collation::CompareKeys(c.SortKey(a), c.SortKey(b)) < 0;
}

TEST(Collation, IgnoresCaseButNotAccents)
{
    const Collation c("C");
    EXPECT_EQ(c.SortKey("Beta"), c.SortKey("beta"));
    EXPECT_EQ(c.SortKey("MUSIC/"), c.SortKey("music/"));
    EXPECT_NE(c.SortKey("resume"), c.SortKey("r\xC3\xA9sum\xC3\xA9"));
    EXPECT_TRUE(KeyLess(c, "alpha", "Beta"));
    EXPECT_TRUE(KeyLess(c, "Beta", "gamma"));
    // Equal keys fall back to the bytes, so the order is total and repeatable.
    EXPECT_EQ(c.Compare("Beta", "beta"), -1);
    EXPECT_EQ(c.Compare("beta", "Beta"), 1);
    EXPECT_EQ(c.Compare("beta", "beta"), 0);
}

TEST(Collation, SignsSortBeforeDigitsAndLetters)
{
    const Collation c("C");
    for (const char* sign : {"|", "$", "/", "_", "#", "(", " "}) {
        SCOPED_TRACE(sign);
        EXPECT_TRUE(KeyLess(c, sign, "0"));
        EXPECT_TRUE(KeyLess(c, sign, "a"));
        EXPECT_TRUE(KeyLess(c, sign, "Z"));
    }
    EXPECT_TRUE(KeyLess(c, "9", "a"));
    // Punctuation counts (not ignorable): "a-b" and "ab" differ.
    EXPECT_NE(c.SortKey("a-b"), c.SortKey("ab"));
    EXPECT_TRUE(KeyLess(c, "a|000000000000005", "ab|000000000000001"));
}

TEST(Collation, PosixLocalesUseRootRules)
{
    for (const char* name : {"C", "POSIX", "C.UTF-8", "C.utf8", ""}) {
        SCOPED_TRACE(name);
        const ScopedLocaleEnv env(name, nullptr, nullptr);
        const Collation c;
        EXPECT_EQ(c.localeName(), "root");
        // Byte order would put "B" before "a" and "|" after letters.
        EXPECT_TRUE(KeyLess(c, "a", "B"));
        EXPECT_TRUE(KeyLess(c, "|", "a"));
    }
    EXPECT_EQ(Collation("en_US_POSIX").localeName(), "root");
}

TEST(Collation, FollowsLocaleVariablesInPrecedence)
{
    const std::string aUmlaut = "\xC3\xA4"; // Swedish sorts it after z, root beside a
    {
        const ScopedLocaleEnv env("", "sv_SE.UTF-8", "C");
        EXPECT_EQ(Collation::LocaleFromEnvironment(), "sv_SE.UTF-8");
        const Collation c;
        EXPECT_EQ(c.localeName().substr(0, 2), "sv");
        EXPECT_TRUE(KeyLess(c, "z", aUmlaut));
    }
    {
        const ScopedLocaleEnv env("C", "sv_SE.UTF-8", "sv_SE.UTF-8");
        EXPECT_TRUE(KeyLess(Collation(), aUmlaut, "z"));
    }
    {
        const ScopedLocaleEnv env(nullptr, nullptr, "sv_SE.UTF-8@euro");
        EXPECT_TRUE(KeyLess(Collation(), "z", aUmlaut));
    }
    {
        const ScopedLocaleEnv env(nullptr, nullptr, nullptr);
        EXPECT_EQ(Collation::LocaleFromEnvironment(), "C");
    }
}

TEST(Collation, InvalidUtf8CollatesAsReplacementCharacter)
{
    const Collation c("C");
    const std::string replacement = "a\xEF\xBF\xBD";
    EXPECT_EQ(c.SortKey("a\xFF"), c.SortKey(replacement));
    EXPECT_EQ(c.SortKey("a\xC3"), c.SortKey(replacement)); // truncated sequence
    EXPECT_EQ(c.SortKey("a\xED\xA0\x80"), c.SortKey(replacement + "\xEF\xBF\xBD\xEF\xBF\xBD"));
    // Different bytes never compare equal, and the order is antisymmetric.
    EXPECT_NE(c.Compare("a\xFF", replacement), 0);
    EXPECT_EQ(c.Compare("a\xFF", "a\xFE"), -c.Compare("a\xFE", "a\xFF"));
    // Long text and characters beyond the basic plane make complete keys.
    const std::string longText(5000, 'x');
    EXPECT_TRUE(KeyLess(c, longText, longText + "y"));
    EXPECT_NE(c.SortKey("\xF0\x9F\x8E\xB5"), c.SortKey("\xF0\x9F\x8E\xB6"));
}

TEST(Collation, ArenaKeysMatchSingleKeys)
{
    const Collation c("C");
    SortKeyArena arena(c);
    const std::vector<std::string> texts = {"Zeta", "", "alpha", "a\xFF", std::string(300, 'q')};
    for (int round = 0; round < 2; ++round) {
        arena.clear();
        for (const std::string& t : texts)
            arena.add(t);
        ASSERT_EQ(arena.size(), texts.size());
        for (std::uint32_t i = 0; i < texts.size(); ++i)
            EXPECT_EQ(arena.key(i), c.SortKey(texts[i]));
        EXPECT_EQ(arena.compare(0, 2), 1);
        EXPECT_EQ(arena.compare(1, 0), -1);
    }
}

} // namespace
} // namespace quillon
