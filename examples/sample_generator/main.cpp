// Writes the sample project. Usage: vel_sample_generator PROJECT_DIR
// (the repository's copy is examples/Project).

#include "examples/sample_generator/sample_project.h"

#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: vel_sample_generator PROJECT_DIR\n";
        return 2;
    }
    const vel::Status written = vel::WriteSampleProject(vel::RealFileSystem(), argv[1]);
    if (!written) {
        std::cerr << "vel_sample_generator: " << written.error().message << '\n';
        return 1;
    }
    std::cout << "sample project written to " << argv[1] << '\n';
    return 0;
}
