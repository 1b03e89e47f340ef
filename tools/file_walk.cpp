// Directory walk for -r.
#include "file_walk.h"

#include <algorithm>
#include <cstring>
#include <system_error>

#include "directory_listing.h"

namespace velkor::cli {

namespace {

const std::string kNoProblem;

// path holds the directory's path on the way in and on the way out; in
// between it is extended by each entry's name in turn, so that building a
// file's path costs no allocation.
void walk_directory(std::string& path, const std::function<void(const WalkItem&)>& visit) {
    DirectoryListing listing;
    if (const int error = list_directory(path.c_str(), listing)) {
        visit({path, "cannot read the directory: " + std::generic_category().message(error)});
        return;
    }
    const char* const names = listing.names.data();
    std::sort(listing.entries.begin(), listing.entries.end(),
              [names](const DirectoryListing::Entry& a, const DirectoryListing::Entry& b) {
                  return std::strcmp(names + a.name, names + b.name) < 0;
              });

    const std::size_t dir_length = path.size();
    // "dir/" + name, with no second separator behind one the operand has.
    if (dir_length > 0 && path.back() != '/') path += '/';
    const std::size_t name_at = path.size();
    for (const DirectoryListing::Entry& entry : listing.entries) {
        const char* name = listing.name_of(entry);
        path.replace(name_at, std::string::npos, name);
        EntryType type = entry.type;
        if (type == EntryType::kUnknown) type = file_type(path.c_str(), false);
        if (type == EntryType::kDirectory) {
            walk_directory(path, visit);
        } else if (has_audio_extension(name)) {
            // A link counts as the file it leads to (a link to a directory
            // is not walked).
            if (type == EntryType::kSymlink) type = file_type(path.c_str(), true);
            if (type == EntryType::kRegular) visit({path, kNoProblem});
        }
    }
    path.resize(dir_length);
}

bool is_directory(const std::string& path) {
    return file_type(path.c_str(), true) == EntryType::kDirectory;
}

}  // namespace

bool has_audio_extension(std::string_view name) {
    const auto dot = name.rfind('.');
    if (dot == std::string_view::npos || name.size() - dot > 5) return false;
    char ext[4] = {};
    for (std::size_t i = dot + 1; i < name.size(); ++i) {
        const char c = name[i];
        ext[i - dot - 1] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    const std::string_view lower(ext, name.size() - dot - 1);
    return lower == "mp3" || lower == "mp2" || lower == "mp1" || lower == "mpga";
}

void walk_files(const std::vector<std::string>& operands, bool recursive,
                const std::function<void(const WalkItem&)>& visit) {
    std::string path;
    for (const std::string& operand : operands) {
        if (!is_directory(operand)) {
            visit({operand, kNoProblem});  // the analysis itself reports a missing file
        } else if (recursive) {
            path = operand;
            walk_directory(path, visit);
        } else {
            visit({operand, "is a directory (-r walks it)"});
        }
    }
}

}  // namespace velkor::cli
