// Directory walk for -r.
#include "file_walk.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace velkor::cli {

namespace {

void walk_directory(const fs::path& dir, const std::function<void(const WalkItem&)>& visit) {
    std::error_code ec;
    // Each entry with its name, taken apart once rather than at every
    // comparison of the sort.
    std::vector<std::pair<std::string, fs::directory_entry>> entries;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        entries.emplace_back(it->path().filename().native(), *it);
    }
    if (ec) {
        visit({dir.string(), "cannot read the directory: " + ec.message()});
        return;
    }
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    // The entries' types come with the directory listing where the file
    // system gives them: no stat per file, except to follow a link.
    for (const auto& [name, entry] : entries) {
        if (!entry.is_symlink(ec) && entry.is_directory(ec)) {
            walk_directory(entry.path(), visit);
        } else if (has_audio_extension(name) && entry.is_regular_file(ec)) {
            visit({entry.path().string(), {}});
        }
    }
}

}  // namespace

bool has_audio_extension(const std::string& name) {
    const auto dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    std::string ext = name.substr(dot + 1);
    for (char& c : ext) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return ext == "mp3" || ext == "mp2" || ext == "mp1" || ext == "mpga";
}

void walk_files(const std::vector<std::string>& operands, bool recursive,
                const std::function<void(const WalkItem&)>& visit) {
    for (const std::string& operand : operands) {
        std::error_code ec;
        if (!fs::is_directory(fs::status(operand, ec))) {
            visit({operand, {}});  // the analysis itself reports a missing file
        } else if (recursive) {
            walk_directory(operand, visit);
        } else {
            visit({operand, "is a directory (-r walks it)"});
        }
    }
}

}  // namespace velkor::cli
