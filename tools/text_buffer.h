// The command's output text: built file after file in one string and
// written out in large pieces. Room is asked for where a number or a
// library-written text goes straight into it.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velkor::cli {

class TextBuffer {
public:
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::string_view view() const { return std::string_view(text_.data(), size_); }
    void clear() { size_ = 0; }

    // Room for n more bytes: where they go. Commit them with grow_to; room
    // asked for again before that replaces the first.
    char* room(std::size_t n) {
        text_.resize(size_ + n);
        return text_.data() + size_;
    }
    // Takes every byte up to end (within the room last made) as written.
    void grow_to(const char* end) { size_ = static_cast<std::size_t>(end - text_.data()); }

    TextBuffer& append(const char* text, std::size_t n) {
        text_.resize(size_);
        text_.append(text, n);
        size_ = text_.size();
        return *this;
    }
    TextBuffer& append(std::string_view text) { return append(text.data(), text.size()); }
    TextBuffer& operator+=(std::string_view text) { return append(text); }
    TextBuffer& operator+=(char c) { return append(&c, 1); }
    TextBuffer& append_number(int64_t value) {
        char digits[20];  // an int64_t with its sign
        return append(digits, static_cast<std::size_t>(std::to_chars(digits, digits + sizeof digits, value).ptr - digits));
    }

private:
    std::string text_;
    std::size_t size_ = 0;
};

}  // namespace velkor::cli
