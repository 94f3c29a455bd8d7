#pragma once

// Runs the command line in process on a test project and keeps what it
// wrote and the exit status it gave.

#include "app/command_line.h"
#include "tests/support/test_project.h"

#include <istream>
#include <sstream>
#include <string>
#include <vector>

namespace vel::test {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// `args` run with "--project" and the project's folder before them; `in` is
// what "-" reads.
inline Outcome Vel(TestProject& project, std::vector<std::string> args, FileSystem* fs = &RealFileSystem(),
                   std::istream* in = nullptr)
{
    args.insert(args.begin(), {"--project", project.path()});
    std::ostringstream out, err;
    const int status = RunCommand(ParseCommandLine(args), out, err, CommandServices{fs, &project.server, in});
    return {status, out.str(), err.str()};
}

} // namespace vel::test
