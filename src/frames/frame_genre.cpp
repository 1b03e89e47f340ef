// Resolving the genre references of TCON values.
#include "frames/frame_genre.h"

#include <algorithm>
#include <string_view>

#include "tags/genre_table.h"

namespace velkor {

namespace {

// The name of a reference of one to three digits; nullptr for any other.
const char* number_name(std::string_view digits) {
    if (digits.empty() || digits.size() > 3) return nullptr;
    int number = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return nullptr;
        number = number * 10 + (c - '0');
    }
    return GenreTable::extended_name(number);
}

void add(std::vector<std::string>& genres, std::string_view genre) {
    if (genre.empty() || std::find(genres.begin(), genres.end(), genre) != genres.end()) return;
    genres.emplace_back(genre);
}

// One value: references first ("(17)(RX)"), a text of its own last. The
// walk takes views of the value, so a value of a million references costs a
// million steps.
void resolve_value(std::string_view part, std::vector<std::string>& genres) {
    if (const char* name = number_name(part)) {
        add(genres, name);
        return;
    }
    while (part.size() > 1 && part[0] == '(' && part[1] != '(') {
        const std::size_t close = part.find(')');
        if (close == std::string_view::npos) break;
        const std::string_view inner = part.substr(1, close - 1);
        const char* name = inner == "RX" ? "Remix" : inner == "CR" ? "Cover" : number_name(inner);
        if (name == nullptr) break;  // no reference: the text from here is the genre
        add(genres, name);
        part.remove_prefix(close + 1);
    }
    if (part.size() > 1 && part[0] == '(' && part[1] == '(') part.remove_prefix(1);  // "((" escapes "("
    add(genres, part);
}

std::string joined(const std::vector<std::string>& genres) {
    std::string out;
    for (const std::string& genre : genres) {
        if (!out.empty()) out += "; ";
        out += genre;
    }
    return out;
}

}  // namespace

std::vector<std::string> resolve_genres(const std::vector<std::string>& values) {
    std::vector<std::string> genres;
    for (const std::string& value : values) resolve_value(value, genres);
    return genres;
}

std::string resolve_genre(const std::vector<std::string>& values) { return joined(resolve_genres(values)); }

std::string resolve_genre(const std::string& text) {
    std::vector<std::string> genres;
    const std::string_view all(text);
    for (std::size_t start = 0; start <= all.size();) {
        std::size_t end = all.find("; ", start);
        if (end == std::string_view::npos) end = all.size();
        resolve_value(all.substr(start, end - start), genres);
        start = end + 2;
    }
    return joined(genres);
}

}  // namespace velkor
