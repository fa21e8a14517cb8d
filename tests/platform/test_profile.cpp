#include "platform/Profile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/ondrel_profile_XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        m_dir = tmpl;
        m_ini = m_dir + "/ondrel.ini";
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }

    static void WriteRaw(const std::string& path, const std::string& data)
    {
        std::ofstream f(path, std::ios::binary | std::ios::trunc);
        f << data;
        ASSERT_TRUE(f.good());
    }
    static std::string ReadRaw(const std::string& path)
    {
        std::ifstream f(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), {});
    }
    // Names of everything in a folder, to check no temporary is left behind.
    static std::vector<std::string> Entries(const std::string& dir)
    {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(dir))
            names.push_back(e.path().filename().string());
        return names;
    }

    std::string m_dir;
    std::string m_ini;
};

TEST_F(ProfileTest, MissingFileSectionOrKeyGivesDefault)
{
    CProfile missingFolder(m_dir + "/no/such/folder/ondrel.ini");
    EXPECT_EQ(missingFolder.GetProfileInt("A", "x", 42), 42);
    EXPECT_EQ(missingFolder.GetProfileString("A", "x", "dflt"), "dflt");
    EXPECT_FALSE(fs::exists(m_dir + "/no"));  // reading creates nothing

    WriteRaw(m_ini, "[A]\nx=1\n");
    CProfile p(m_ini);
    EXPECT_EQ(p.GetPath(), m_ini);
    EXPECT_EQ(p.GetProfileInt("B", "x", -5), -5);
    EXPECT_EQ(p.GetProfileInt("A", "y", 9), 9);
    EXPECT_EQ(p.GetProfileString("A", "y", "d"), "d");
    // An empty value is present, not missing.
    WriteRaw(m_ini, "[A]\nx=\n");
    EXPECT_EQ(p.GetProfileString("A", "x", "d"), "");
}

TEST_F(ProfileTest, ReadRules)
{
    WriteRaw(m_ini,
             "orphan=before any section\n"
             "; comment=not a key\n"
             "# also=not a key\n"
             "[Audio]\n"
             "  Rate  =  44100  \n"
             "Path=a=b=c\n"
             "Quoted=\"  padded  \"\n"
             "Half=\"open\n"
             "Rate=999\n"
             "\n"
             "[ Spaced ]\n"
             "Name=\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e\n"
             "[audio]\n"
             "Later=from the second audio section\n"
             "Rate=777\n"
             "[Broken\n"
             "k=v");  // no final newline
    CProfile p(m_ini);
    struct Case {
        const char* section;
        const char* key;
        std::optional<std::string> expected;  // nullopt: default returned
    } cases[] = {
        {"AUDIO", "rate", "44100"},  // case-insensitive, trimmed, first duplicate wins
        {"audio", "PATH", "a=b=c"},
        {"Audio", "Quoted", "  padded  "},
        {"Audio", "Half", "\"open"},
        {"Spaced", "name", "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e"},
        {"Audio", "Later", "from the second audio section"},
        {"Broken", "k", "v"},
        {"Audio", "orphan", std::nullopt},
        {"Audio", "; comment", std::nullopt},
        {"Audio", "# also", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        EXPECT_EQ(p.GetProfileString(c.section, c.key, "<default>"), c.expected.value_or("<default>"));
    }
}

TEST_F(ProfileTest, ReadsCrlfAndSeesOutsideChangesAtOnce)
{
    CProfile p(m_ini);
    WriteRaw(m_ini, "[A]\r\nx=12\r\ny=two words\r\n");
    EXPECT_EQ(p.GetProfileInt("A", "x", 0), 12);
    EXPECT_EQ(p.GetProfileString("A", "y", ""), "two words");
    WriteRaw(m_ini, "[A]\nx=13\n");  // as another running editor would
    EXPECT_EQ(p.GetProfileInt("A", "x", 0), 13);
}

TEST_F(ProfileTest, IntParsing)
{
    struct Case {
        const char* value;
        int expected;
    } cases[] = {
        {"12", 12},
        {"\" 12\"", 12},  // blanks inside quotes are skipped too
        {"-3", -3},
        {"+8", 8},
        {"abc", 0},
        {"7x", 7},
        {"", 0},
        {"-", 0},
        {"- 3", 0},
        {"0x10", 0},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},
        {"99999999999999999999999999", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-2147483649", INT_MIN},
        {"-99999999999999999999999999", INT_MIN},
    };
    CProfile p(m_ini);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        WriteRaw(m_ini, std::string("[S]\nv=") + c.value + "\n");
        EXPECT_EQ(p.GetProfileInt("S", "v", 12345), c.expected);
    }
    for (int v : {0, -1, INT_MAX, INT_MIN}) {
        ASSERT_TRUE(p.WriteProfileInt("S", "v", v));
        EXPECT_EQ(p.GetProfileInt("S", "v", 12345), v);
    }
}

TEST_F(ProfileTest, UpdateKeepsEverythingElseByteForByte)
{
    const std::string before =
        "; Ondrel settings\n"
        "\n"
        "[View]\n"
        "   Reso = 5   \n"
        "#Reso=commented\n"
        "zoom=2\n"
        "\n"
        "[Other]\n"
        "Reso=1\n"
        "odd line without equals\n";
    WriteRaw(m_ini, before);
    CProfile p(m_ini);
    ASSERT_TRUE(p.WriteProfileInt("view", "reso", 7)) << p.GetLastError();
    std::string expected = before;
    expected.replace(expected.find("   Reso = 5   "), 14, "   Reso = 7");
    EXPECT_EQ(ReadRaw(m_ini), expected);
    EXPECT_EQ(p.GetProfileInt("Other", "Reso", 0), 1);
    EXPECT_TRUE(p.GetLastError().empty());
}

TEST_F(ProfileTest, NewKeyAndNewSectionPlacement)
{
    CProfile p(m_ini);
    WriteRaw(m_ini, "top=1\n[A]\na=1\n\n\n[B]\nb=1\n; tail comment");
    ASSERT_TRUE(p.WriteProfileString("a", "new", "x"));
    ASSERT_TRUE(p.WriteProfileString("B", "new", "y"));
    ASSERT_TRUE(p.WriteProfileString("C", "k", "z"));
    EXPECT_EQ(ReadRaw(m_ini),
              "top=1\n[A]\na=1\nnew=x\n\n\n[B]\nb=1\n; tail comment\nnew=y\n\n[C]\nk=z\n");

    // Duplicate sections: a new key goes into the first one.
    WriteRaw(m_ini, "[A]\na=1\n[A]\nb=2\n");
    ASSERT_TRUE(p.WriteProfileString("A", "c", "3"));
    EXPECT_EQ(ReadRaw(m_ini), "[A]\na=1\nc=3\n[A]\nb=2\n");

    // A file ending in blank lines keeps them; the new section follows.
    WriteRaw(m_ini, "[A]\na=1\n\n");
    ASSERT_TRUE(p.WriteProfileString("B", "b", "2"));
    EXPECT_EQ(ReadRaw(m_ini), "[A]\na=1\n\n[B]\nb=2\n");
}

TEST_F(ProfileTest, CrlfFileStaysCrlf)
{
    WriteRaw(m_ini, "[A]\r\nx=1\r\n\r\n[B]\r\ny=2");
    CProfile p(m_ini);
    ASSERT_TRUE(p.WriteProfileString("A", "x", "10"));
    ASSERT_TRUE(p.WriteProfileString("A", "z", "3"));
    ASSERT_TRUE(p.WriteProfileString("B", "w", "4"));
    ASSERT_TRUE(p.WriteProfileString("C", "v", "5"));
    EXPECT_EQ(ReadRaw(m_ini), "[A]\r\nx=10\r\nz=3\r\n\r\n[B]\r\ny=2\r\nw=4\r\n\r\n[C]\r\nv=5\r\n");
}

TEST_F(ProfileTest, ValuesRoundTrip)
{
    CProfile p(m_ini);
    const std::string values[] = {
        "",
        "plain",
        "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e\xe3\x81\xae\xe5\x80\xa4",
        "a=b",
        "  leading and trailing  ",
        "\"already quoted\"",
        "\"",
        "; not a comment",
        std::string("nul\0inside", 10),
    };
    for (const std::string& v : values) {
        SCOPED_TRACE(v);
        ASSERT_TRUE(p.WriteProfileString("S", "k", v)) << p.GetLastError();
        EXPECT_EQ(p.GetProfileString("S", "k", "<default>"), v);
    }
    // One key line, updated in place each time.
    EXPECT_EQ(ReadRaw(m_ini), std::string("[S]\nk=nul\0inside\n", 17));
}

TEST_F(ProfileTest, RejectsNamesAndValuesThatCannotBeStored)
{
    WriteRaw(m_ini, "[S]\nk=1\n");
    CProfile p(m_ini);
    struct Case {
        std::string section, key, value;
    } cases[] = {
        {"", "k", "v"},       {"a]b", "k", "v"},   {" S", "k", "v"}, {"S", "", "v"},
        {"S", "a=b", "v"},    {"S", " k", "v"},    {"S", ";k", "v"}, {"S", "[k", "v"},
        {"S", "k", "two\nlines"}, {"S", "k", "cr\r"}, {"S\nT", "k", "v"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.section + "|" + c.key + "|" + c.value);
        EXPECT_FALSE(p.WriteProfileString(c.section, c.key, c.value));
        EXPECT_NE(p.GetLastError().find(m_ini), std::string::npos);
        EXPECT_EQ(ReadRaw(m_ini), "[S]\nk=1\n");
    }
}

TEST_F(ProfileTest, DeleteKey)
{
    CProfile p(m_ini);
    EXPECT_TRUE(p.DeleteProfileKey("A", "x"));  // missing file: nothing created
    EXPECT_FALSE(fs::exists(m_ini));

    const std::string before = "[A]\nx=1\ny=2\n[B]\nx=3\n[a]\nX=4\n";
    WriteRaw(m_ini, before);
    EXPECT_TRUE(p.DeleteProfileKey("A", "absent"));
    EXPECT_EQ(ReadRaw(m_ini), before);
    // All duplicates go, or the older one would come back on the next read.
    EXPECT_TRUE(p.DeleteProfileKey("a", "x"));
    EXPECT_EQ(ReadRaw(m_ini), "[A]\ny=2\n[B]\nx=3\n[a]\n");
    EXPECT_EQ(p.GetProfileInt("A", "x", -1), -1);
}

TEST_F(ProfileTest, CreatesFolderAndKeepsPermissions)
{
    const std::string nested = m_dir + "/cfg/ondrel/ondrel.ini";
    CProfile p(nested);
    ASSERT_TRUE(p.WriteProfileInt("A", "x", 1)) << p.GetLastError();
    EXPECT_EQ(ReadRaw(nested), "[A]\nx=1\n");

    struct stat st {};
    ASSERT_EQ(::stat((m_dir + "/cfg").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat((m_dir + "/cfg/ondrel").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    mode_t mask = ::umask(022);
    ::umask(mask);
    ASSERT_EQ(::stat(nested.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666u & ~mask);

    ASSERT_EQ(::chmod(nested.c_str(), 0600), 0);
    ASSERT_TRUE(p.WriteProfileInt("A", "x", 2));
    ASSERT_EQ(::stat(nested.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(ProfileTest, WritesThroughSymlink)
{
    const std::string real = m_dir + "/real.ini";
    WriteRaw(real, "[A]\nx=1\n");
    ASSERT_EQ(::symlink(real.c_str(), m_ini.c_str()), 0);
    CProfile p(m_ini);
    ASSERT_TRUE(p.WriteProfileInt("A", "x", 2));
    EXPECT_TRUE(fs::is_symlink(m_ini));
    EXPECT_EQ(ReadRaw(real), "[A]\nx=2\n");
}

TEST_F(ProfileTest, FailedWriteLeavesNoTraces)
{
    // The folder the file should live in is a regular file.
    const std::string blocker = m_dir + "/notafolder";
    WriteRaw(blocker, "x");
    CProfile blocked(blocker + "/ondrel.ini");
    EXPECT_FALSE(blocked.WriteProfileInt("A", "x", 1));
    EXPECT_EQ(blocked.GetLastError(), "cannot write " + blocker + "/ondrel.ini: Not a directory");
    EXPECT_EQ(ReadRaw(blocker), "x");

    // The target is a folder: it must not be replaced.
    fs::create_directory(m_dir + "/dir.ini");
    CProfile dirTarget(m_dir + "/dir.ini");
    EXPECT_FALSE(dirTarget.WriteProfileInt("A", "x", 1));
    EXPECT_NE(dirTarget.GetLastError().find(m_dir + "/dir.ini"), std::string::npos);
    EXPECT_TRUE(fs::is_directory(m_dir + "/dir.ini"));

    // Writing the temporary fails half way (file size limit): the old file
    // stays as it was and the partial temporary is removed. The limit works
    // for root too, unlike folder permissions.
    const std::string old = "[A]\nx=1\n";
    WriteRaw(m_ini, old);
    CProfile p(m_ini);
    rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    bool ok = p.WriteProfileString("A", "big", std::string(100000, 'v'));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(ok);
    EXPECT_EQ(p.GetLastError(), "cannot write " + m_ini + ": File too large");
    EXPECT_EQ(ReadRaw(m_ini), old);

    std::vector<std::string> entries = Entries(m_dir);
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, (std::vector<std::string>{"dir.ini", "notafolder", "ondrel.ini"}));
}

TEST_F(ProfileTest, HostileContent)
{
    // Binary garbage with NULs, a stray ']' header, a huge line: reads give
    // defaults, and a write keeps the garbage exactly.
    std::string garbage;
    for (int i = 0; i < 4096; ++i)
        garbage.push_back(static_cast<char>((i * 7919) & 0xff));
    garbage += std::string("\n[\0]\n=\n[]=x\n", 11);
    garbage += std::string(4u << 20, 'k');
    garbage += "=v";
    WriteRaw(m_ini, garbage);
    CProfile p(m_ini);
    EXPECT_EQ(p.GetProfileInt("A", "x", 3), 3);
    ASSERT_TRUE(p.WriteProfileInt("A", "x", 4)) << p.GetLastError();
    EXPECT_EQ(p.GetProfileInt("A", "x", 3), 4);
    std::string after = ReadRaw(m_ini);
    ASSERT_GE(after.size(), garbage.size());
    EXPECT_EQ(after.compare(0, garbage.size(), garbage), 0);

    // A FIFO where the file should be must not block; an oversized file is
    // refused rather than read or replaced.
    const std::string fifo = m_dir + "/fifo.ini";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    CProfile f(fifo);
    EXPECT_EQ(f.GetProfileInt("A", "x", 5), 5);
    EXPECT_FALSE(f.WriteProfileInt("A", "x", 1));

    const std::string huge = m_dir + "/huge.ini";
    WriteRaw(huge, "[A]\nx=1\n" + std::string(17u << 20, ';'));
    CProfile h(huge);
    EXPECT_EQ(h.GetProfileInt("A", "x", 5), 5);
    EXPECT_FALSE(h.WriteProfileInt("A", "x", 2));
    EXPECT_EQ(h.GetLastError(), "cannot read " + huge + ": file too large");
}

// Sets or unsets an environment variable for one scope.
class EnvGuard {
public:
    explicit EnvGuard(const char* name)
        : m_name(name)
    {
        if (const char* v = std::getenv(name))
            m_saved = v;
    }
    ~EnvGuard()
    {
        if (m_saved)
            ::setenv(m_name, m_saved->c_str(), 1);
        else
            ::unsetenv(m_name);
    }
    void Set(const char* value)
    {
        if (value)
            ::setenv(m_name, value, 1);
        else
            ::unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_saved;
};

TEST(ProfileDefaultPath, XdgConfigHomeThenHome)
{
    EnvGuard xdg("XDG_CONFIG_HOME");
    EnvGuard home("HOME");
    home.Set("/home/tester");
    struct Case {
        const char* xdg;
        const char* expected;
    } cases[] = {
        {"/xdg/cfg", "/xdg/cfg/ondrel/ondrel.ini"},
        {"/xdg/cfg/", "/xdg/cfg/ondrel/ondrel.ini"},
        {nullptr, "/home/tester/.config/ondrel/ondrel.ini"},
        {"", "/home/tester/.config/ondrel/ondrel.ini"},
        {"relative/cfg", "/home/tester/.config/ondrel/ondrel.ini"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.xdg ? c.xdg : "(unset)");
        xdg.Set(c.xdg);
        EXPECT_EQ(CProfile::DefaultPath(), c.expected);
    }
}

}  // namespace
