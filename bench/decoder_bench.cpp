// Google Benchmark of the pure decoders: what each costs per call and how
// many bytes a second it gets through, with no file I/O involved.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/byte_span.h"
#include "stream/frame_header.h"
#include "stream/frame_scan.h"
#include "stream/vbr_header.h"
#include "tags/tag_record.h"

namespace {

using velkor::ByteSpan;
using Bytes = std::vector<uint8_t>;

void append(Bytes& out, const std::string& text) { out.insert(out.end(), text.begin(), text.end()); }

void append_be32(Bytes& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

// Words as the scan meets them: every fourth a real header, the rest
// random bytes that start with the sync byte.
std::vector<uint32_t> header_words() {
    std::mt19937 random(7);
    std::vector<uint32_t> words(1024);
    for (std::size_t i = 0; i < words.size(); ++i) {
        words[i] = i % 4 == 0 ? 0xFFFB9064u : (0xFF000000u | (random() & 0x00FFFFFFu));
    }
    return words;
}

void BM_FrameHeader(benchmark::State& state) {
    const std::vector<uint32_t> words = header_words();
    std::size_t i = 0;
    for (auto _ : state) {
        const uint32_t w = words[i++ & (words.size() - 1)];
        velkor::FrameHeader header;
        header.set_bytes(uint8_t(w >> 24), uint8_t(w >> 16), uint8_t(w >> 8), uint8_t(w));
        int32_t figures = header.is_valid();
        if (figures) figures += header.table_bitrate_kbps() + header.sampling_rate_hz();
        benchmark::DoNotOptimize(figures);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 4);
}
BENCHMARK(BM_FrameHeader);

void BM_XingHeader(benchmark::State& state) {
    Bytes bytes;
    append(bytes, "Xing");
    append_be32(bytes, 0x0F);
    append_be32(bytes, 12345);
    velkor::VbrHeader vbr;
    for (auto _ : state) {
        benchmark::DoNotOptimize(bytes.data());
        benchmark::DoNotOptimize(vbr.parse(ByteSpan(bytes.data(), bytes.size())));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_XingHeader);

Bytes id3v1_block() {
    Bytes block(velkor::TagRecord::kId3v1Size, 0);
    auto put = [&](std::size_t at, const std::string& text) { std::memcpy(&block[at], text.data(), text.size()); };
    put(0, "TAG");
    put(3, "A Title Of Typical Length");
    put(33, "Some Artist");
    put(63, "The Album");
    put(93, "1999");
    put(97, "a comment");
    block[126] = 7;
    block[127] = 17;
    return block;
}

void BM_Id3v1(benchmark::State& state) {
    const Bytes block = id3v1_block();
    velkor::TagRecord tag;
    for (auto _ : state) {
        benchmark::DoNotOptimize(block.data());
        benchmark::DoNotOptimize(tag.read_id3v1(ByteSpan(block.data(), block.size())));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * block.size()));
}
BENCHMARK(BM_Id3v1);

void append_text_frame(Bytes& tag, const std::string& id, const std::string& text) {
    append(tag, id);
    append_be32(tag, static_cast<uint32_t>(text.size() + 1));
    tag.insert(tag.end(), {0, 0, 0});  // flags, encoding 0
    append(tag, text);
}

// An ID3v2.3 tag as taggers write it: the usual text frames, a comment,
// frames the reader passes over, then padding.
Bytes id3v2_tag(std::size_t other_frames, std::size_t padding) {
    Bytes body;
    append_text_frame(body, "TIT2", "A Title Of Typical Length");
    append_text_frame(body, "TPE1", "Some Artist");
    append_text_frame(body, "TALB", "The Album");
    append_text_frame(body, "TYER", "1999");
    append_text_frame(body, "TRCK", "7/12");
    append_text_frame(body, "TCON", "Jazz");
    append_text_frame(body, "COMM", std::string("eng") + '\0' + "a comment");
    for (std::size_t i = 0; i < other_frames; ++i) {
        append_text_frame(body, "TXXX", "a user text frame of some forty bytes");
    }
    body.resize(body.size() + padding, 0);
    Bytes tag = {'I', 'D', '3', 3, 0, 0};
    const auto size = static_cast<uint32_t>(body.size());
    for (int shift = 21; shift >= 0; shift -= 7) tag.push_back(static_cast<uint8_t>((size >> shift) & 0x7F));
    tag.insert(tag.end(), body.begin(), body.end());
    return tag;
}

// Arguments: frames the reader skips, bytes of padding.
void BM_Id3v2Walk(benchmark::State& state) {
    const Bytes tag = id3v2_tag(static_cast<std::size_t>(state.range(0)), static_cast<std::size_t>(state.range(1)));
    velkor::TagRecord record;
    for (auto _ : state) {
        benchmark::DoNotOptimize(tag.data());
        benchmark::DoNotOptimize(record.LoadTag2(ByteSpan(tag.data(), tag.size()), static_cast<int32_t>(tag.size())));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * tag.size()));
}
BENCHMARK(BM_Id3v2Walk)->Args({0, 0})->Args({0, 512})->Args({40, 0});

// The loader's search for the first frame header over 1 MiB that holds
// none. Argument: one byte in how many is 0xFF (0: none at all), each
// followed by a byte that cannot continue a header.
void BM_FrameScan(benchmark::State& state) {
    std::mt19937 random(11);
    Bytes bytes(1 << 20);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(random() % 0xFF);
    if (const auto every = static_cast<std::size_t>(state.range(0))) {
        for (std::size_t i = 0; i + 1 < bytes.size(); i += every) {
            bytes[i] = 0xFF;
            bytes[i + 1] = 0x12;
        }
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(velkor::find_frame_header(ByteSpan(bytes.data(), bytes.size()), 0, bytes.size()));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_FrameScan)->Arg(0)->Arg(256)->Arg(16);

}  // namespace

BENCHMARK_MAIN();
