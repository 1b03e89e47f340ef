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
    std::vector<fs::directory_entry> entries;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        entries.push_back(*it);
    }
    if (ec) {
        visit({dir.string(), "cannot read the directory: " + ec.message()});
        return;
    }
    std::sort(entries.begin(), entries.end(), [](const fs::directory_entry& a, const fs::directory_entry& b) {
        return a.path().filename().native() < b.path().filename().native();
    });
    // The entries' types come with the directory listing where the file
    // system gives them: no stat per file, except to follow a link.
    for (const fs::directory_entry& entry : entries) {
        if (!entry.is_symlink(ec) && entry.is_directory(ec)) {
            walk_directory(entry.path(), visit);
        } else if (has_audio_extension(entry.path().filename().string()) && entry.is_regular_file(ec)) {
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
