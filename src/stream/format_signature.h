// Other formats' signatures at the start of a file (or right behind its
// ID3v2 tag): files that are not MPEG audio streams are named rather than
// searched for frames, and MPEG audio wrapped in a RIFF WAVE file is found
// in its data chunk.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/byte_source.h"

namespace velkor {

enum class FileFormat : uint8_t {
    kNone,        // no other format's signature
    kFlac,        // "fLaC"
    kOgg,         // "OggS"
    kAiff,        // "FORM" ... "AIFF" or "AIFC"
    kMp4,         // "ftyp" at offset 4
    kElf,         // 7F "ELF"
    kWindowsExe,  // "MZ"
    kZip,         // "PK" 03 04
    kPdf,         // "%PDF"
    kPng,         // 89 "PNG"
    kWave,        // "RIFF" ... "WAVE" holding anything but MPEG audio
    kRiffMpeg,    // "RIFF" ... "WAVE" or "RMP3" holding MPEG audio
    kOtherRiff,   // "RIFF" with another form
};

struct FormatSignature {
    // RIFF chunks examined before giving up on the "fmt " and "data" chunks.
    static constexpr std::size_t kMaxRiffChunks = 64;

    FileFormat format = FileFormat::kNone;
    // For kRiffMpeg: the data chunk's bytes, the MPEG audio stream, cut
    // where the file ends.
    int64_t data_offset = 0;
    int64_t data_size = 0;
};

// The format whose signature the bytes at offset begin with, in a file
// whose bytes end at `end`. Reads 12 bytes at offset, and in a RIFF file
// 8 bytes for each of at most kMaxRiffChunks chunk headers and 2 for the
// format tag.
FormatSignature identify_format(ByteSource& source, int64_t offset, int64_t end);

// "FLAC", "Ogg", "AIFF", "MP4", "ELF", "Windows executable", "ZIP", "PDF",
// "PNG", "WAVE", "MPEG audio in RIFF", "RIFF"; "" for kNone.
const char* format_name(FileFormat format);

}  // namespace velkor
