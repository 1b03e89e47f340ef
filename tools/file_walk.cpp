// Directory walk for -r.
#include "file_walk.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace velkor::cli {

namespace {

void walk_directory(const fs::path& dir, std::vector<WalkItem>& items) {
    std::error_code ec;
    std::vector<fs::path> entries;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        entries.push_back(it->path());
    }
    if (ec) {
        items.push_back({dir.string(), "cannot read the directory: " + ec.message()});
        return;
    }
    std::sort(entries.begin(), entries.end(), [](const fs::path& a, const fs::path& b) {
        return a.filename().native() < b.filename().native();
    });
    for (const fs::path& entry : entries) {
        const fs::file_status link = fs::symlink_status(entry, ec);
        if (!ec && fs::is_directory(link)) {
            walk_directory(entry, items);
        } else if (has_audio_extension(entry.filename().string()) &&
                   fs::is_regular_file(fs::status(entry, ec))) {
            items.push_back({entry.string(), {}});
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

std::vector<WalkItem> collect_files(const std::vector<std::string>& operands, bool recursive) {
    std::vector<WalkItem> items;
    for (const std::string& operand : operands) {
        std::error_code ec;
        if (!fs::is_directory(fs::status(operand, ec))) {
            items.push_back({operand, {}});  // the analysis itself reports a missing file
        } else if (recursive) {
            walk_directory(operand, items);
        } else {
            items.push_back({operand, "is a directory (-r walks it)"});
        }
    }
    return items;
}

}  // namespace velkor::cli
