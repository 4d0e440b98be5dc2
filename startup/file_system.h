// What the start-up code asks of the platform's file system: wildcard searches with
// attributes, whole-file reads and replacements. Paths are UTF-8.
#pragma once

#include "startup/result.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// Attribute bits as the Windows file system reports them; the POSIX file system maps
// a dot-file to Hidden, no owner write permission to ReadOnly and special files to System.
enum FileAttribute : std::uint32_t {
    AttrReadOnly = 0x1,
    AttrHidden = 0x2,
    AttrSystem = 0x4,
    AttrDirectory = 0x10,
    AttrArchive = 0x20,
};

// An entry with any of these is not a file the catalogue takes.
inline constexpr std::uint32_t AttrNotPlainFile = AttrDirectory | AttrHidden | AttrSystem;

struct FoundFile {
    std::string name; // the name only, without the folder
    std::uint32_t attributes = 0;
};

enum class ReadStatus { Ok, Missing, Failed };

struct FileRead {
    ReadStatus status = ReadStatus::Missing;
    std::string bytes;
    bool tooLarge = false; // Failed because the file is larger than the limit
};

// Why a replacement did not happen. A file that is read-only or someone else's is left
// alone even where the folder would let it be replaced.
enum class WriteProblem { ReadOnly, OtherOwner, FolderClosed, Failed };

// What a replacement's temporary file carries after the target's name. A file named so is
// ours: one a killed save left behind is removed by the next save or start.
inline constexpr std::string_view TemporaryMark = ".velmora-tmp-";

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // "\" on Windows, "/" on Linux.
    virtual char separator() const = 0;

    // The entries matching `pattern` (a folder, a separator and a name with * and ?
    // matched case-insensitively), in the platform's order, "." and ".." included when the
    // name matches them. Empty when the folder cannot be read.
    virtual std::vector<FoundFile> findFiles(const std::string& pattern) = 0;

    // The names of the files of `folder` matching any of `wildcards` that findFiles would
    // report with none of the folder, hidden and system attributes. The platforms read the
    // folder once and give each name once; this fallback searches once per wildcard, so a
    // name matching two of them comes twice.
    virtual std::vector<std::string> findPlainFiles(const std::string& folder, const std::vector<std::string_view>& wildcards)
    {
        std::vector<std::string> names;
        for (std::string_view wildcard : wildcards)
            for (FoundFile& found : findFiles(folder + separator() + std::string(wildcard)))
                if ((found.attributes & AttrNotPlainFile) == 0)
                    names.push_back(std::move(found.name));
        return names;
    }

    // Whether findFiles(pattern) would give any entry; may stop at the first one.
    virtual bool anyMatch(const std::string& pattern) { return !findFiles(pattern).empty(); }

    // True when the path names a file (not a folder) that can be opened for reading.
    virtual bool canOpenForReading(const std::string& path) = 0;

    virtual bool fileExists(const std::string& path) = 0;

    // The whole file, when it is a regular file; files larger than `limit` bytes read as
    // Failed with `tooLarge` set.
    virtual FileRead readFile(const std::string& path, std::size_t limit) = 0;

    // Replaces the file's contents as one step, so a failure leaves the old file intact.
    // A symbolic link is followed: its target is replaced and the link stays.
    virtual Result<void, WriteProblem> replaceFile(const std::string& path, std::string_view bytes) = 0;

    // Removes the temporary files that replacements of `path` left behind.
    virtual void removeTemporaries(const std::string&) {}

    // Creates the folder and any missing parents; true when it exists afterwards.
    virtual bool makeFolders(const std::string& path) = 0;

    // A second spelling of an existing path that the settings file's code page can hold
    // (Windows: the 8.3 short form); nullopt when the platform has none.
    virtual std::optional<std::string> shortPath(const std::string&) { return std::nullopt; }

    // A path as the user wrote it in the settings file, as this platform reads it (Linux: a
    // leading "~" is the home folder).
    virtual std::string userPath(const std::string& written) { return written; }
};

} // namespace velmora
