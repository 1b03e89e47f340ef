// Signatures of the formats an MPEG audio reader is handed by mistake, and
// the walk through a RIFF file's chunks to MPEG audio inside it.
#include "stream/format_signature.h"

#include <algorithm>
#include <cstring>

#include "base/little_endian.h"

namespace velkor {

namespace {

constexpr uint32_t kWaveMpeg = 0x0050;        // Layer I or II
constexpr uint32_t kWaveMpegLayer3 = 0x0055;
constexpr int64_t kRiffHeaderSize = 12;       // "RIFF", size, form
constexpr int64_t kChunkHeaderSize = 8;       // id, size

struct Signature {
    std::size_t at;
    const char* bytes;
    std::size_t size;
    FileFormat format;
};

constexpr Signature kSignatures[] = {
    {0, "fLaC", 4, FileFormat::kFlac},
    {0, "OggS", 4, FileFormat::kOgg},
    {4, "ftyp", 4, FileFormat::kMp4},
    {0, "\x7F" "ELF", 4, FileFormat::kElf},
    {0, "PK\x03\x04", 4, FileFormat::kZip},
    {0, "%PDF", 4, FileFormat::kPdf},
    {0, "\x89PNG", 4, FileFormat::kPng},
    {0, "MZ", 2, FileFormat::kWindowsExe},
};

bool has(ByteSpan bytes, std::size_t at, const char* text, std::size_t n) {
    return bytes.size >= at + n && std::memcmp(bytes.data + at, text, n) == 0;
}

// Walks the chunks behind the RIFF header for the format tag and the data
// chunk. Chunks are word-aligned: an odd size is followed by a pad byte.
FormatSignature riff_contents(ByteSource& source, int64_t offset, int64_t end, bool wave) {
    FormatSignature found;
    found.format = FileFormat::kWave;
    bool mpeg = !wave;  // an RMP3 form holds nothing but MPEG audio
    int64_t pos = offset + kRiffHeaderSize;
    for (std::size_t i = 0; i < FormatSignature::kMaxRiffChunks && end - pos >= kChunkHeaderSize; ++i) {
        const ByteSpan chunk = source.bytes(pos, static_cast<std::size_t>(kChunkHeaderSize));
        if (chunk.size < kChunkHeaderSize) break;
        const int64_t size = little_endian32(chunk, 4);
        const int64_t body = pos + kChunkHeaderSize;
        if (has(chunk, 0, "fmt ", 4)) {
            const uint32_t tag = little_endian16(source.bytes(body, 2), 0);
            mpeg = tag == kWaveMpeg || tag == kWaveMpegLayer3;
        } else if (has(chunk, 0, "data", 4)) {
            if (!mpeg) break;
            found.format = FileFormat::kRiffMpeg;
            found.data_offset = body;
            found.data_size = std::min(size, end - body);
            break;
        }
        pos = body + size + (size & 1);
    }
    if (!wave && found.format != FileFormat::kRiffMpeg) found.format = FileFormat::kOtherRiff;
    return found;
}

}  // namespace

FormatSignature identify_format(ByteSource& source, int64_t offset, int64_t end) {
    FormatSignature found;
    if (offset < 0 || end <= offset) return found;
    const ByteSpan start = source.bytes(offset, static_cast<std::size_t>(std::min<int64_t>(end - offset, kRiffHeaderSize)));
    if (has(start, 0, "RIFF", 4)) {
        const bool wave = has(start, 8, "WAVE", 4);
        if (wave || has(start, 8, "RMP3", 4)) return riff_contents(source, offset, end, wave);
        found.format = FileFormat::kOtherRiff;
        return found;
    }
    if (has(start, 0, "FORM", 4) && (has(start, 8, "AIFF", 4) || has(start, 8, "AIFC", 4))) {
        found.format = FileFormat::kAiff;
        return found;
    }
    for (const Signature& signature : kSignatures) {
        if (has(start, signature.at, signature.bytes, signature.size)) {
            found.format = signature.format;
            return found;
        }
    }
    return found;
}

const char* format_name(FileFormat format) {
    switch (format) {
        case FileFormat::kNone: return "";
        case FileFormat::kFlac: return "FLAC";
        case FileFormat::kOgg: return "Ogg";
        case FileFormat::kAiff: return "AIFF";
        case FileFormat::kMp4: return "MP4";
        case FileFormat::kElf: return "ELF";
        case FileFormat::kWindowsExe: return "Windows executable";
        case FileFormat::kZip: return "ZIP";
        case FileFormat::kPdf: return "PDF";
        case FileFormat::kPng: return "PNG";
        case FileFormat::kWave: return "WAVE";
        case FileFormat::kRiffMpeg: return "MPEG audio in RIFF";
        case FileFormat::kOtherRiff: return "RIFF";
    }
    return "";
}

}  // namespace velkor
