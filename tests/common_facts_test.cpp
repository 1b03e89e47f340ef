// The common facts, the APEv2 items and the tags of a file without audio:
// against what other readers report of tests/data, and over a byte-built
// tag that gives every fact a source and a rival.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

#include "data_facts.h"
#include "json_value.h"
#include "tag_bytes.h"
#include "velkor.h"

namespace {

using velkor::testing::JsonReader;
using velkor::testing::JsonValue;
using namespace std::string_literals;

using velkor::testing::data_path;
using velkor::testing::facts;

struct Opened {
    explicit Opened(const std::string& path, uint32_t options = VELKOR_OPEN_WITHOUT_AUDIO)
        : status(velkor_open(path.c_str(), options, &file)) {
        tags.size = sizeof tags;
        facts.size = sizeof facts;
        if (file) {
            velkor_tag_facts(file, &tags);
            velkor_facts(file, &facts);
        }
    }
    ~Opened() { velkor_close(file); }
    std::string text(int32_t field) const { return velkor_text(file, field); }
    velkor_file* file = nullptr;
    int32_t status;
    velkor_tag_facts_info tags = {};
    velkor_file_facts facts = {};
};

constexpr double kNone = NAN;

struct DataCase {
    const char* name;
    int32_t status;
    int32_t track, track_total, disc, disc_total, compilation, bpm, rating;
    int64_t play_count;
    int32_t year, month, day;
    double track_gain;  // kNone: none; else TXXX, APEv2 or the encoder's as noted
};

const DataCase kData[] = {
    {"01_lame_vbr_mid3v2.mp3", VELKOR_OK, 1, 9, -1, -1, -1, -1, -1, -1, 2021, 4, 5, -6.5},  // TXXX over LAME
    {"02_lame_cbr_eyed3.mp3", VELKOR_OK, 7, 10, -1, -1, 1, 120, 196, 42, 2019, -1, -1, -9.2},  // ID3v1 year; LAME
    {"03_ffmpeg_cbr_id3v2tool.mp3", VELKOR_OK, 5, 11, -1, -1, -1, -1, -1, -1, 2005, -1, -1, kNone},
    {"04_ffmpeg_default_tag.mp3", VELKOR_OK, 3, 12, 1, 2, -1, -1, -1, -1, 2020, -1, -1, kNone},
    {"06_apev2_mp3gain_id3v1.mp3", VELKOR_OK, 2, -1, -1, -1, -1, -1, -1, -1, 2010, -1, -1, -8.37},  // APEv2
    {"08_tag_only.mp3", VELKOR_ERROR_NO_AUDIO, 1, 1, -1, -1, -1, -1, -1, -1, -1, -1, -1, kNone},
    {"11_vbr_truncated.mp3", VELKOR_OK, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -8.3},  // LAME only
};

TEST(CommonFacts, OfTheDataFiles) {
    for (const DataCase& c : kData) {
        const Opened f(data_path(c.name));
        ASSERT_EQ(f.status, c.status) << c.name;
        ASSERT_NE(f.file, nullptr) << c.name;
        const velkor_tag_facts_info& t = f.tags;
        EXPECT_EQ((std::vector<int32_t>{t.track, t.track_total, t.disc, t.disc_total, t.compilation, t.bpm, t.rating,
                                        t.year, t.month, t.day}),
                  (std::vector<int32_t>{c.track, c.track_total, c.disc, c.disc_total, c.compilation, c.bpm, c.rating,
                                        c.year, c.month, c.day}))
            << c.name;
        EXPECT_EQ(t.play_count, c.play_count) << c.name;
        EXPECT_EQ((t.replaygain_known & VELKOR_REPLAYGAIN_TRACK_GAIN) != 0, !std::isnan(c.track_gain)) << c.name;
        if (!std::isnan(c.track_gain)) {
            EXPECT_DOUBLE_EQ(t.track_gain_db, c.track_gain) << c.name;
        }
    }
    EXPECT_EQ(Opened(data_path("01_lame_vbr_mid3v2.mp3")).text(VELKOR_TAG_MUSICBRAINZ_ALBUM_ID),
              facts()["01_lame_vbr_mid3v2.mp3"]["id3v2"]["frames"]["TXXX"].items[0]["text"].items[0].text);
    EXPECT_EQ(Opened(data_path("02_lame_cbr_eyed3.mp3")).text(VELKOR_TAG_LYRICS),
              facts()["02_lame_cbr_eyed3.mp3"]["id3v2"]["frames"]["USLT"].items[0]["text"].text);
    // Without the option a file without audio gives no handle.
    EXPECT_EQ(Opened(data_path("08_tag_only.mp3"), 0).file, nullptr);
}

// The encoder's settings and the APEv2 items as mutagen reads them.
TEST(CommonFacts, EncoderSettingsAndApeItemsAsOtherReadersShowThem) {
    for (const auto& [name, file_facts] : facts().members) {
        const Opened f(data_path(name));
        ASSERT_NE(f.file, nullptr) << name;
        const JsonValue& xing = file_facts["mpeg"].has("xing") ? file_facts["mpeg"]["xing"] : JsonValue();
        if (!xing.is_null() && xing.has("lame") && !xing["lame"].is_null()) {
            const JsonValue& lame = xing["lame"];
            EXPECT_EQ(f.facts.lame_vbr_method, lame["vbr_method"].number) << name;
            EXPECT_EQ(f.facts.lame_lowpass_hz, lame["lowpass_hz"].number) << name;
            EXPECT_EQ(f.facts.lame_quality, xing["vbr_scale"].number) << name;
            std::string settings = lame["encoder_settings"].text;  // "-V 3", "-b 64"
            settings = (settings[1] == 'V' ? "V" : "CBR ") + settings.substr(3);
            EXPECT_EQ(f.text(VELKOR_STREAM_LAME_PRESET), settings) << name;
        }
        const JsonValue& ape = file_facts["apev2"];
        ASSERT_EQ(velkor_ape_item_count(f.file), ape.is_null() ? 0 : static_cast<int32_t>(ape.members.size())) << name;
        for (int32_t i = 0; i < velkor_ape_item_count(f.file); ++i) {
            velkor_ape_item_info info = {};
            info.size = sizeof info;
            ASSERT_EQ(velkor_ape_item(f.file, i, &info), VELKOR_OK);
            EXPECT_EQ(velkor_ape_item_text(f.file, i, VELKOR_APE_VALUE, 0), ape[info.key].text) << info.key;
            std::string raw(static_cast<std::size_t>(info.body_size), '\0');
            ASSERT_EQ(velkor_read_ape_item(f.file, i, &raw[0], static_cast<int32_t>(raw.size())), VELKOR_OK);
            EXPECT_EQ(raw, ape[info.key].text);
        }
    }
}

// Byte-built -------------------------------------------------------------------

using velkor::testing::syncsafe;
// An ID3v2.4 frame.
std::string frame(const std::string& id, const std::string& body, uint16_t flags = 0) {
    return velkor::testing::id3v2_frame(4, id, body, flags);
}
std::string text(const std::string& id, const std::string& value) { return frame(id, "\x03"s + value); }
std::string txxx(const std::string& description, const std::string& value) {
    return frame("TXXX", "\x03"s + description + '\0' + value);
}
using velkor::testing::deflated;

// A tag-only file: each fact given by the source that should win, with a
// rival behind it that should not.
TEST(CommonFacts, FromEverySourceInOrder) {
    std::string cover(3000, '\0');
    for (std::size_t i = 0; i < cover.size(); ++i) cover[i] = static_cast<char>(i * 7 % 251);
    const std::string apic = "\0image/png\0\x03" "c\0"s + cover;
    const std::string frames =
        txxx("REPLAYGAIN_TRACK_GAIN", "-7.25 dB") + txxx("replaygain_album_gain", "+1.50 dB") +
        // RVA2 "track": a rival track gain (-3 dB) and the only track peak (0.5).
        frame("RVA2", "track\0\x01\xFA\x00\x10\x40\x00"s) + text("TDRC", "2004-05-01T12:30") +
        text("TDRL", "2005-06") + text("TORY", "1999") + text("TPOS", "2/3") + text("TCMP", "0") +
        text("TBPM", "99.6") + text("GRP1", "Group") + text("TSOP", "Sort, The") +
        frame("UFID", "http://musicbrainz.org\0abc-123"s) +
        frame("APIC", syncsafe(static_cast<uint32_t>(apic.size())) + deflated(apic), 0x0009) +
        frame("APIC", "\x01" + apic.substr(0, 40), 0x0004);
    const std::string ape = velkor::testing::ape_item("Track", "4/9") +
                            velkor::testing::ape_item("REPLAYGAIN_ALBUM_PEAK", "0.9") +
                            velkor::testing::ape_item("REPLAYGAIN_TRACK_GAIN", "+9 dB") +
                            velkor::testing::ape_item("Artists", "One\0Two"s) +
                            velkor::testing::ape_item("Cover Art (Front)", "x\0\xFF\xFE"s, 1u << 1);
    const std::string bytes = velkor::testing::id3v2_tag(4, frames) + velkor::testing::ape_tag(ape, 5) + "TAG" +
                              std::string(90, 'a') + "1980" + std::string(31, '\0');
    const std::string path = ::testing::TempDir() + "velkor_common_facts.mp3";
    std::ofstream(path, std::ios::binary) << bytes;
    const Opened f(path);
    ASSERT_EQ(f.status, VELKOR_ERROR_NO_AUDIO);
    ASSERT_NE(f.file, nullptr);
    const velkor_tag_facts_info& t = f.tags;
    EXPECT_EQ((std::vector<int32_t>{t.track, t.track_total, t.disc, t.disc_total, t.compilation, t.bpm, t.year,
                                    t.month, t.day, t.hour, t.minute, t.release_year, t.original_year}),
              (std::vector<int32_t>{4, 9, 2, 3, 0, 100, 2004, 5, 1, 12, 30, 2005, 1999}));
    EXPECT_EQ(t.replaygain_known, 0xFu);
    EXPECT_DOUBLE_EQ(t.track_gain_db, -7.25);
    EXPECT_DOUBLE_EQ(t.track_peak, 0.5);
    EXPECT_DOUBLE_EQ(t.album_gain_db, 1.5);
    EXPECT_DOUBLE_EQ(t.album_peak, 0.9);
    EXPECT_EQ(f.text(VELKOR_TAG_GROUPING), "Group");
    EXPECT_EQ(f.text(VELKOR_TAG_ARTIST_SORT), "Sort, The");
    EXPECT_EQ(f.text(VELKOR_TAG_MUSICBRAINZ_TRACK_ID), "abc-123");
    EXPECT_EQ(f.text(VELKOR_TAG_ORIGINAL_DATE), "1999");
    EXPECT_EQ(f.text(VELKOR_TAG_BPM), "99.6");
    EXPECT_EQ(f.facts.id3v1, 10);
    EXPECT_EQ(f.facts.duration_ms, -1);

    // The compressed cover is a picture, inflated; the encrypted one only a frame.
    ASSERT_EQ(f.facts.picture_count, 1);
    velkor_picture_info picture = {};
    picture.size = sizeof picture;
    ASSERT_EQ(velkor_picture(f.file, 0, &picture), VELKOR_OK);
    EXPECT_EQ(picture.bytes, static_cast<int32_t>(cover.size()));
    std::string data(cover.size(), '\0');
    ASSERT_EQ(velkor_read_picture(f.file, 0, &data[0], picture.bytes), VELKOR_OK);
    EXPECT_EQ(data, cover);
    velkor_frame_info encrypted = {};
    encrypted.size = sizeof encrypted;
    ASSERT_EQ(velkor_frame(f.file, velkor_frame_count(f.file) - 1, &encrypted), VELKOR_OK);
    EXPECT_EQ(encrypted.encrypted, 1);

    // Text items split at their zero bytes; a binary item has no values.
    ASSERT_EQ(velkor_ape_item_count(f.file), 5);
    velkor_ape_item_info item = {};
    item.size = sizeof item;
    ASSERT_EQ(velkor_ape_item(f.file, 3, &item), VELKOR_OK);
    EXPECT_EQ(item.value_count, 2);
    EXPECT_STREQ(velkor_ape_item_text(f.file, 3, VELKOR_APE_VALUE, 1), "Two");
    ASSERT_EQ(velkor_ape_item(f.file, 4, &item), VELKOR_OK);
    EXPECT_EQ((std::vector<int64_t>{item.kind, item.value_count, item.body_size}),
              (std::vector<int64_t>{VELKOR_APE_BINARY, 0, 4}));
    EXPECT_STREQ(item.key, "Cover Art (Front)");

    // Another format behind the tag: its name, and the tags at both ends.
    std::ofstream(path, std::ios::binary)
        << velkor::testing::id3v2_tag(4, frames) + "fLaC" + std::string(200, '\0') + "TAG" + std::string(125, 'b');
    const Opened flac(path);
    EXPECT_EQ((std::vector<int32_t>{flac.status, flac.facts.stream_format, flac.facts.id3v2_version, flac.facts.id3v1,
                                    flac.tags.year}),
              (std::vector<int32_t>{VELKOR_ERROR_NO_AUDIO, VELKOR_FORMAT_FLAC, 4, 10, 2004}));
    std::remove(path.c_str());
}

// Open decodes the small frames once, the texts' and the facts' alike;
// frames beyond what the other frames may take at open (1 MiB) still leave
// the facts theirs, and are decoded when asked for.
TEST(CommonFacts, FramesBeyondTheDecodedBudgetKeepFactsAndTexts) {
    std::string frames;
    for (int i = 0; i < 80; ++i) frames += text("TIT3", std::string(15000, 's') + std::to_string(i));
    frames += text("TBPM", "120") + text("TIT2", "After the subtitles") +
              frame("TALB", syncsafe(11) + deflated("\3Compressed"), 0x0009);
    const std::string path = ::testing::TempDir() + "velkor_decoded_budget.mp3";
    std::ofstream(path, std::ios::binary) << "ID3\x04\0\0"s + syncsafe(static_cast<uint32_t>(frames.size())) + frames;
    const Opened f(path);
    ASSERT_NE(f.file, nullptr);
    EXPECT_EQ(f.tags.bpm, 120);
    EXPECT_EQ(f.text(VELKOR_ID3V2_TITLE), "After the subtitles");
    EXPECT_EQ(f.text(VELKOR_ID3V2_ALBUM), "Compressed");
    EXPECT_STREQ(velkor_tag_value(f.file, "ALBUM", 0), "Compressed");
    for (int32_t i : {0, 79}) {
        EXPECT_EQ(velkor_frame_text(f.file, i, VELKOR_FRAME_VALUE, 0), std::string(15000, 's') + std::to_string(i));
    }
    std::remove(path.c_str());
}

}  // namespace
