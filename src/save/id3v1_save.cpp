// The ID3v1 saves by path, and the analysis object's write_tag on them.
#include "save/id3v1_save.h"

#include <cstring>

#include "base/decimal_text.h"
#include "platform/file_lock.h"
#include "platform/update_file.h"
#include "save/save_plan.h"
#include "stream/mp3_file_info.h"
#include "stream/tag_rewrite.h"

namespace velkor {

using platform::FileProblem;

Id3v1Saved save_id3v1(const std::string& path, const Id3v1Maker& make) {
    Id3v1Saved saved;
    std::string real;
    platform::FileLock lock;
    platform::FileSource source;
    FileProblem problem = platform::real_path(path, real);
    if (problem == FileProblem::kNone) problem = lock.acquire(real);
    if (problem == FileProblem::kNone) problem = source.open_utf8(real.c_str());
    if (problem != FileProblem::kNone) {
        saved.problem = problem;
        return saved;
    }
    const TaggedFile file = read_tagged_file(source, source.size());
    ReadState read;
    if (source.read_failed() ||
        !take_read_state(source, source.identity(), file.audio_begin, file.audio_end, read)) {
        saved.problem = FileProblem::kOther;
        return saved;
    }
    source.close();
    uint8_t block[kId3v1BlockSize] = {};
    make(file.has_id3v1 ? file.id3v1 : nullptr, block);
    PlanOptions options;
    options.id3v1_block = block;
    const TagPlan plan = plan_tagged_file(file, options);
    const SaveOutcome outcome = save_file(real, lock, read, plan.file, SaveOptions());
    saved.status = outcome.status;
    saved.problem = outcome.problem;
    saved.appended = !file.has_id3v1;
    return saved;
}

namespace {

// "n/a" leaves a field as it is; so does a missing text.
bool is_skip(const char* text) { return text == nullptr || std::strcmp(text, kNotAvailable) == 0; }

int32_t number_of(const char* text) { return decimal_value(text, static_cast<std::size_t>(-1)); }

}  // namespace

int32_t Mp3FileInfo::write_tag(const char* title, const char* artist, const char* album,
                               const char* year, const char* comment, const char* track,
                               const char* genre) {
    // The record keeps these changes whatever happens to the file.
    if (!is_skip(title)) tag.set_title(title);
    if (!is_skip(artist)) tag.set_artist(artist);
    if (!is_skip(album)) tag.set_album(album);
    if (!is_skip(year)) tag.set_year(number_of(year));
    if (!is_skip(comment)) tag.set_comment(comment);
    if (!is_skip(track)) tag.set_track(number_of(track));
    if (!is_skip(genre)) tag.set_genre_name(genre);

    uint8_t block[kId3v1BlockSize] = {};
    int32_t result = kStatusNoTagBlock;
    if (tag.to_id3v1(block)) {
        const Id3v1Saved written = save_id3v1(path, [&](const uint8_t* old, uint8_t (&out)[kId3v1BlockSize]) {
            std::memcpy(out, block, sizeof out);
            if (old != nullptr) {
                uint8_t stored[kId3v1BlockSize];
                std::memcpy(stored, old, sizeof stored);
                keep_unchanged_fields(stored, out);
            }
        });
        result = written.status == SaveStatus::kDone ? kStatusOk : kStatusWriteFailed;
        // A second write then replaces this tag instead of adding another.
        if (written.status == SaveStatus::kDone && written.appended) has_id3v1 = 1;
    }
    if (result != kStatusOk) show_error_notice(result, "");
    return result;
}

}  // namespace velkor
