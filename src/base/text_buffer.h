// A growing text buffer with inline appends: a file's JSON line is built in
// one, and the command's output file after file, written out in large pieces.
#pragma once

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

namespace velkor {

class TextBuffer {
public:
    TextBuffer() = default;
    TextBuffer(const TextBuffer&) = delete;
    TextBuffer& operator=(const TextBuffer&) = delete;

    std::size_t size() const { return size_; }
    std::size_t capacity() const { return capacity_; }
    bool empty() const { return size_ == 0; }
    std::string_view view() const { return std::string_view(data_.get(), size_); }
    void clear() { size_ = 0; }
    // Drops what was written after the first size bytes.
    void shrink_to(std::size_t size) { size_ = size < size_ ? size : size_; }

    // Room for n bytes in all, at one allocation.
    void reserve(std::size_t n) {
        if (n > capacity_) resize_to(n);
    }
    // Room for n more bytes: where they go. Commit them with grow_to.
    char* room(std::size_t n) {
        if (capacity_ - size_ < n) reallocate(n);
        return data_.get() + size_;
    }
    // Takes every byte up to end (within the room last made) as written.
    void grow_to(const char* end) { size_ = static_cast<std::size_t>(end - data_.get()); }

    TextBuffer& append(const char* text, std::size_t n) {
        if (n == 0) return *this;  // an empty view's text may be null, which memcpy must not get
        std::memcpy(room(n), text, n);
        size_ += n;
        return *this;
    }
    TextBuffer& append(std::string_view text) { return append(text.data(), text.size()); }
    TextBuffer& operator+=(std::string_view text) { return append(text); }
    TextBuffer& append_number(int64_t value) {
        constexpr std::size_t kDigits = 20;  // an int64_t with its sign
        char* at = room(kDigits);
        grow_to(std::to_chars(at, at + kDigits, value).ptr);
        return *this;
    }
    TextBuffer& operator+=(char c) {
        *room(1) = c;
        ++size_;
        return *this;
    }

private:
    void reallocate(std::size_t n) {
        std::size_t capacity = capacity_ < 4096 ? 4096 : capacity_;
        while (capacity - size_ < n) capacity *= 2;
        resize_to(capacity);
    }
    void resize_to(std::size_t capacity) {
        std::unique_ptr<char[]> larger(new char[capacity]);
        if (size_ > 0) std::memcpy(larger.get(), data_.get(), size_);
        data_ = std::move(larger);
        capacity_ = capacity;
    }

    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

}  // namespace velkor
