#pragma once

// The project directory and its numbered record files. Projects are copied
// from Windows machines, so kind folders and file names are matched without
// regard to case, and listings are sorted so that every load is deterministic.

#include "base/file_system.h"
#include "base/result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vel {

// The program's directory + "/Project/", used as formed.
std::string MakeProjectPath(const std::string& applicationDirectory);

// The project path as the program works with it: absolute (a relative path
// is taken from the working folder now, without its leading "./") and ending
// in "/". Suite makes it so, once; everything else takes it as it is.
std::string NormalProjectPath(const std::string& path);

// "Receiver_" + 7 -> "Receiver_0007.dat": the number padded with zeros, only
// its last four characters kept.
std::string NumberedFileName(const std::string& prefix, long long number);

// What a kind of record file is: the folder below the project that holds
// its files, the prefix of their names, the largest file the record can be
// (a larger file named like one is passed over, never read), and the command
// that tells the server to reload the kind.
struct KindDescription {
    std::string kind;   // "Profiles", "Receivers"
    std::string prefix; // "Profile_", "Receiver_"
    std::uint64_t maxFileBytes = 0;
    std::string reloadCommand; // "RP:-1", "RR"
    std::string what;          // "route profiles", "receivers": the kind in a sentence
};

// Whether a name is prefix + four characters + ".dat" (any case).
bool IsKindFileName(std::string_view name, std::string_view prefix);

// The kind folder below the project: the real folder whose name matches
// `kind` without regard to case (the exact spelling first, else the first in
// byte order). An entry of that name that is a link or no folder is not
// used; `refused` then says what it is.
struct KindFolderName {
    std::optional<std::string> name;
    std::string refused;
};
Result<KindFolderName> FindKindFolder(FileSystem& fs, const Folder& project, const std::string& kind);

struct KindFile {
    std::string name;       // bare name as on disk
    std::string numberPart; // the four characters after the prefix
    FileType type = FileType::Regular;
};

// The entries of a kind folder whose names are prefix + four characters +
// ".dat" (any case), folders excepted, sorted by name (byte order).
Result<std::vector<KindFile>> ListKindFiles(FileSystem& fs, const Folder& folder, const std::string& prefix);

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
        ByteBuffer content;  // when readable
        std::string problem; // why not, when not
        bool operator==(const Stamp&) const = default;
    };
    bool taken = false;
    std::vector<Stamp> files;
    bool operator==(const KindSnapshot&) const = default;

    // Adds a file in listing order, with what reading it returned.
    void Add(std::string name, Result<ByteBuffer> read);
};

// The kind files of a folder, each read (an empty snapshot for no folder).
Result<KindSnapshot> TakeSnapshot(FileSystem& fs, const Folder* folder, const KindDescription& desc);

// A kind folder as a load finds it: every kind file with its content, or why
// it could not be read. `found` is false when the project holds no such folder
// (a missing project is an empty one); `refused` names an entry that was not
// used as the folder, and why.
struct KindFolderContent {
    struct File {
        KindFile file;
        Result<ByteBuffer> content;
    };
    bool found = false;
    std::string folderName;
    std::string refused;
    std::vector<File> files;
};
Result<KindFolderContent> ReadKindFolder(FileSystem& fs, const std::string& projectPath, const KindDescription& desc);

// The names of the files that differ between two snapshots, for a message.
std::string DescribeChanges(const KindSnapshot& before, const KindSnapshot& now);

} // namespace vel
