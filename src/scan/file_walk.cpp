// Walking operands and folders for a scan.
#include "scan/file_walk.h"

#include <algorithm>
#include <cstring>

#include "interface/file_status.h"
#include "velkor.h"

namespace velkor {

namespace {

using platform::EntryType;

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

FileWalk::FileWalk(std::vector<std::string> operands, bool recursive, bool follow_links, bool report_skipped)
    : operands_(std::move(operands)), recursive_(recursive), follow_links_(follow_links),
      report_skipped_(report_skipped) {}

bool FileWalk::enter(int32_t& status) {
    Folder folder;
    if (follow_links_ && platform::folder_id(path_.c_str(), folder.id)) {
        // A folder the walk is in already: a loop through a link.
        for (const Folder& above : folders_) {
            if (above.id == folder.id) {
                status = VELKOR_SKIPPED;
                return false;
            }
        }
    }
    status = status_of(platform::list_directory(path_.c_str(), folder.listing), VELKOR_ERROR_READ);
    if (status != VELKOR_OK) return false;
    const char* const names = folder.listing.names.data();
    std::sort(folder.listing.entries.begin(), folder.listing.entries.end(),
              [names](const auto& a, const auto& b) { return std::strcmp(names + a.name, names + b.name) < 0; });
    // "dir/" + name, with no second separator behind one the path has.
    if (!path_.empty() && path_.back() != '/') path_ += '/';
    folder.path_length = path_.size();
    folders_.push_back(std::move(folder));
    return true;
}

bool FileWalk::next(std::string& path, int32_t& status) {
    for (;;) {
        if (folders_.empty()) {
            if (next_operand_ == operands_.size()) return false;
            path_ = operands_[next_operand_++];
            if (platform::file_type(path_.c_str(), true) != EntryType::kDirectory) {
                path = path_;  // the analysis tells what is wrong with it, if anything
                status = VELKOR_OK;
                return true;
            }
            if (!recursive_ || !enter(status)) {
                if (!recursive_) status = VELKOR_ERROR_NOT_REGULAR;
                path = path_;
                return true;
            }
            continue;
        }
        Folder& folder = folders_.back();
        if (folder.next == folder.listing.entries.size()) {
            folders_.pop_back();
            continue;
        }
        const auto& entry = folder.listing.entries[folder.next++];
        const char* name = folder.listing.name_of(entry);
        path_.replace(folder.path_length, std::string::npos, name);
        EntryType type = entry.type;
        if (type == EntryType::kUnknown) type = platform::file_type(path_.c_str(), false);
        const bool link = type == EntryType::kSymlink;
        // A link counts as what it leads to, a broken one as no regular file.
        if (link) type = platform::file_type(path_.c_str(), true);
        if (type == EntryType::kDirectory) {
            if (link && !follow_links_) {
                if (!report_skipped_) continue;
                path = path_;
                status = VELKOR_SKIPPED;
                return true;
            }
            if (!enter(status)) {
                if (status == VELKOR_SKIPPED && !report_skipped_) continue;
                path = path_;
                return true;
            }
        } else if (has_audio_extension(name) && (type == EntryType::kRegular || report_skipped_)) {
            path = path_;
            status = type == EntryType::kRegular ? VELKOR_OK : VELKOR_SKIPPED;
            return true;
        }
    }
}

}  // namespace velkor
