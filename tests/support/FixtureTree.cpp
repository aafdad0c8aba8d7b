#include "support/FixtureTree.h"

#include <gtest/gtest.h>

#include <QDir>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace quillon::test {

FixtureTree::FixtureTree() : m_root(m_dir.path().toStdString())
{
    if (!m_dir.isValid())
        ADD_FAILURE() << "cannot make a temporary folder";
}

// Removes a folder and all it holds by byte paths: names that are not UTF-8 have no QString
// spelling that leads back to them. Folders get their permissions back before they are read.
static void removeTree(const std::string& path)
{
    ::chmod(path.c_str(), 0755);
    if (DIR* dir = ::opendir(path.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name == "." || name == "..")
                continue;
            const std::string child = path + "/" + name;
            struct stat st;
            if (::lstat(child.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
                removeTree(child);
            else
                ::unlink(child.c_str());
        }
        ::closedir(dir);
    }
    ::rmdir(path.c_str());
}

FixtureTree::~FixtureTree()
{
    if (m_dir.isValid())
        removeTree(m_root);
}

std::string FixtureTree::path(const std::string& relative) const
{
    return relative.empty() ? m_root : m_root + "/" + relative;
}

void FixtureTree::folder(const std::string& relative)
{
    std::string built = m_root;
    std::size_t start = 0;
    while (start <= relative.size()) {
        auto slash = relative.find('/', start);
        if (slash == std::string::npos)
            slash = relative.size();
        built += "/" + relative.substr(start, slash - start);
        if (::mkdir(built.c_str(), 0755) != 0 && errno != EEXIST)
            ADD_FAILURE() << "mkdir " << built;
        start = slash + 1;
    }
}

static void makeParent(FixtureTree& tree, const std::string& relative)
{
    const auto slash = relative.rfind('/');
    if (slash != std::string::npos)
        tree.folder(relative.substr(0, slash));
}

void FixtureTree::file(const std::string& relative, const std::string& content)
{
    makeParent(*this, relative);
    const std::string full = path(relative);
    FILE* f = std::fopen(full.c_str(), "wb");
    ASSERT_NE(f, nullptr) << full;
    if (!content.empty())
        std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
}

void FixtureTree::sparseFile(const std::string& relative, std::int64_t size)
{
    makeParent(*this, relative);
    const std::string full = path(relative);
    const int fd = ::open(full.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << full;
    EXPECT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
}

void FixtureTree::symlink(const std::string& relative, const std::string& target)
{
    makeParent(*this, relative);
    EXPECT_EQ(::symlink(target.c_str(), path(relative).c_str()), 0) << relative;
}

void FixtureTree::chmod(const std::string& relative, unsigned mode)
{
    EXPECT_EQ(::chmod(path(relative).c_str(), mode), 0) << relative;
}

void FixtureTree::setModified(const std::string& relative, const std::string& localTime)
{
    std::tm tm{};
    ASSERT_EQ(std::sscanf(localTime.c_str(), "%d-%d-%d %d:%d:%d", &tm.tm_year, &tm.tm_mon,
                          &tm.tm_mday, &tm.tm_hour, &tm.tm_min, &tm.tm_sec),
              6);
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    tm.tm_isdst = -1;
    const std::time_t when = std::mktime(&tm);
    struct timeval times[2] = {{when, 0}, {when, 0}};
    EXPECT_EQ(::lutimes(path(relative).c_str(), times), 0) << relative;
}

} // namespace quillon::test
