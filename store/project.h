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
// it since the program loaded it: the name and the bytes of every kind file.
// Comparing the bytes catches every change, also one that keeps a file's size
// and time; the bytes are at hand anyway when the folder is loaded.
struct KindSnapshot {
    struct Stamp {
        std::string name;
        bool readable = false;
        ByteBuffer content; // when readable
        bool operator==(const Stamp&) const = default;
    };
    bool taken = false;
    std::vector<Stamp> files;
    bool operator==(const KindSnapshot&) const = default;

    // Adds a file in listing order, with what reading it returned.
    void Add(std::string name, Result<ByteBuffer> read);
};

// The kind files of a folder, each read (an empty snapshot for a missing folder).
Result<KindSnapshot> TakeSnapshot(FileSystem& fs, const std::optional<std::string>& folder, const std::string& prefix);

// The names of the files that differ between two snapshots, for a message.
std::string DescribeChanges(const KindSnapshot& before, const KindSnapshot& now);

} // namespace vel
