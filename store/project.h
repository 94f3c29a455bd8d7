#pragma once

// The project directory and its numbered record files. Projects are copied
// from Windows machines, so kind folders and file names are matched without
// regard to case, and listings are sorted so that every load is deterministic.

#include "store/file_system.h"
#include "store/result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vel {

// The program's directory + "/Project/", used as formed.
std::string MakeProjectPath(const std::string& applicationDirectory);

// "Receiver_" + 7 -> "Receiver_0007.dat": the number padded with zeros, only
// its last four characters kept.
std::string NumberedFileName(const std::string& prefix, long long number);

// The folder below the project whose name matches `kind` ("Profiles",
// "Receivers") without regard to case, or nothing when there is none.
Result<std::optional<std::string>> FindKindFolder(FileSystem& fs, const std::string& projectPath,
                                                  const std::string& kind);

struct KindFile {
    std::string name; // bare name as on disk
    std::string path; // full path
    std::string numberPart; // the four characters after the prefix
};

// Ordinary, not hidden files of a kind folder whose names are prefix + four
// characters + ".dat" (any case), sorted by name (byte order).
Result<std::vector<KindFile>> ListKindFiles(FileSystem& fs, const std::string& folder, const std::string& prefix);

// The four characters after the prefix as a number: four decimal digits only.
std::optional<std::int16_t> FileNumber(const std::string& numberPart);

} // namespace vel

namespace vel {

// What a kind folder held at one moment, to tell whether another tool changed
// it since the program loaded it.
struct KindSnapshot {
    struct Stamp {
        std::string name;
        std::uint64_t size = 0;
        std::int64_t modifiedNs = 0;
        std::uint64_t inode = 0;
        bool operator==(const Stamp&) const = default;
    };
    bool taken = false;
    std::vector<Stamp> files;
    bool operator==(const KindSnapshot&) const = default;
};

// Stamps of the kind files of a folder (an empty snapshot for a missing folder).
Result<KindSnapshot> TakeSnapshot(FileSystem& fs, const std::optional<std::string>& folder, const std::string& prefix);

// Adds the stamp of one kind file to a snapshot being built in listing order:
// from what reading it returned, or (known empty) by asking the file system.
void AddStamp(FileSystem& fs, KindSnapshot& snapshot, const KindFile& file, const FileInfo* known);

// The names of the files that differ between two snapshots, for a message.
std::string DescribeChanges(const KindSnapshot& before, const KindSnapshot& now);

} // namespace vel
