// velkor's tag editing interface, velkor_edit_*: checks what callers hand
// in, keeps the edit of one file, and has the platform write it.
#include <cstring>
#include <algorithm>
#include <memory>
#include <new>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/utf8.h"
#include "frames/frame_dates.h"
#include "frames/frame_table.h"
#include "interface/c_boundary.h"
#include "interface/edit_open.h"
#include "interface/file_status.h"
#include "interface/key_hooks.h"
#include "platform/file_lock.h"
#include "platform/file_source.h"
#include "platform/update_file.h"
#include "save/file_save.h"
#include "save/save_plan.h"
#include "stream/tag_rewrite.h"
#include "tags/genre_table.h"
#include "tags/value_check.h"
#include "velkor.h"

struct velkor_edit {
    std::string path;  // UTF-8; the file a symbolic link names
    std::wstring wide_path;  // the name a wide entry point (Windows) was handed, kept as given
    velkor::platform::FileLock lock;  // held until the edit is closed
    velkor::ReadState read;           // the file as read, for the save's check
    velkor::TaggedFile file;
    std::set<std::string> id3v1_fields;  // frame ids set or removed: their ID3v1 fields follow
    bool edited = false;
    bool has_date = false;  // a date set by field, laid out by the version written
    std::string date;
};

namespace {

using velkor::platform::FileSource;

bool is_utf8(const char* text) {
    if (text == nullptr) return false;
    const velkor::ByteSpan bytes(reinterpret_cast<const uint8_t*>(text), std::strlen(text));
    for (std::size_t pos = 0; pos < bytes.size;) {
        uint32_t c = 0;
        const std::size_t length = velkor::next_utf8(bytes, pos, c);
        if (length == 0) return false;
        pos += length;
    }
    return true;
}

bool is_frame_id(const char* id, char first) {
    if (id == nullptr || std::strlen(id) != 4 || (first != 0 && id[0] != first)) return false;
    for (int i = 0; i < 4; ++i) {
        if (!((id[i] >= 'A' && id[i] <= 'Z') || (id[i] >= '0' && id[i] <= '9'))) return false;
    }
    return true;
}

// A text the caller may leave NULL (then `otherwise`).
bool optional_text(const char* text, const char* otherwise, std::string& out) {
    if (text == nullptr) {
        out = otherwise;
        return true;
    }
    if (!is_utf8(text)) return false;
    out = text;
    return true;
}

bool read_values(const char* const* values, int32_t count, std::vector<std::string>& out) {
    if (count < 0 || (count > 0 && values == nullptr)) return false;
    for (int32_t i = 0; i < count; ++i) {
        if (!is_utf8(values[i])) return false;
        out.emplace_back(values[i]);
    }
    return true;
}

bool is_language(const std::string& language) {
    if (language.size() != 3) return false;
    for (char c : language) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) return false;
    }
    return true;
}

// The largest picture an edit takes: more than any cover needs.
constexpr int32_t kPictureLimit = 16 << 20;

// The MIME type of an image from its first bytes, "" for none known.
std::string image_type(const uint8_t* bytes, std::size_t size) {
    const auto starts = [&](const char* magic, std::size_t n, std::size_t at = 0) {
        return size >= at + n && std::memcmp(bytes + at, magic, n) == 0;
    };
    if (starts("\xFF\xD8\xFF", 3)) return "image/jpeg";
    if (starts("\x89PNG\r\n\x1A\n", 8)) return "image/png";
    if (starts("GIF8", 4)) return "image/gif";
    if (starts("BM", 2)) return "image/bmp";
    if (starts("RIFF", 4) && starts("WEBP", 4, 8)) return "image/webp";
    return "";
}

// Runs an edit, turning a failed allocation into a status.
template <typename Change>
int32_t change(velkor_edit* edit, Change apply) {
    if (edit == nullptr) return VELKOR_ERROR_ARGUMENT;
    return velkor::guarded(VELKOR_ERROR_ARGUMENT, [&]() -> int32_t {
        const int32_t status = apply(edit->file.id3v2);
        if (status == VELKOR_OK) edit->edited = true;
        return status;
    });
}

int32_t load(velkor_edit& edit, FileSource& source) {
    // The file read must be the one locked: a rename between the two
    // (by another program) is a change.
    velkor::platform::FileFacts locked;
    if (edit.lock.facts(locked) && !locked.identity.same_file(source.identity())) return VELKOR_ERROR_CHANGED;
    velkor::TaggedFile file = velkor::read_tagged_file(source, source.size());
    velkor::ReadState read;
    // Tags read with a gap would be saved as if the gap were the file.
    if (source.read_failed() ||
        !velkor::take_read_state(source, source.identity(), file.audio_begin, file.audio_end, read)) {
        return VELKOR_ERROR_READ;
    }
    edit.read = read;
    edit.file = std::move(file);
    edit.id3v1_fields.clear();
    edit.edited = false;
    edit.has_date = false;
    return VELKOR_OK;
}

template <typename Open>
int32_t open_edit(velkor_edit* edit, Open open) {
    FileSource source;
    const velkor::platform::FileProblem problem = open(source);
    if (problem != velkor::platform::FileProblem::kNone) return velkor::status_of(problem, VELKOR_ERROR_READ);
    return load(*edit, source);
}

int32_t reopen(velkor_edit& edit) {
    return open_edit(&edit, [&](FileSource& source) { return source.open_given(edit.path, edit.wide_path); });
}

}  // namespace

// The save lock is taken first, so that the file read is the one saved.
int32_t velkor::open_edit_named(const char* path, const wchar_t* wide_path, uint32_t options, velkor_edit** edit) {
    if (edit == nullptr) return VELKOR_ERROR_ARGUMENT;
    *edit = nullptr;
    if (path == nullptr || options != 0) return VELKOR_ERROR_ARGUMENT;
    return velkor::guarded(VELKOR_ERROR_READ, [&]() -> int32_t {
        auto made = std::make_unique<velkor_edit>();
        made->path = path;
        if (wide_path != nullptr) made->wide_path = wide_path;
        std::string real;
        velkor::platform::FileProblem problem = velkor::platform::real_path(made->path, real);
        if (problem == velkor::platform::FileProblem::kNone) {
            made->path = real;
            problem = made->lock.acquire(real);
        }
        if (problem != velkor::platform::FileProblem::kNone) return velkor::status_of(problem, VELKOR_ERROR_READ);
        int32_t status = reopen(*made);
        // Only files read as MPEG audio, or holding nothing but tags, are
        // edited: tags written into another format's file, or into bytes
        // without a frame, would damage it.
        const velkor::TaggedFile& file = made->file;
        if (status == VELKOR_OK && (file.other_format || !(file.has_audio || file.tags_only))) {
            status = VELKOR_ERROR_NO_AUDIO;
        }
        if (status == VELKOR_OK) *edit = made.release();
        return status;
    });
}

namespace {

void apply_date(velkor::Id3v2Edit& tag, const std::string& date, int version) {
    static const char* const kOld[] = {"TYER", "TDAT", "TIME"};
    if (date.empty()) {
        tag.remove_frames("TDRC");
        for (const char* id : kOld) tag.remove_frames(id);
        return;
    }
    if (version >= 4) {
        for (const char* id : kOld) tag.remove_frames(id);
        tag.set_text("TDRC", {date});
        return;
    }
    std::string parts[5];
    velkor::split_id3v2_date(date, parts);
    tag.remove_frames("TDRC");
    tag.set_text("TYER", {parts[0]});
    tag.set_text("TDAT", parts[2].empty() ? std::vector<std::string>() : std::vector<std::string>{parts[2] + parts[1]});
    tag.set_text("TIME", parts[4].empty() ? std::vector<std::string>() : std::vector<std::string>{parts[3] + parts[4]});
}

// A text frame set by velkor_edit_set_text or removed: a date set by field
// before is then no longer the caller's last word on these frames.
void forget_date(velkor_edit* edit, const char* id) {
    static const char* const kDateIds[] = {"TDRC", "TYER", "TDAT", "TIME"};
    for (const char* date_id : kDateIds) {
        if (std::strcmp(id, date_id) == 0) edit->has_date = false;
    }
}

int32_t text_field_id(int32_t field, const char*& id) {
    switch (field) {
        case VELKOR_ID3V2_TITLE: id = "TIT2"; break;
        case VELKOR_ID3V2_ARTIST: id = "TPE1"; break;
        case VELKOR_ID3V2_ALBUM: id = "TALB"; break;
        case VELKOR_ID3V2_ALBUM_ARTIST: id = "TPE2"; break;
        case VELKOR_ID3V2_TRACK: id = "TRCK"; break;
        case VELKOR_ID3V2_DISC: id = "TPOS"; break;
        case VELKOR_ID3V2_GENRE: id = "TCON"; break;
        case VELKOR_ID3V2_COMPOSER: id = "TCOM"; break;
        case VELKOR_EDIT_COMPILATION: id = "TCMP"; break;
        case VELKOR_EDIT_BPM: id = "TBPM"; break;
        default: return VELKOR_ERROR_ARGUMENT;
    }
    return VELKOR_OK;
}

std::string genre_text(const std::string& text) {
    if (text.empty() || text.size() > 3) return text;
    int32_t number = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return text;
        number = number * 10 + (c - '0');
    }
    const char* name = velkor::GenreTable::written_name(number);
    return name != nullptr ? std::string(name) : text;
}

}  // namespace

int velkor::edit_written_version(const velkor_edit* edit) { return edit->file.id3v2.written_version(false); }

extern "C" {

VELKOR_API int32_t VELKOR_CALL velkor_edit_open(const char* path, uint32_t options, velkor_edit** edit) {
    return velkor::open_edit_named(path, nullptr, options, edit);
}

VELKOR_API void VELKOR_CALL velkor_edit_close(velkor_edit* edit) { delete edit; }

VELKOR_API int32_t VELKOR_CALL velkor_edit_set_text(velkor_edit* edit, const char* id, const char* const* values,
                                                    int32_t count) {
    return change(edit, [&](velkor::Id3v2Edit& tag) {
        std::vector<std::string> texts;
        // Text frames by the frame table (GRP1, MVNM, MVIN among them), and
        // any other T... id; TXXX has its own call.
        const bool text = is_frame_id(id, 0) && (velkor::id3v2_frame_kind(id) == velkor::Id3v2FrameKind::kText ||
                                                velkor::id3v2_frame_kind(id) == velkor::Id3v2FrameKind::kPeople);
        if (!text || !read_values(values, count, texts)) {
            return VELKOR_ERROR_ARGUMENT;
        }
        for (const std::string& text : texts) {
            if (velkor::text_value_problem(id, text) != nullptr) return VELKOR_ERROR_ARGUMENT;
        }
        tag.set_text(id, texts);
        forget_date(edit, id);
        edit->id3v1_fields.insert(id);
        return VELKOR_OK;
    });
}

VELKOR_API int32_t VELKOR_CALL velkor_edit_set_user_text(velkor_edit* edit, const char* description,
                                                         const char* const* values, int32_t count) {
    return change(edit, [&](velkor::Id3v2Edit& tag) {
        std::vector<std::string> texts;
        if (!is_utf8(description) || !read_values(values, count, texts)) return VELKOR_ERROR_ARGUMENT;
        tag.set_user_text(description, texts);
        return VELKOR_OK;
    });
}

namespace {

int32_t set_described(velkor_edit* edit, const char* id, const char* language, const char* description,
                      const char* text) {
    return change(edit, [&](velkor::Id3v2Edit& tag) {
        std::string lang, desc, body;
        if (!optional_text(language, "eng", lang) || !is_language(lang) || !optional_text(description, "", desc) ||
            (text != nullptr && !optional_text(text, "", body))) {
            return VELKOR_ERROR_ARGUMENT;
        }
        tag.set_described_text(id, lang, desc, text ? &body : nullptr);
        edit->id3v1_fields.insert(id);
        return VELKOR_OK;
    });
}

}  // namespace

VELKOR_API int32_t VELKOR_CALL velkor_edit_set_comment(velkor_edit* edit, const char* language,
                                                       const char* description, const char* text) {
    return set_described(edit, "COMM", language, description, text);
}

VELKOR_API int32_t VELKOR_CALL velkor_edit_set_lyrics(velkor_edit* edit, const char* language,
                                                      const char* description, const char* text) {
    return set_described(edit, "USLT", language, description, text);
}

VELKOR_API int32_t VELKOR_CALL velkor_edit_set_url(velkor_edit* edit, const char* id, const char* description,
                                                   const char* url) {
    return change(edit, [&](velkor::Id3v2Edit& tag) {
        const bool user = id != nullptr && std::strcmp(id, "WXXX") == 0;
        std::string desc, link;
        if (!is_frame_id(id, 'W') || (!user && description != nullptr) || !optional_text(description, "", desc) ||
            (url != nullptr && !optional_text(url, "", link)) || velkor::text_value_problem(id, link) != nullptr) {
            return VELKOR_ERROR_ARGUMENT;
        }
        tag.set_url(id, desc, url ? &link : nullptr);
        return VELKOR_OK;
    });
}

VELKOR_API int32_t VELKOR_CALL velkor_edit_add_picture(velkor_edit* edit, int32_t type, const char* mime,
                                                       const char* description, const void* data, int32_t size) {
    return change(edit, [&](velkor::Id3v2Edit& tag) {
        std::string kind, desc;
        if (type < 0 || type > 255 || size < 0 || (size > 0 && data == nullptr) || !optional_text(mime, "", kind) ||
            !optional_text(description, "", desc)) {
            return VELKOR_ERROR_ARGUMENT;
        }
        if (size > kPictureLimit) return VELKOR_ERROR_ARGUMENT;
        const auto* bytes = static_cast<const uint8_t*>(data);
        // The type its bytes show when none is named; one of them it must have.
        if (kind.empty()) kind = image_type(bytes, static_cast<std::size_t>(size));
        if (kind.empty() || velkor::text_value_problem("APIC", kind) != nullptr) return VELKOR_ERROR_ARGUMENT;
        tag.add_picture(type, kind, desc, std::vector<uint8_t>(bytes, bytes + size));
        return VELKOR_OK;
    });
}

VELKOR_API int32_t VELKOR_CALL velkor_edit_remove_pictures(velkor_edit* edit, int32_t type) {
    return change(edit, [&](velkor::Id3v2Edit& tag) {
        if (type < -1 || type > 255) return VELKOR_ERROR_ARGUMENT;
        tag.remove_pictures(type);
        return VELKOR_OK;
    });
}

VELKOR_API int32_t VELKOR_CALL velkor_edit_set_popularimeter(velkor_edit* edit, const char* email, int32_t rating,
                                                             int64_t play_count) {
    return change(edit, [&](velkor::Id3v2Edit& tag) {
        std::string owner;
        if (rating < -1 || rating > 255 || play_count < -1 || !optional_text(email, "", owner)) {
            return VELKOR_ERROR_ARGUMENT;
        }
        tag.set_popularimeter(owner, rating, play_count);
        return VELKOR_OK;
    });
}

VELKOR_API int32_t VELKOR_CALL velkor_edit_remove_frames(velkor_edit* edit, const char* id) {
    return change(edit, [&](velkor::Id3v2Edit& tag) {
        if (!is_frame_id(id, 0)) return VELKOR_ERROR_ARGUMENT;
        tag.remove_frames(id);
        forget_date(edit, id);
        edit->id3v1_fields.insert(id);
        return VELKOR_OK;
    });
}

VELKOR_API int32_t VELKOR_CALL velkor_edit_set_field(velkor_edit* edit, int32_t field, const char* utf8) {
    return change(edit, [&](velkor::Id3v2Edit& tag) {
        std::string text;
        if (!optional_text(utf8, "", text)) return VELKOR_ERROR_ARGUMENT;
        const std::string* given = text.empty() ? nullptr : &text;
        switch (field) {
            case VELKOR_ID3V2_COMMENT:
                tag.set_described_text("COMM", "eng", "", given);
                edit->id3v1_fields.insert("COMM");
                return VELKOR_OK;
            case VELKOR_EDIT_LYRICS: tag.set_described_text("USLT", "eng", "", given); return VELKOR_OK;
            case VELKOR_ID3V2_YEAR:
            case VELKOR_ID3V2_DATE: {
                if (velkor::text_value_problem("TDRC", text) != nullptr) return VELKOR_ERROR_ARGUMENT;
                // Touched now, laid out when the version written is known.
                tag.remove_frames("TDRC");
                tag.remove_frames("TYER");
                edit->has_date = true;
                edit->date = text;
                edit->id3v1_fields.insert("TYER");
                edit->id3v1_fields.insert("TDRC");
                return VELKOR_OK;
            }
            default: break;
        }
        const char* id = nullptr;
        if (text_field_id(field, id) != VELKOR_OK || velkor::text_value_problem(id, text) != nullptr) {
            return VELKOR_ERROR_ARGUMENT;
        }
        if (field == VELKOR_ID3V2_GENRE) text = genre_text(text);
        tag.set_text(id, text.empty() ? std::vector<std::string>() : std::vector<std::string>{text});
        edit->id3v1_fields.insert(id);
        return VELKOR_OK;
    });
}

VELKOR_API const char* VELKOR_CALL velkor_value_problem(const char* id, const char* utf8) {
    return velkor::text_value_problem(id ? id : "", utf8 ? utf8 : "");
}

VELKOR_API int32_t VELKOR_CALL velkor_edit_remove_tag(velkor_edit* edit, uint32_t tags) {
    return change(edit, [&](velkor::Id3v2Edit& tag) {
        if ((tags & ~(VELKOR_TAG_ID3V1 | VELKOR_TAG_ID3V2 | VELKOR_TAG_APEV2)) != 0) return VELKOR_ERROR_ARGUMENT;
        if (tags & VELKOR_TAG_ID3V2) {
            tag.remove_all();
            edit->has_date = false;
        }
        if (tags & VELKOR_TAG_APEV2) edit->file.remove_apev2 = true;
        if (tags & VELKOR_TAG_ID3V1) edit->file.id3v1_mode = velkor::Id3v1Mode::kRemove;
        return VELKOR_OK;
    });
}

VELKOR_API int32_t VELKOR_CALL velkor_edit_set_id3v1(velkor_edit* edit, int32_t mode) {
    return change(edit, [&](velkor::Id3v2Edit&) {
        switch (mode) {
            case VELKOR_ID3V1_KEEP: edit->file.id3v1_mode = velkor::Id3v1Mode::kKeep; break;
            case VELKOR_ID3V1_ADD: edit->file.id3v1_mode = velkor::Id3v1Mode::kAdd; break;
            case VELKOR_ID3V1_REMOVE: edit->file.id3v1_mode = velkor::Id3v1Mode::kRemove; break;
            default: return VELKOR_ERROR_ARGUMENT;
        }
        return VELKOR_OK;
    });
}

VELKOR_API int32_t VELKOR_CALL velkor_edit_save(velkor_edit* edit, uint32_t options, velkor_save_report* report) {
    constexpr uint32_t kKnown = VELKOR_SAVE_ID3V24 | VELKOR_SAVE_BREAK_LINKS | VELKOR_SAVE_DRY_RUN |
                                VELKOR_SAVE_NO_SYNC | VELKOR_SAVE_PRESERVE_TIMES |
                                VELKOR_SAVE_CONVERT;
    if (edit == nullptr || (options & ~kKnown) != 0 || (report != nullptr && report->size < sizeof(uint32_t))) {
        return VELKOR_ERROR_ARGUMENT;
    }
    velkor_save_report ours = {};
    ours.size = sizeof ours;
    return velkor::guarded(VELKOR_ERROR_WRITE, [&]() -> int32_t {
        const bool v24 = (options & VELKOR_SAVE_ID3V24) != 0;
        // The date's frames depend on the version written: laid out in a
        // copy, so that the edit itself keeps the date as given.
        velkor::TaggedFile dated;
        const velkor::TaggedFile* file = &edit->file;
        // A conversion is made on the copy too: the edit keeps the tag read.
        const int read_version = edit->file.id3v2.version();
        const bool convert = (options & VELKOR_SAVE_CONVERT) != 0 && read_version >= 2 &&
                             read_version != (v24 ? 4 : 3);
        if (edit->has_date || convert) {
            dated = edit->file;
            if (convert) dated.id3v2.convert_to(v24 ? 4 : 3);
            if (edit->has_date) apply_date(dated.id3v2, edit->date, dated.id3v2.written_version(v24));
            file = &dated;
        }
        velkor::PlanOptions planned;
        planned.new_as_v24 = v24;
        planned.id3v1_fields = &edit->id3v1_fields;
        const velkor::TagPlan plan = velkor::plan_tagged_file(*file, planned);
        if (plan.too_large) return VELKOR_ERROR_ARGUMENT;
        ours.id3v2_version = plan.id3v2_version;
        ours.id3v2_size = static_cast<int32_t>(plan.id3v2_size);
        ours.dropped_frames = file->id3v2.dropped();
        ours.tags = (plan.id3v2_version ? VELKOR_TAG_ID3V2 : 0u) | (plan.has_id3v1 ? VELKOR_TAG_ID3V1 : 0u) |
                    (plan.has_apev2 ? VELKOR_TAG_APEV2 : 0u);
        int32_t status = VELKOR_OK;
        if (edit->edited || convert) {
            velkor::SaveOptions how;
            how.break_links = (options & VELKOR_SAVE_BREAK_LINKS) != 0;
            how.dry_run = (options & VELKOR_SAVE_DRY_RUN) != 0;
            how.sync_in_place = (options & VELKOR_SAVE_NO_SYNC) == 0;
            how.preserve_times = (options & VELKOR_SAVE_PRESERVE_TIMES) != 0;
            const velkor::SaveOutcome outcome = velkor::save_file(edit->path, edit->lock, edit->read, plan.file, how);
            using velkor::SaveStatus;
            using velkor::SaveWay;
            switch (outcome.status) {
                case SaveStatus::kDone: break;
                case SaveStatus::kChanged: status = VELKOR_ERROR_CHANGED; break;
                case SaveStatus::kLinked: status = VELKOR_ERROR_LINKED; break;
                default: status = velkor::status_of(outcome.problem, VELKOR_ERROR_WRITE); break;
            }
            ours.way = outcome.way == SaveWay::kInPlace    ? VELKOR_SAVED_IN_PLACE
                       : outcome.way == SaveWay::kReplaced ? VELKOR_SAVED_REPLACED
                                                           : VELKOR_SAVED_NOTHING;
            ours.bytes_written = outcome.bytes_written;
            if (status == VELKOR_OK && !how.dry_run) {
                // The edit now holds the file as saved, and has nothing
                // left to save. Should it not be read again, the save
                // still stands; a later change saved finds the file changed.
                if (reopen(*edit) != VELKOR_OK) {
                    edit->read.identity = velkor::platform::FileIdentity();
                    edit->edited = false;
                }
            }
        }
        if (report != nullptr) {
            const std::size_t room = std::min<std::size_t>(report->size, sizeof ours);
            std::memcpy(reinterpret_cast<char*>(report) + sizeof(uint32_t),
                        reinterpret_cast<const char*>(&ours) + sizeof(uint32_t), room - sizeof(uint32_t));
        }
        return status;
    });
}

VELKOR_API void VELKOR_CALL velkor_remove_temporary_files(void) { velkor::platform::remove_temporaries(); }

}  // extern "C"
