// Other formats told apart by their first bytes, and the walk through RIFF
// chunks to MPEG audio inside a WAVE file.
#include <gtest/gtest.h>

#include "stream/format_signature.h"
#include "tag_bytes.h"

namespace {

using namespace velkor;
using namespace velkor::testing;
using F = FileFormat;

std::string chunk(const std::string& id, const std::string& body) {
    return id + le32(static_cast<uint32_t>(body.size())) + body + std::string(body.size() % 2, '\0');
}
std::string riff(const std::string& form, const std::string& chunks) { return "RIFF" + le32(0) + form + chunks; }
std::string fmt(char tag) { return chunk("fmt ", {tag, 0, 2, 0}); }

TEST(FormatSignature, SignaturesAndRiffWalk) {
    const std::string audio(64, '\xFF');
    std::string junk;
    for (std::size_t i = 0; i < FormatSignature::kMaxRiffChunks; ++i) junk += chunk("JUNK", "");
    // data_offset: of the 64 bytes of MPEG audio in a RIFF file.
    struct { std::string bytes; FileFormat format; int64_t data_offset; } const cases[] = {
        {"\xFF\xFB\x90\x00" + audio, F::kNone, 0},
        {"FORM" + le32(4) + "AIFC", F::kAiff, 0},
        {"FORM" + le32(4) + "8SVX", F::kNone, 0},
        {le32(0) + "ftypM4A ", F::kMp4, 0},
        {"MZ", F::kWindowsExe, 0},
        {"fLaC", F::kFlac, 0},
        {"fLa", F::kNone, 0},
        {riff("WAVE", fmt(1) + chunk("data", audio)), F::kWave, 0},
        {riff("WAVE", fmt(0x55) + chunk("data", audio)), F::kRiffMpeg, 32},
        {riff("WAVE", chunk("LIST", "odd") + fmt(0x50) + chunk("data", audio)), F::kRiffMpeg, 44},
        {riff("WAVE", fmt(0x55) + "data" + le32(0xFFFFFFFF) + audio), F::kRiffMpeg, 32},
        {riff("WAVE", fmt(0x55) + junk + chunk("data", audio)), F::kWave, 0},
        {riff("WAVE", "LIST" + le32(0xFFFFFFF0) + fmt(0x55) + chunk("data", audio)), F::kWave, 0},
        {riff("RMP3", chunk("data", audio)), F::kRiffMpeg, 20},
        {riff("AVI ", ""), F::kOtherRiff, 0},
    };
    for (const auto& c : cases) {
        const std::string file = "ID3" + c.bytes;  // read from offset 3, as behind a tag
        SpanSource source = source_of(file);
        const FormatSignature found = identify_format(source, 3, static_cast<int64_t>(file.size()));
        EXPECT_EQ(format_name(found.format), std::string(format_name(c.format))) << c.bytes;
        if (c.format != F::kRiffMpeg) continue;
        EXPECT_EQ(found.data_offset, c.data_offset + 3);
        EXPECT_EQ(found.data_size, 64);
    }
    EXPECT_STREQ(format_name(static_cast<FileFormat>(200)), "");
}

}  // namespace
