// Test files built from bytes made in the test, in a temporary directory
// that is removed afterwards.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

namespace velkor::testing {

using Bytes = std::vector<uint8_t>;

// The byte strings one after the other, made in one allocation (appending to
// a short vector makes GCC 12 warn, wrongly, in optimised builds).
inline Bytes concat(std::initializer_list<std::reference_wrapper<const Bytes>> parts) {
    std::size_t size = 0;
    for (const Bytes& part : parts) size += part.size();
    Bytes bytes(size);
    auto at = bytes.begin();
    for (const Bytes& part : parts) at = std::copy(part.begin(), part.end(), at);
    return bytes;
}

// MPEG-1 Layer III, 128 kbit/s, 44100 Hz, joint stereo.
constexpr uint8_t kMpeg1Header[4] = {0xFF, 0xFB, 0x90, 0x64};

// Writes `values` at offset, growing the bytes with zeros as needed.
inline void put(Bytes& bytes, std::size_t offset, const Bytes& values) {
    if (values.empty()) return;
    if (bytes.size() < offset + values.size()) bytes.resize(offset + values.size());
    std::memcpy(bytes.data() + offset, values.data(), values.size());
}
inline void put(Bytes& bytes, std::size_t offset, const std::string& text) {
    put(bytes, offset, Bytes(text.begin(), text.end()));
}
// Bytes of the frame a header opens (no padding), from the header's own
// figures: 144 (72 below MPEG-1 for Layer III) or 48 bytes per bit/s and Hz.
inline std::size_t frame_bytes(const uint8_t (&header)[4]) {
    static constexpr int kKbps[2][3][16] = {
        {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
        {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}}};
    static constexpr int kHz[4][3] = {{11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000},
                                      {44100, 48000, 32000}};
    const int version = (header[1] >> 3) & 3, layer = 4 - ((header[1] >> 1) & 3);
    const int hz = kHz[version][(header[2] >> 2) & 3];
    const int bps = kKbps[version == 3][layer - 1][header[2] >> 4] * 1000;
    if (layer == 1) return static_cast<std::size_t>(12 * bps / hz * 4);
    return static_cast<std::size_t>((layer == 3 && version != 3 ? 72 : 144) * bps / hz);
}

// A frame header at offset and the two frames behind it that confirm it as
// the start of a stream (the bytes grow to hold them).
inline void put_header(Bytes& bytes, std::size_t offset, const uint8_t (&header)[4] = kMpeg1Header) {
    const std::size_t length = frame_bytes(header);
    for (std::size_t at = offset; at <= offset + 2 * length; at += length) {
        put(bytes, at, Bytes(header, header + 4));
    }
}

// A file of `size` bytes opening with a stream of frames (as many of the
// three as fit), zeros behind them.
inline Bytes frame_file(std::size_t size) {
    Bytes bytes(size, 0);
    put_header(bytes, 0);
    bytes.resize(size);
    return bytes;
}

// A header alone, with nothing behind it to confirm it.
inline void put_lone_header(Bytes& bytes, std::size_t offset, const uint8_t (&header)[4] = kMpeg1Header) {
    put(bytes, offset, Bytes(header, header + 4));
}

// A Xing header: magic, flags, frame count.
inline Bytes xing(uint32_t flags, uint32_t frames) {
    return {'X', 'i', 'n', 'g',
            uint8_t(flags >> 24), uint8_t(flags >> 16), uint8_t(flags >> 8), uint8_t(flags),
            uint8_t(frames >> 24), uint8_t(frames >> 16), uint8_t(frames >> 8), uint8_t(frames)};
}

// An ID3v2 tag header announcing `size` bytes behind it.
inline Bytes id3v2_header(uint32_t size, uint8_t version = 3, uint8_t flags = 0) {
    return {'I', 'D', '3', version, 0, flags, uint8_t((size >> 21) & 0x7F),
            uint8_t((size >> 14) & 0x7F), uint8_t((size >> 7) & 0x7F), uint8_t(size & 0x7F)};
}

// An ID3v2.3 text frame with encoding byte 0.
inline Bytes id3v2_text_frame(const std::string& id, const std::string& text) {
    const uint32_t size = static_cast<uint32_t>(text.size() + 1);
    Bytes frame(id.begin(), id.end());
    frame.insert(frame.end(), {uint8_t(size >> 24), uint8_t(size >> 16), uint8_t(size >> 8),
                               uint8_t(size), 0, 0, 0});
    frame.insert(frame.end(), text.begin(), text.end());
    return frame;
}

// A 128-byte ID3v1 block; track 0 makes a version 1.0 tag.
inline Bytes id3v1(const std::string& title, const std::string& artist, const std::string& album,
                   const std::string& year, const std::string& comment, uint8_t track,
                   uint8_t genre) {
    Bytes block(128, 0);
    put(block, 0, "TAG");
    put(block, 3, title.substr(0, 30));
    put(block, 33, artist.substr(0, 30));
    put(block, 63, album.substr(0, 30));
    put(block, 93, year.substr(0, 4));
    put(block, 97, comment.substr(0, track ? 28 : 30));
    block[126] = track;
    block[127] = genre;
    return block;
}

class TempDir {
public:
    TempDir() {
        std::string base = (std::filesystem::temp_directory_path() / "velkor-test-XXXXXX").string();
        if (mkdtemp(base.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        dir_ = base;
    }
    ~TempDir() {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string path(const std::string& name) const { return dir_ + "/" + name; }

    std::string write(const std::string& name, const Bytes& bytes) const {
        return write_sparse(name, bytes, static_cast<int64_t>(bytes.size()));
    }

    // The bytes at the start, zeros (a hole, no disk space) up to `size`,
    // and `tail` as the file's last bytes.
    std::string write_sparse(const std::string& name, const Bytes& head, int64_t size,
                             const Bytes& tail = {}) const {
        const std::string file = path(name);
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0) throw std::runtime_error("cannot create " + file);
        bool ok = ::pwrite(fd, head.data(), head.size(), 0) == static_cast<ssize_t>(head.size()) &&
                  ::ftruncate(fd, static_cast<off_t>(size)) == 0;
        if (ok && !tail.empty()) {
            ok = ::pwrite(fd, tail.data(), tail.size(),
                          static_cast<off_t>(size - static_cast<int64_t>(tail.size()))) ==
                 static_cast<ssize_t>(tail.size());
        }
        ::close(fd);
        if (!ok) throw std::runtime_error("cannot write " + file);
        return file;
    }

private:
    std::string dir_;
};

}  // namespace velkor::testing
