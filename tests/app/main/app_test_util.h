#pragma once

// Projects on disk for the tests of the commands, the window and the
// command line.

#include "project/suite.h"
#include "tests/store/test_util.h"

#include <memory>
#include <string>
#include <vector>

namespace vel::test {

// A temporary project folder with Profiles/ and Receivers/.
class TestProject {
public:
    TestProject();
    const std::string& path() const { return m_dir.path(); }
    std::string operator/(const std::string& rel) const { return m_dir / rel; }

    void AddProfile(std::int16_t number, const AnsiText& name, std::int16_t enabled = -1,
                    const AnsiText& list1 = {}, const AnsiText& list2 = {});
    void AddReceiver(std::int16_t number, const AnsiText& name, std::int16_t enabled = -1);
    // A copy of the files of another project folder.
    void CopyFrom(const std::string& folder);

    // A suite on this project with a recording server and a recording log;
    // loaded unless asked not to.
    std::unique_ptr<Suite> Open(bool load = true, FileSystem* fs = &RealFileSystem());

    RecordingServer server;
    LogRecorder log;

private:
    TempDir m_dir;
};

} // namespace vel::test
