#include "scan/Collation.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace quillon {
namespace {

// Sets LC_ALL, LC_COLLATE and LANG (null = unset) for one scope, then restores them.
class LocaleEnv {
public:
    LocaleEnv(const char* lcAll, const char* lcCollate, const char* lang)
    {
        const char* values[] = {lcAll, lcCollate, lang};
        for (int i = 0; i < 3; ++i) {
            const char* old = std::getenv(kNames[i]);
            m_had[i] = old != nullptr;
            m_old[i] = old ? old : "";
            if (values[i])
                setenv(kNames[i], values[i], 1);
            else
                unsetenv(kNames[i]);
        }
    }
    ~LocaleEnv()
    {
        for (int i = 0; i < 3; ++i)
            if (m_had[i])
                setenv(kNames[i], m_old[i].c_str(), 1);
            else
                unsetenv(kNames[i]);
    }

private:
    static constexpr const char* kNames[] = {"LC_ALL", "LC_COLLATE", "LANG"};
    bool m_had[3];
    std::string m_old[3];
};

bool KeyLess(const Collation& c, std::string_view a, std::string_view b)
{
    return Collation::CompareKeys(c.SortKey(a), c.SortKey(b)) < 0;
}

TEST(Collation, CaseIgnoredAccentsAndSignsCount)
{
    const Collation c("C");
    EXPECT_EQ(c.SortKey("MUSIC/"), c.SortKey("music/"));
    EXPECT_NE(c.SortKey("resume"), c.SortKey("r\xC3\xA9sum\xC3\xA9"));
    EXPECT_NE(c.SortKey("a-b"), c.SortKey("ab")); // punctuation is not ignored
    EXPECT_TRUE(KeyLess(c, "alpha", "Beta"));
    for (const char* sign : {"|", "$", "/", "_", "#", "(", " "}) {
        EXPECT_TRUE(KeyLess(c, sign, "0")) << sign;
        EXPECT_TRUE(KeyLess(c, sign, "a")) << sign;
    }
    EXPECT_TRUE(KeyLess(c, "9", "a"));
    // Equal keys fall back to the bytes, so the order is total.
    EXPECT_EQ(c.Compare("Beta", "beta"), -1);
    EXPECT_EQ(c.Compare("beta", "Beta"), 1);
    EXPECT_EQ(c.Compare("beta", "beta"), 0);
}

TEST(Collation, PosixLocalesUseRootRules)
{
    for (const char* name : {"C", "POSIX", "C.UTF-8", ""}) {
        const LocaleEnv env(name, nullptr, nullptr);
        const Collation c;
        EXPECT_EQ(c.localeName(), "root") << name;
        EXPECT_TRUE(KeyLess(c, "a", "B")) << name; // byte order would not do this
        EXPECT_TRUE(KeyLess(c, "|", "a")) << name;
    }
    EXPECT_EQ(Collation("en_US_POSIX").localeName(), "root");
}

TEST(Collation, FollowsLocaleVariablesInPrecedence)
{
    const std::string aUmlaut = "\xC3\xA4"; // Swedish sorts it after z, root beside a
    {
        const LocaleEnv env("", "sv_SE.UTF-8", "C");
        EXPECT_EQ(Collation::LocaleFromEnvironment(), "sv_SE.UTF-8");
        EXPECT_TRUE(KeyLess(Collation(), "z", aUmlaut));
    }
    {
        const LocaleEnv env("C", "sv_SE.UTF-8", "sv_SE.UTF-8");
        EXPECT_TRUE(KeyLess(Collation(), aUmlaut, "z"));
    }
    {
        const LocaleEnv env(nullptr, nullptr, "sv_SE.UTF-8@euro");
        EXPECT_TRUE(KeyLess(Collation(), "z", aUmlaut));
    }
}

TEST(Collation, InvalidUtf8CollatesAsReplacementCharacter)
{
    const Collation c("C");
    const std::string replacement = "a\xEF\xBF\xBD";
    EXPECT_EQ(c.SortKey("a\xFF"), c.SortKey(replacement));
    EXPECT_EQ(c.SortKey("a\xC3"), c.SortKey(replacement)); // truncated sequence
    EXPECT_NE(c.Compare("a\xFF", replacement), 0);
    EXPECT_EQ(c.Compare("a\xFF", "a\xFE"), -c.Compare("a\xFE", "a\xFF"));
    // Long texts and characters beyond the basic plane give complete keys.
    const std::string longText(5000, 'x');
    EXPECT_TRUE(KeyLess(c, longText, longText + "y"));
    EXPECT_NE(c.SortKey("\xF0\x9F\x8E\xB5"), c.SortKey("\xF0\x9F\x8E\xB6"));
}

} // namespace
} // namespace quillon

namespace quillon {

TEST(Collation, DirectComparisonOrdersAsTheSortKeys)
{
    // The record sort compares decoded texts directly, and ASCII texts by their weights where
    // the locale allows; both must agree with the keys everywhere, also where a locale joins
    // letters ("ch" in Czech, "aa" in Danish) or ignores control characters.
    // ASCII first: even texts take only those.
    const std::string alphabet[] = {
        "a", "A", "b", "e", "|", "_", "-",    " ",  "0", "9", "$",        "#",    "(",       "z",
        "Z", "/", ".", "c", "h", "C", "\x01", "\t", "l", "~", "\xC3\xA9", "\xFF", "\xE2\x82"};
    const std::size_t asciiCount = std::size(alphabet) - 3;
    for (const char* locale : {"en_US", "C", "cs_CZ", "da_DK", "es_ES", "ja_JP"}) {
        const Collation collation(locale);
        std::srand(7);
        std::vector<std::string> texts;
        for (int i = 0; i < 300; ++i) {
            std::string text;
            for (int n = std::rand() % 7; n >= 0; --n)
                text += alphabet[std::rand() % (i % 2 ? std::size(alphabet) : asciiCount)];
            texts.push_back(text);
        }
        CollationTexts decoded(collation);
        for (const std::string& text : texts)
            decoded.add(text);
        for (std::uint32_t a = 0; a < texts.size(); ++a) {
            for (std::uint32_t b = 0; b < texts.size(); b += 7) {
                const int byKeys = Collation::CompareKeys(collation.SortKey(texts[a]),
                                                          collation.SortKey(texts[b]));
                ASSERT_EQ(decoded.compare(a, b), byKeys)
                    << locale << ": " << texts[a] << " / " << texts[b];
            }
        }
    }
}

} // namespace quillon

namespace quillon {

TEST(Collation, ASharedFolderPartDecidesNothing)
{
    // List In Details leaves the folder, which every key of a folder shares, out of its sort
    // texts. That keeps the order wherever accents are not compared from the end.
    const std::string folder = "/home/Ch\xC3\xA9z Ll\xC3\xB6/(1) x_y/";
    const std::string names[] = {
        "a",  "A.txt", "\xC3\xA9t\xC3\xA9", "ete", "ch",   "c h", "ll",  "_b",
        "-b", "b c",   "\xC3\xA5",          "aa",  "\xFF", "#1",  "(1)", "z?",
        "Z"};
    for (const char* locale : {"C", "en_US", "de_DE", "sv_SE", "cs_CZ", "es_ES", "ja_JP"}) {
        const Collation collation(locale);
        ASSERT_FALSE(collation.comparesAccentsBackwards()) << locale;
        for (const std::string& a : names) {
            for (const std::string& b : names) {
                const auto order = [&](const std::string& shared) {
                    return Collation::CompareKeys(
                        collation.SortKey(shared + "?" + a + "?000000000000012"),
                        collation.SortKey(shared + "?" + b + "?000000000000012"));
                };
                const auto bySize = [&](const std::string& shared) {
                    return Collation::CompareKeys(
                        collation.SortKey("000000000000012?" + shared + "?" + a),
                        collation.SortKey("000000000000012?" + shared + "?" + b));
                };
                ASSERT_EQ(order(folder), order("")) << locale << ": " << a << " / " << b;
                ASSERT_EQ(bySize(folder), bySize("")) << locale << ": " << a << " / " << b;
            }
        }
    }
    EXPECT_TRUE(Collation("fr_CA").comparesAccentsBackwards());
}

} // namespace quillon

namespace quillon {

TEST(Collation, AccentedLatinNamesOrderAsTheSortKeys)
{
    // Latin letters that share an ASCII letter's first level are weighed as that letter;
    // the rest (own letters, expansions, ignorables, the middle dot that "l" joins in some
    // rules, other scripts, combining marks, broken bytes) hand over to the collator.
    const std::string pieces[] = {"a",        "e",        "l",        "L",        "o",
                                  "s",        " ",        "-",        "0",        "\xC3\xA9",
                                  "\xC3\x89", "\xC3\xAB", "\xC3\xB8", "\xC3\xA5", "\xC3\xA4",
                                  "\xC3\xA6", "\xC3\x9F", "\xC5\x82", "\xC2\xB7", "\xC2\xAD",
                                  "\xC2\xA0", "\xC2\x85", "\xC7\x86", "\xC4\xB3", "\xCE\xB1",
                                  "\xCC\x81", "\xCC\x8A", "\xC9",     "\xC4\xB1"};
    std::vector<std::string> texts;
    for (const std::string& first : pieces) {
        for (const std::string& second : pieces) {
            texts.push_back(first + second);
            texts.push_back("x" + first + second + "e");
        }
    }
    for (const char* locale : {"en_US", "C", "sv_SE", "da_DK", "fr_CA", "pl_PL", "tr_TR"}) {
        const Collation collation(locale);
        CollationTexts weighed(collation);
        std::vector<std::string> keys;
        for (const std::string& text : texts) {
            weighed.add(text);
            keys.push_back(collation.SortKey(text));
        }
        for (std::uint32_t a = 0; a < texts.size(); ++a) {
            for (std::uint32_t b = a % 7; b < texts.size(); b += 7) {
                ASSERT_EQ(weighed.compare(a, b), Collation::CompareKeys(keys[a], keys[b]))
                    << locale << ": " << texts[a] << " / " << texts[b];
            }
        }
    }
}

} // namespace quillon
