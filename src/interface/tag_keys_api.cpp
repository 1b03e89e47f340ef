// The merged view by keys: velkor_tag_count, velkor_tag_value and
// velkor_tag_key read a field by the name taggers use (TITLE, ARTIST, ...)
// from the ID3v2 tag, else the APEv2 tag, else the ID3v1 tag;
// velkor_edit_set_key sets it on an edit. The keys and their frames are
// those of frames/tag_keys; the values are the texts velkor_frame_text,
// velkor_ape_item_text and velkor_text give.
#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "frames/tag_keys.h"
#include "interface/key_hooks.h"
#include "interface/velkor_file.h"
#include "tags/value_check.h"
#include "velkor.h"

namespace {

using velkor::TagKeyRow;
using velkor::TagKeyV1;
using Text = std::string_view;

// Where a key's values came from: a later source only fills keys an
// earlier one left empty.
enum Source : uint8_t { kNone, kId3v1, kApev2, kId3v2 };

// The view points into the handle's own texts (frames decoded, APEv2
// items, the ID3v1 fields), which stay put until velkor_close: it copies
// none of them.
struct KeyView {
    struct Span {
        uint32_t first = 0, count = 0;
    };
    std::array<Span, velkor::kTagKeyCount> spans{};  // by the table's rows, into values
    std::vector<Text> values;
    std::vector<const TagKeyRow*> present;
    std::string id3v1_track;  // the one value no tag holds as text
};

const TagKeyRow* rows(int32_t& count) { return velkor::tag_key_rows(count); }

std::size_t row_index(const TagKeyRow* row) {
    int32_t count = 0;
    return static_cast<std::size_t>(row - rows(count));
}

// The row of DATE, the tag's date as a whole, looked up once.
std::size_t date_row() {
    static const std::size_t row = row_index(velkor::tag_key_row("DATE"));
    return row;
}

// The view as it is made: values in the order found, each with its row; a
// key whose values are replaced starts a new generation and the older
// ones are left out at the end.
class ViewBuilder {
public:
    explicit ViewBuilder(std::size_t values) { values_.reserve(values); }

    struct Key {
        Source source = kNone;
        const char* frame = nullptr;  // ID3v2: the id that gave the values (one id per key)
        bool fallback = false;        // COMM/USLT: values of a described frame, kept until one without a description
        uint16_t generation = 0;
    };
    Key& key(std::size_t row) { return keys_[row]; }

    void add(std::size_t row, Text text) {
        values_.push_back({static_cast<uint16_t>(row), keys_[row].generation, text});
    }
    void restart(std::size_t row) { ++keys_[row].generation; }

    void finish(KeyView& view) {
        std::size_t kept = 0;
        for (const Value& value : values_) {
            if (value.generation == keys_[value.row].generation) values_[kept++] = value;
        }
        values_.resize(kept);
        std::stable_sort(values_.begin(), values_.end(),
                         [](const Value& a, const Value& b) { return a.row < b.row; });
        view.values.reserve(values_.size());
        view.present.reserve(values_.size());
        int32_t count = 0;
        const TagKeyRow* all = rows(count);
        for (const Value& value : values_) {
            KeyView::Span& span = view.spans[value.row];
            if (span.count++ == 0) {
                span.first = static_cast<uint32_t>(view.values.size());
                view.present.push_back(&all[value.row]);
            }
            view.values.push_back(value.text);
        }
    }

private:
    struct Value {
        uint16_t row, generation;
        Text text;
    };
    std::array<Key, velkor::kTagKeyCount> keys_{};
    std::vector<Value> values_;
};

using Key = ViewBuilder::Key;

void read_id3v2(const velkor_file& file, ViewBuilder& view) {
    const velkor::Id3v2Tag& tag = file.info.id3v2_tag;
    for (std::size_t i = 0; i < tag.frames.size(); ++i) {
        int32_t status = VELKOR_OK;
        const velkor::Id3v2FrameValues* frame = file.frame(static_cast<int32_t>(i), status);
        if (frame == nullptr) continue;  // not readable now: the other tags may fill its key
        const char* id = tag.version == 2 ? velkor::id3v2_v24_id(tag.frames[i].id) : tag.frames[i].id;
        if (id[0] == '\0') continue;
        const char* description = frame->kind == velkor::Id3v2FrameKind::kUserText  ? frame->description.c_str()
                                  : frame->kind == velkor::Id3v2FrameKind::kUniqueId ? frame->owner.c_str()
                                                                                     : nullptr;
        const TagKeyRow* row = velkor::tag_key_of_frame(id, description);
        // DATE is the tag's date as a whole (TDRC, or TYER, TDAT and TIME).
        if (row == nullptr || row_index(row) == date_row()) continue;
        const std::size_t r = row_index(row);
        Key& key = view.key(r);
        const bool genres = std::strcmp(id, "TCON") == 0;
        const std::vector<std::string>& values = genres ? frame->genres : frame->values;
        if (values.empty()) continue;  // an empty frame leaves the key to the other tags
        // A genre is given up to a zero byte, as velkor_frame_text gives it;
        // other values whole (a UFID's identifier may hold one).
        const auto add_all = [&] {
            for (const std::string& value : values) view.add(r, genres ? Text(value.c_str()) : Text(value));
        };
        if (frame->kind == velkor::Id3v2FrameKind::kComment || frame->kind == velkor::Id3v2FrameKind::kLyrics) {
            // The frame without a description, as TagLib and mutagen read
            // COMMENT and LYRICS; else the first one there is.
            const bool plain = frame->description.empty();
            if (key.source == kId3v2 && !(key.fallback && plain)) {
                if (plain) add_all();
                continue;
            }
            view.restart(r);
            add_all();
            key.source = kId3v2;
            key.fallback = !plain;
            key.frame = id;
            continue;
        }
        if (key.source == kId3v2 && std::strcmp(key.frame, id) != 0) continue;  // TORY beside TDOR: the first id only
        add_all();
        key.source = kId3v2;
        key.frame = id;
    }
    const std::string& date = file.id3v2[VELKOR_ID3V2_DATE - kId3v2First];
    if (!date.empty()) {
        view.restart(date_row());
        view.add(date_row(), Text(date.c_str()));
        view.key(date_row()).source = kId3v2;
    }
}

void read_apev2(const velkor_file& file, ViewBuilder& view) {
    for (const velkor::Apev2Item& item : file.info.apev2_tag.items) {
        if (item.kind != velkor::Apev2Item::Kind::kText) continue;
        const TagKeyRow* row = velkor::tag_key_of_ape_item(item.key.c_str());
        if (row == nullptr) continue;
        Key& key = view.key(row_index(row));
        if (key.source == kId3v2) continue;
        for (const std::string& value : item.values) view.add(row_index(row), Text(value.c_str()));
        key.source = kApev2;
    }
}

void read_id3v1(const velkor_file& file, ViewBuilder& view, std::string& track) {
    const velkor_file_facts& facts = file.facts;
    if (facts.id3v1 == 0) return;
    if (facts.id3v1_track > 0) track = std::to_string(facts.id3v1_track);
    int32_t count = 0;
    const TagKeyRow* all = rows(count);
    for (int32_t r = 0; r < count; ++r) {
        Key& key = view.key(static_cast<std::size_t>(r));
        if (all[r].id3v1 == TagKeyV1::kNone || key.source != kNone) continue;
        const auto field = [&](int32_t number) { return Text(file.id3v1[number - kId3v1First].c_str()); };
        Text value;
        switch (all[r].id3v1) {
            case TagKeyV1::kTitle: value = field(VELKOR_ID3V1_TITLE); break;
            case TagKeyV1::kArtist: value = field(VELKOR_ID3V1_ARTIST); break;
            case TagKeyV1::kAlbum: value = field(VELKOR_ID3V1_ALBUM); break;
            case TagKeyV1::kYear: value = field(VELKOR_ID3V1_YEAR); break;
            case TagKeyV1::kComment: value = field(VELKOR_ID3V1_COMMENT); break;
            case TagKeyV1::kGenre: {
                const char* name = velkor_genre_name(facts.id3v1_genre);
                if (name != nullptr) value = name;
                break;
            }
            case TagKeyV1::kTrack: value = track; break;
            case TagKeyV1::kNone: break;
        }
        if (value.empty()) continue;
        view.add(static_cast<std::size_t>(r), value);
        key.source = kId3v1;
    }
}

// The handle's view, made on first use; nullptr for NULL or no memory.
const KeyView* view_of(const velkor_file* file) {
    if (file == nullptr) return nullptr;
    std::shared_ptr<void>& slot = velkor::key_view_slot(file);
    if (slot) return static_cast<const KeyView*>(slot.get());
    try {
        auto view = std::make_shared<KeyView>();
        // Mostly a value a frame or item, and ID3v1's seven.
        ViewBuilder builder(file->info.id3v2_tag.frames.size() + file->info.apev2_tag.items.size() + 8);
        read_id3v2(*file, builder);
        read_apev2(*file, builder);
        read_id3v1(*file, builder, view->id3v1_track);
        builder.finish(*view);
        slot = view;
        return view.get();
    } catch (...) {
        // No memory for the view or a frame's values: nothing crosses the
        // C boundary, and no view is kept that would say "no tags".
        return nullptr;
    }
}

// The key's values; nullptr for a key the table lacks or no memory.
const KeyView::Span* values_of(const velkor_file* file, const char* key, const KeyView*& view) {
    const TagKeyRow* row = velkor::tag_key_row(key);
    view = row != nullptr ? view_of(file) : nullptr;
    return view != nullptr ? &view->spans[row_index(row)] : nullptr;
}

bool all_texts(const char* const* values, int32_t count) {
    if (count < 0 || (count > 0 && values == nullptr)) return false;
    for (int32_t i = 0; i < count; ++i) {
        if (values[i] == nullptr) return false;
    }
    return true;
}

// Sets `id` (of the table's row) to the values: TXXX by the row's
// description, any other id as a text frame.
int32_t set_frame(velkor_edit* edit, const TagKeyRow& row, const char* id, const char* const* values,
                  int32_t count) {
    if (std::strcmp(id, "TXXX") == 0) return velkor_edit_set_user_text(edit, row.description, values, count);
    return velkor_edit_set_text(edit, id, values, count);
}

}  // namespace

bool velkor::visit_tags(const velkor_file* file, TagVisit visit, void* context) {
    const KeyView* view = view_of(file);
    if (view == nullptr) return false;
    for (const TagKeyRow* row : view->present) {
        const KeyView::Span& span = view->spans[row_index(row)];
        visit(context, row->key, &view->values[span.first], span.count);
    }
    return true;
}

extern "C" {

VELKOR_API const char* VELKOR_CALL velkor_key_name(int32_t index) {
    int32_t count = 0;
    const TagKeyRow* all = rows(count);
    return index >= 0 && index < count ? all[index].key : nullptr;
}

VELKOR_API int32_t VELKOR_CALL velkor_tag_count(const velkor_file* file, const char* key) {
    if (file == nullptr) return -1;
    const KeyView* view = nullptr;
    const KeyView::Span* values = values_of(file, key, view);
    return values != nullptr ? static_cast<int32_t>(values->count) : 0;
}

VELKOR_API const char* VELKOR_CALL velkor_tag_value(const velkor_file* file, const char* key, int32_t index) {
    const KeyView* view = nullptr;
    const KeyView::Span* values = values_of(file, key, view);
    if (values == nullptr || index < 0 || static_cast<uint32_t>(index) >= values->count) return nullptr;
    // Every value ends at a zero byte: each is a whole text of the handle's or starts one.
    return view->values[values->first + static_cast<uint32_t>(index)].data();
}

VELKOR_API const char* VELKOR_CALL velkor_tag_key(const velkor_file* file, int32_t index) {
    const KeyView* view = view_of(file);
    if (view == nullptr || index < 0 || static_cast<std::size_t>(index) >= view->present.size()) return nullptr;
    return view->present[static_cast<std::size_t>(index)]->key;
}

VELKOR_API int32_t VELKOR_CALL velkor_edit_set_key(velkor_edit* edit, const char* key, const char* const* values,
                                                   int32_t count) {
    const TagKeyRow* row = velkor::tag_key_row(key);
    if (edit == nullptr || row == nullptr || !all_texts(values, count)) return VELKOR_ERROR_ARGUMENT;
    const std::string frame = row->v24;
    // One value where the frame holds one text.
    const bool single = frame == "TDRC" || frame == "COMM" || frame == "USLT";
    if (single && count > 1) return VELKOR_ERROR_ARGUMENT;
    const char* text = count > 0 ? values[0] : nullptr;
    if (frame == "TDRC") return velkor_edit_set_field(edit, VELKOR_ID3V2_DATE, text);
    if (frame == "COMM") return velkor_edit_set_comment(edit, nullptr, nullptr, text);
    if (frame == "USLT") return velkor_edit_set_lyrics(edit, nullptr, nullptr, text);
    if (frame == "UFID") return VELKOR_ERROR_ARGUMENT;  // an identifier of bytes: no text setter writes it
    if (std::strcmp(row->v24, row->v23) == 0) return set_frame(edit, *row, row->v24, values, count);
    // TDOR or TORY, TMOO or TXXX MOOD: the frame of the version the tag is
    // written in, the other one removed.
    const bool v23 = velkor::edit_written_version(edit) == 3;
    const char* id = v23 ? row->v23 : row->v24;
    const char* other = v23 ? row->v24 : row->v23;
    std::vector<std::string> years;
    std::vector<const char*> given(values, values + count);
    if (std::strcmp(id, "TORY") == 0) {
        // TORY holds the year of the date TDOR would.
        for (int32_t i = 0; i < count; ++i) {
            if (velkor::text_value_problem("TDOR", values[i]) != nullptr) return VELKOR_ERROR_ARGUMENT;
            years.emplace_back(std::string(values[i]).substr(0, 4));
        }
        for (std::size_t i = 0; i < years.size(); ++i) given[i] = years[i].c_str();
    }
    const int32_t status = set_frame(edit, *row, id, given.data(), count);
    if (status != VELKOR_OK) return status;
    return set_frame(edit, *row, other, nullptr, 0);
}

}  // extern "C"
