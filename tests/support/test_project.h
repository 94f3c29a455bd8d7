#pragma once

// Projects on disk for the tests of the stores, the commands, the window and
// the command line.

#include "project/suite.h"
#include "tests/support/share_file_system.h"
#include "tests/support/test_util.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vel::test {

// Finishes or throws away what interrupted saves left in the project, as
// the program does at start-up.
Status Recover(const std::string& projectPath);

// Kills a child process at file operation k = 1, 2, ... of `save` (which runs
// in the child, is handed the counting file system to save through, and
// returns whether it wrote), until a save runs to its end. Before each run
// `folder` is laid out as `before`; after each, what an interrupted save left
// is finished by the recovery step, and the folder must hold exactly `before`
// or exactly `after`. Expects at least `minRuns` runs and the new set seen.
// `checked`, when given, looks at the project after each run and its
// recovery, told the operation killed at and whether the new set is in place.
void KillAtEveryOperation(const std::string& projectPath, const std::string& folder,
                          const std::map<std::string, ByteBuffer>& before,
                          const std::map<std::string, ByteBuffer>& after, const std::function<bool(FileSystem&)>& save,
                          long minRuns, const std::function<void(long k, bool newSet)>& checked = {});

// A temporary project folder with Profiles/ and Receivers/.
class TestProject {
public:
    TestProject();
    const std::string& path() const { return m_dir.path(); }
    std::string operator/(const std::string& rel) const { return m_dir / rel; }

    void AddProfile(std::int16_t number, const AnsiText& name, std::int16_t enabled = -1, const AnsiText& list1 = {},
                    const AnsiText& list2 = {});
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

// The project of the tests on a ShareDisk.
inline constexpr const char* ShareProject = "/project";

// Lays out at ShareProject, durably, receivers "alpha", "beta", "carol" and
// profiles "north" (listing alpha and beta) and "south" (listing beta); with
// windowsCase its folders and files are named in capitals
// ("RECEIVERS/RECEIVER_0000.DAT"), as Windows tools leave them.
void LayOutShareProject(ShareDisk& disk, bool windowsCase = false);

// The exit status the command line gives a save's report.
int SaveExitStatus(const SaveReport& report);

// rename-receiver and rename-profile as the command line runs them on a
// loaded suite: the rename, then the save; the exit status (1 when the
// rename itself is refused), and the save's report where asked.
int RenameReceiverAndSave(Suite& suite, const std::string& from, const std::string& to, SaveReport* report = nullptr);
int RenameProfileAndSave(Suite& suite, const std::string& from, const std::string& to, SaveReport* report = nullptr);

// One desk of a shared project: its own mount of the disk, who it is, its
// clock, server and notices. Its saves do not wait for another desk's lock.
struct ShareDesk {
    // The program runs as `process`, the only one of the desk that runs.
    explicit ShareDesk(ShareDisk& disk, const std::string& user = "alice", const std::string& host = "desk-1",
                       long process = 100);
    // A suite on the project, through `fs` (the desk's mount when null),
    // loaded (which finishes interrupted saves) unless asked not to.
    std::unique_ptr<Suite> Open(FileSystem* fs = nullptr, bool load = true);
    bool Told(const std::string& part) const;

    ShareClient mount;
    TestDesks desks;
    TestClock clock;
    RecordingServer server;
    LogRecorder told;
};

} // namespace vel::test
