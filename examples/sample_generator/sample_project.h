#pragma once

// The bundled sample project (examples/Project): eight route profiles with
// weekly schedules and six receivers, one of them still in the older file
// version 3. Built from code, so the binary files can be regenerated at any
// time and always come out byte for byte the same.

#include "base/bytes.h"
#include "base/file_system.h"
#include "base/result.h"

#include <string>
#include <utility>
#include <vector>

namespace vel {

// Relative path ("Profiles/Profile_0001.dat") and content of every file.
Result<std::vector<std::pair<std::string, ByteBuffer>>> SampleProjectFiles();

// Writes the sample project into `projectDir` (created when missing). Profile
// and receiver files already there are replaced; no other file is touched.
Status WriteSampleProject(FileSystem& fs, const std::string& projectDir);

} // namespace vel
