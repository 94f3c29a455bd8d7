#include "base/server_command.h"

#include "tests/support/test_util.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace vel {
namespace {

TEST(ServerCommand, StandInLibraryReceivesTheCommands)
{
    test::TempDir dir;
    const std::string logFile = dir / "commands.log";
    ::setenv("VELTRA2_COMMAND_LOG", logFile.c_str(), 1);
    Veltra2Library lib(VEL_STANDIN_LIBRARY);
    ASSERT_TRUE(lib.SetCommandEntry("RR", 0).ok());
    ASSERT_TRUE(lib.SetCommandEntry("RP:-1", 0).ok());
    ::unsetenv("VELTRA2_COMMAND_LOG");
    const ByteBuffer text = test::ReadBytes(logFile);
    EXPECT_EQ(std::string(text.begin(), text.end()), "RR\t0\nRP:-1\t0\n");
}

TEST(ServerCommand, TheEnvironmentNamesTheLibrary)
{
    test::TempDir dir;
    const std::string logFile = dir / "commands.log";
    ::setenv("VELTRA2_COMMAND_LOG", logFile.c_str(), 1);
    ::setenv("VELTRA2_LIBRARY", VEL_STANDIN_LIBRARY, 1);
    Veltra2Library lib;
    EXPECT_TRUE(lib.SetCommandEntry("RR", 0).ok());
    ::unsetenv("VELTRA2_LIBRARY");
    ::unsetenv("VELTRA2_COMMAND_LOG");
    EXPECT_TRUE(test::Exists(logFile));
}

TEST(ServerCommand, MissingLibraryOrExportIsReported)
{
    Veltra2Library missing("/nonexistent/libVeltra2.so");
    Status s = missing.SetCommandEntry("RR", 0);
    ASSERT_FALSE(s.ok());
    EXPECT_EQ(s.error().code, ErrorCode::NotAvailable);
    // Asked again, it fails again rather than pretending.
    EXPECT_FALSE(missing.SetCommandEntry("RR", 0).ok());

    Veltra2Library noExport("libm.so.6");
    Status e = noExport.SetCommandEntry("RR", 0);
    ASSERT_FALSE(e.ok());
    EXPECT_NE(e.error().message.find("SetCommandEntry"), std::string::npos);
}

} // namespace
} // namespace vel
