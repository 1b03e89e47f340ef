// The ID3v1 save by path (velkor_write_id3v1).
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

}  // namespace velkor
