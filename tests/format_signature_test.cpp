// Other formats told apart by their first bytes, and the walk through RIFF
// chunks to MPEG audio inside a WAVE file.
#include <gtest/gtest.h>

#include <string>

#include "stream/format_signature.h"
#include "tag_bytes.h"

namespace {

using namespace velkor;
using namespace velkor::testing;

std::string chunk(const std::string& id, const std::string& body) {
    return id + le32(static_cast<uint32_t>(body.size())) + body + std::string(body.size() % 2, '\0');
}

std::string riff(const std::string& form, const std::string& chunks) { return "RIFF" + le32(0) + form + chunks; }

std::string fmt(uint16_t tag) { return chunk("fmt ", {static_cast<char>(tag), static_cast<char>(tag >> 8), 0, 0}); }

TEST(FormatSignature, Signatures) {
    const std::string audio(64, '\xFF');
    std::string many_chunks;
    for (std::size_t i = 0; i < FormatSignature::kMaxRiffChunks; ++i) many_chunks += chunk("JUNK", "");
    struct Case {
        const char* name;
        std::string bytes;
        FileFormat format;
        int64_t data_offset, data_size;
    } const cases[] = {
        {"MPEG audio", "\xFF\xFB\x90\x00" + audio, FileFormat::kNone, 0, 0},
        {"FLAC", "fLaC" + audio, FileFormat::kFlac, 0, 0},
        {"Ogg", "OggS" + audio, FileFormat::kOgg, 0, 0},
        {"AIFC", "FORM" + le32(4) + "AIFC", FileFormat::kAiff, 0, 0},
        {"FORM of another kind", "FORM" + le32(4) + "8SVX", FileFormat::kNone, 0, 0},
        {"MP4", le32(0) + "ftypM4A ", FileFormat::kMp4, 0, 0},
        {"ELF", "\x7F" "ELF" + audio, FileFormat::kElf, 0, 0},
        {"Windows executable", "MZ" + audio, FileFormat::kWindowsExe, 0, 0},
        {"ZIP", std::string("PK\x03\x04", 4), FileFormat::kZip, 0, 0},
        {"PDF", "%PDF-1.4", FileFormat::kPdf, 0, 0},
        {"PNG", "\x89PNG\r\n", FileFormat::kPng, 0, 0},
        {"PCM WAVE", riff("WAVE", fmt(1) + chunk("data", audio)), FileFormat::kWave, 0, 0},
        {"MPEG WAVE", riff("WAVE", fmt(0x55) + chunk("data", audio)), FileFormat::kRiffMpeg, 32, 64},
        {"Layer II WAVE, odd chunk first", riff("WAVE", chunk("LIST", "abc") + fmt(0x50) + chunk("data", audio)),
         FileFormat::kRiffMpeg, 44, 64},
        {"data size past the end", riff("WAVE", fmt(0x55) + "data" + le32(0xFFFFFFFF) + audio),
         FileFormat::kRiffMpeg, 32, 64},
        {"data beyond the chunk limit", riff("WAVE", fmt(0x55) + many_chunks + chunk("data", audio)),
         FileFormat::kWave, 0, 0},
        {"chunk size past the end", riff("WAVE", chunk("JUNK", "") + "LIST" + le32(0xFFFFFFF0) + fmt(0x55)),
         FileFormat::kWave, 0, 0},
        {"RMP3", riff("RMP3", chunk("data", audio)), FileFormat::kRiffMpeg, 20, 64},
        {"AVI", riff("AVI ", ""), FileFormat::kOtherRiff, 0, 0},
        {"short", "fLa", FileFormat::kNone, 0, 0},
    };
    for (const Case& c : cases) {
        const std::string file = "ID3" + c.bytes;
        SpanSource source = source_of(file);
        const FormatSignature found = identify_format(source, 3, static_cast<int64_t>(c.bytes.size()) + 3);
        EXPECT_EQ(found.format, c.format) << c.name;
        if (c.format != FileFormat::kRiffMpeg) continue;
        EXPECT_EQ(found.data_offset, c.data_offset + 3) << c.name;
        EXPECT_EQ(found.data_size, c.data_size) << c.name;
    }
    EXPECT_STREQ(format_name(FileFormat::kFlac), "FLAC");
    EXPECT_STREQ(format_name(static_cast<FileFormat>(200)), "");
}

}  // namespace
