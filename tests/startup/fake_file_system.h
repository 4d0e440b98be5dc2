// An in-memory file system for the start-up tests: files with attributes, folders,
// folders that refuse writes, and a choice of separator.
#pragma once

#include "startup/file_system.h"

#include <algorithm>
#include <map>
#include <set>
#include <string>

namespace velmora::testing {

class FakeFileSystem final : public FileSystem {
public:
    explicit FakeFileSystem(char separator = '\\') : sep_(separator) {}

    void addFolder(const std::string& path) { folders_.insert(path); }
    void addFile(const std::string& path, std::string bytes = {}, std::uint32_t attributes = AttrArchive)
    {
        files_[path] = {std::move(bytes), attributes};
    }
    void removeFile(const std::string& path) { files_.erase(path); }
    void refuseWritesIn(const std::string& folder) { readOnlyFolders_.insert(folder); }
    const std::string* contents(const std::string& path) const
    {
        auto it = files_.find(path);
        return it == files_.end() ? nullptr : &it->second.bytes;
    }
    std::map<std::string, std::string> shortNames; // long path -> short path
    // Lists a folder in reverse name order, as a real file system may (hash order), so that
    // an order the caller should make is not made by the listing already.
    bool listReversed = false;

    char separator() const override { return sep_; }

    std::vector<FoundFile> findFiles(const std::string& pattern) override
    {
        std::vector<FoundFile> out;
        const auto cut = pattern.rfind(sep_);
        std::string folder = pattern.substr(0, cut);
        while (folder.size() > 1 && folder.back() == sep_)
            folder.pop_back(); // "C:\\" reaches the same folder as "C:\"
        const std::string wildcard = pattern.substr(cut + 1);
        if (!folders_.count(folder))
            return out;
        if (match(wildcard, "."))
            out.push_back({".", AttrDirectory});
        for (const auto& [path, file] : files_) {
            if (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == sep_) {
                const std::string name = path.substr(folder.size() + 1);
                if (name.find(sep_) == std::string::npos && match(wildcard, name))
                    out.push_back({name, file.attributes});
            }
        }
        if (listReversed)
            std::reverse(out.begin(), out.end());
        return out;
    }
    bool canOpenForReading(const std::string& path) override { return files_.count(path) != 0; }
    bool fileExists(const std::string& path) override { return files_.count(path) != 0; }
    FileRead readFile(const std::string& path, std::size_t limit) override
    {
        auto it = files_.find(path);
        if (it == files_.end())
            return {ReadStatus::Missing, {}};
        if (it->second.bytes.size() > limit)
            return {ReadStatus::Failed, {}, true};
        if (unreadable.count(path))
            return {ReadStatus::Failed, {}};
        return {ReadStatus::Ok, it->second.bytes};
    }
    Result<void, WriteProblem> replaceFile(const std::string& path, std::string_view bytes) override
    {
        const std::string folder = path.substr(0, path.rfind(sep_));
        const auto old = files_.find(path);
        if (!folders_.count(folder))
            return WriteProblem::Failed;
        if (old != files_.end() && (old->second.attributes & AttrReadOnly))
            return WriteProblem::ReadOnly;
        if (otherOwners.count(path))
            return WriteProblem::OtherOwner;
        if (readOnlyFolders_.count(folder))
            return WriteProblem::FolderClosed;
        files_[path] = {std::string(bytes), AttrArchive};
        return {};
    }
    void removeTemporaries(const std::string& path) override
    {
        const std::string prefix = path + std::string(TemporaryMark);
        std::erase_if(files_, [&](const auto& file) { return file.first.rfind(prefix, 0) == 0; });
    }
    bool makeFolders(const std::string& path) override
    {
        folders_.insert(path);
        return true;
    }
    std::optional<std::string> shortPath(const std::string& path) override
    {
        auto it = shortNames.find(path);
        return it == shortNames.end() ? std::nullopt : std::optional<std::string>(it->second);
    }

    std::set<std::string> unreadable;
    std::set<std::string> otherOwners;

private:
    static bool match(std::string_view p, std::string_view n)
    {
        if (p == "*.*")
            return true;
        if (p.empty())
            return n.empty();
        if (p[0] == '*')
            return match(p.substr(1), n) || (!n.empty() && match(p, n.substr(1)));
        auto up = [](char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; };
        return !n.empty() && (p[0] == '?' || up(p[0]) == up(n[0])) && match(p.substr(1), n.substr(1));
    }

    struct File {
        std::string bytes;
        std::uint32_t attributes;
    };
    char sep_;
    std::map<std::string, File> files_;
    std::set<std::string> folders_;
    std::set<std::string> readOnlyFolders_;
};

} // namespace velmora::testing
