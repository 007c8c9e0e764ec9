#include "portability/platformroot.h"

#include "portability/systemenv.h"
#include "support/testsupport.h"

#include <cstdlib>
#include <cstring>

using namespace testsupport;

namespace {

class FileEnv : public CSystemEnv {
public:
    explicit FileEnv(std::string file) : m_File(std::move(file)) {}
    std::string EnvironmentFile() const override { return m_File; }

private:
    std::string m_File;
};

// Each test decides TESSOM_ROOT of the process and the environment file; both are put back.
class PlatformRootTest : public TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        const char* value = std::getenv("TESSOM_ROOT");
        m_HadValue = value != nullptr;
        m_Value = value ? value : "";
        ::unsetenv("TESSOM_ROOT");
        m_PreviousEnv = CSystemEnv::Replace(std::make_unique<FileEnv>(Path("environment")));
        std::memset(m_Buffer, 'Z', sizeof m_Buffer);
    }
    void TearDown() override
    {
        CSystemEnv::Replace(std::move(m_PreviousEnv));
        if (m_HadValue)
            ::setenv("TESSOM_ROOT", m_Value.c_str(), 1);
        else
            ::unsetenv("TESSOM_ROOT");
        TempDirTest::TearDown();
    }

    char m_Buffer[260];
    bool m_HadValue = false;
    std::string m_Value;
    std::unique_ptr<CSystemEnv> m_PreviousEnv;
};

TEST_F(PlatformRootTest, TheProcessEnvironmentComesFirst)
{
    WriteFile(Path("environment"), "TESSOM_ROOT=/from/file\n");
    ::setenv("TESSOM_ROOT", "/from/process", 1);
    EXPECT_EQ(0, vel_os_get_platform_root(m_Buffer, sizeof m_Buffer));
    EXPECT_STREQ("/from/process", m_Buffer);
}

TEST_F(PlatformRootTest, ReadsTheEnvironmentFile)
{
    const std::pair<const char*, const char*> cases[] = {
        {"PATH=/usr/bin\nTESSOM_ROOT=/opt/tessom/r5\n", "/opt/tessom/r5"},
        {"TESSOM_ROOT=\"/opt/tessom/with blank\"\n", "/opt/tessom/with blank"},
        {"# TESSOM_ROOT=/commented\r\n  TESSOM_ROOT=/crlf \r\n", "/crlf"},
        {"TESSOM_ROOT=/first\nTESSOM_ROOT=/last", "/last"},
        {"TESSOM_ROOT=$HOME/r5\n", "$HOME/r5"},
        {"TESSOM_ROOT=\n", ""},
    };
    for (const auto& [content, expected] : cases) {
        SCOPED_TRACE(content);
        WriteFile(Path("environment"), content);
        EXPECT_EQ(0, vel_os_get_platform_root(m_Buffer, sizeof m_Buffer));
        EXPECT_STREQ(expected, m_Buffer);
    }
}

TEST_F(PlatformRootTest, NotFoundSilently)
{
    const char* contents[] = {"", "TESSOM_ROOTS=/x\nMY_TESSOM_ROOT=/y\n", "TESSOM_ROOT\n"};
    for (const char* content : contents) {
        SCOPED_TRACE(content);
        WriteFile(Path("environment"), content);
        EXPECT_EQ(kPlatformRootNotFound, vel_os_get_platform_root(m_Buffer, sizeof m_Buffer));
    }
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(kPlatformRootNotFound,
              vel_os_get_platform_root_from(Path("missing").c_str(), m_Buffer, sizeof m_Buffer));
    EXPECT_EQ(kPlatformRootNotFound,
              vel_os_get_platform_root_from(Path().c_str(), m_Buffer, sizeof m_Buffer));
    EXPECT_EQ("", ::testing::internal::GetCapturedStdout());
}

TEST_F(PlatformRootTest, CutsLongValuesToTheBuffer)
{
    ::setenv("TESSOM_ROOT", "/a/very/long/root", 1);
    EXPECT_EQ(0, vel_os_get_platform_root(m_Buffer, 8));
    EXPECT_STREQ("/a/very", m_Buffer);

    ::unsetenv("TESSOM_ROOT");
    WriteFile(Path("environment"), "TESSOM_ROOT=\"/from/the/file\"\n");
    EXPECT_EQ(0, vel_os_get_platform_root(m_Buffer, 5));
    EXPECT_STREQ("/fro", m_Buffer);
}

}  // namespace
