// What the merged view by keys (tag_keys_api.cpp) needs of the handles the
// other interface files define: a slot in a file's handle for its view, and
// the version an edit's ID3v2 tag will be written in. Not exported.
#pragma once

#include <memory>
#include <cstddef>
#include <string_view>

struct velkor_file;
struct velkor_edit;

namespace velkor {

// The handle's merged view, made when first asked for and released by
// velkor_close (a handle is used by one thread at a time).
std::shared_ptr<void>& key_view_slot(const velkor_file* file);
// Calls visit(context, key, values) for every key of the file's merged view,
// in velkor_tag_key's order, without looking each key up by its name again;
// false when the view cannot be made (no memory).
// The values point into the handle's texts and each ends at a zero byte.
using TagVisit = void (*)(void* context, const char* key, const std::string_view* values, std::size_t count);
bool visit_tags(const velkor_file* file, TagVisit visit, void* context);
// 3 or 4: the version of the edit's tag as saved without options.
int edit_written_version(const velkor_edit* edit);

}  // namespace velkor
