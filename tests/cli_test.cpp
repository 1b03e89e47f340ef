// Runs the built velkor command on the sample files and on files made here,
// and checks its outputs, exit statuses and the tag round trip.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "json_value.h"
#include "tag_bytes.h"
#include "test_files.h"
#include "velkor.h"

extern char** environ;

namespace fs = std::filesystem;
using velkor::testing::JsonReader;
using velkor::testing::JsonValue;

namespace {

const std::string kVelkor = VELKOR_BUILD_DIR "/velkor";
const std::string kSamples = VELKOR_SAMPLES_DIR;

struct Outcome {
    int status = -1;
    std::string out, err;
};

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_file(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::size_t count_of(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// An ID3v1 block; track 0 makes a version 1.0 tag.
std::string id3v1(const std::string& title, const std::string& artist, const std::string& album,
                  const std::string& year, const std::string& comment, int track, int genre) {
    const auto block = velkor::testing::id3v1(title, artist, album, year, comment, uint8_t(track), uint8_t(genre));
    return std::string(block.begin(), block.end());
}

// MPEG-1 Layer III frames (128 kbit/s, 44.1 kHz, 417 bytes each).
std::string frames(int count = 4) {
    std::string audio;
    for (int i = 0; i < count; ++i) {
        std::string frame(417, '\0');
        frame.replace(0, 4, "\xFF\xFB\x90\x64");
        audio += frame;
    }
    return audio;
}

std::string be32(uint32_t n) { return velkor::testing::be(n, 4); }

// The first of frames(): a Xing or Info header in it (flags: 1 frame count,
// 2 bytes, 4 TOC, 8 quality) and, with a delay, a LAME tag behind it.
std::string vbr_frame(const std::string& magic, uint32_t flags, uint32_t count, int delay = -1,
                      int padding = 0, const std::string& encoder = "LAME3.100") {
    std::string header = magic + be32(flags);
    if (flags & 1) header += be32(count);
    if (flags & 2) header += be32(count * 417);
    if (flags & 4) header += std::string(100, '\0');
    if (flags & 8) header += be32(0);
    if (delay >= 0) {
        std::string lame(36, '\0');
        lame.replace(0, encoder.size(), encoder);
        lame[21] = static_cast<char>(delay >> 4);
        lame[22] = static_cast<char>((delay & 15) << 4 | padding >> 8);
        lame[23] = static_cast<char>(padding);
        header += lame;
    }
    std::string frame = frames(1);
    frame.replace(36, header.size(), header);  // behind the header and the stereo side info
    return frame;
}

// An ID3v2.3 or 2.4 tag of the frames (id, payload); 2.4 sizes are synchsafe.
std::string id3v2(int version, const std::vector<std::pair<std::string, std::string>>& frames) {
    std::string body;
    for (const auto& [id, payload] : frames) body += velkor::testing::id3v2_frame(version, id, payload);
    return velkor::testing::id3v2_tag(version, body);
}
std::string latin1(const std::string& text) { return '\0' + text; }
std::string utf8(const std::string& text) { return '\3' + text; }

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(kVelkor)) GTEST_SKIP() << "velkor not built: " << kVelkor;
        char pattern[] = "/tmp/velkor_cli_XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        if (!dir_.empty()) fs::remove_all(dir_);
    }

    // Runs velkor with the arguments; standard input from stdin_path. With
    // one_file, stderr goes where stdout goes (as 2>&1 does) and out holds
    // both.
    Outcome velkor(const std::vector<std::string>& args, const std::string& stdin_path = "/dev/null",
                   bool one_file = false) {
        return velkor_at(kVelkor, args, stdin_path, one_file);
    }
    Outcome velkor_at(const std::string& program, const std::vector<std::string>& args,
                      const std::string& stdin_path = "/dev/null", bool one_file = false) {
        const fs::path out = dir_ / ".out", err = dir_ / ".err";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, stdin_path.c_str(), O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (one_file) {
            posix_spawn_file_actions_adddup2(&actions, 1, 2);
        } else {
            posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        }
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        pid_t pid;
        Outcome run;
        if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
            int wstatus = 0;
            waitpid(pid, &wstatus, 0);
            run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
        }
        posix_spawn_file_actions_destroy(&actions);
        run.out = read_file(out);
        if (!one_file) run.err = read_file(err);
        return run;
    }

    // Runs a bash script with $VELKOR set, its output and errors kept.
    Outcome bash(const std::string& script) {
        setenv("VELKOR", kVelkor.c_str(), 1);
        return velkor_at("/bin/bash", {"-c", script});
    }

    // count links to one sample as NNNNN.mp3 in a new folder; its path.
    std::string many_files(int count) {
        const fs::path folder = dir_ / "many";
        fs::create_directory(folder);
        for (int i = 0; i < count; ++i) {
            char name[16];
            std::snprintf(name, sizeof name, "%05d.mp3", i);
            fs::create_hard_link(fs::path(kSamples) / "cbr_id3v11.mp3", folder / name);
        }
        return folder.string();
    }

    // A copy of a sample file in the temp dir.
    std::string copy_sample(const std::string& name) {
        const fs::path to = dir_ / name;
        fs::copy_file(fs::path(kSamples) / name, to, fs::copy_options::overwrite_existing);
        return to.string();
    }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    // The one JSON object velkor --json prints for a file.
    JsonValue json_of(const std::string& file, const std::string& option = "--") {
        const Outcome run = velkor({"--json", option, file});
        const auto value = JsonReader::parse(run.out);
        EXPECT_TRUE(value.has_value()) << run.out;
        return value.value_or(JsonValue{});
    }

    fs::path dir_;
};

std::string sample(const std::string& name) { return kSamples + "/" + name; }

// The "path" of each line of JSON Lines output.
std::vector<std::string> files_of(const std::string& json_lines) {
    std::vector<std::string> files;
    for (const std::string& line : lines_of(json_lines)) {
        const auto value = JsonReader::parse(line);
        EXPECT_TRUE(value) << line;
        files.push_back(value ? (*value)["path"].text : std::string());
    }
    return files;
}

// --- analysis outputs ---------------------------------------------------

TEST_F(CliTest, BlockShowsFiguresAndTagsOfEachSample) {
    const Outcome run = velkor({sample("cbr_id3v11.mp3"), sample("vbr_xing.mp3"),
                            sample("mpeg2_id3v10.mp3"), sample("id3v23_utf16.mp3")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::string& out = run.out;
    for (const char* expected : {
             "/cbr_id3v11.mp3\n  version:        MPEG 1 Layer III\n  bitrate:        32 kbps (CBR)\n"
             "  sampling:       32000 Hz\n  mode:           Single Channel\n"
             "  length:         00:07.1 (7.1 s, estimated)\n  size:           28.4 kB (28352 bytes)\n"
             "  frames:         196 (estimated from the size)\n",
             "  ID3v1.1\n    title:        Sine Tone\n    artist:       Velkor Samples\n"
             "    album:        Test Tones\n    year:         2023\n    comment:      440 Hz for 7 s\n"
             "    track:        3\n    genre:        Ambient (26)\n\n",
             "  bitrate:        35 kbps (VBR, average)\n  sampling:       44100 Hz\n"
             "  mode:           Joint Stereo\n  length:         00:06.0 (6.0 s, gapless 6.0 s)\n",
             "  frames:         231\n  encoder:        LAME3.100 (delay 576, padding 936 samples)\n"
             "  encoding:       vbr-new, V7, lowpass 15600 Hz\n  replaygain track: -15.60 dB\n"
             "  tags:           none\n",
             "  version:        MPEG 2 Layer III\n  bitrate:        24 kbps (CBR)\n"
             "  sampling:       22050 Hz\n",
             "  ID3v1.0\n    title:        Caf\u00e9 Tone\n",
             "    comment:      A thirty character comment ok.\n    genre:        Other (12)\n",
             "/id3v23_utf16.mp3\n  version:        MPEG 1 Layer III\n  bitrate:        32 kbps (CBR)\n"
             "  sampling:       44100 Hz\n",
             "  frames:         193 (estimated from the size)\n  track:          7\n  date:           2004\n"
             "  ID3v2.3\n    title:        Caf\u00e9 au Lait\n"
             "    artist:       \u00dcnder S\u00eba Quartet\n    album:        Stra\u00dfe Sessions\n"
             "    year:         2004\n    track:        07\n    genre:        Jazz\n"
             "    comment:      Recorded in Z\u00fcrich (eng)\n",
         }) {
        EXPECT_NE(out.find(expected), std::string::npos) << "missing:\n" << expected << "\nin:\n" << out;
    }
    // One block per file, separated by one empty line.
    EXPECT_EQ(count_of(out, "\n\n"), 3u);
}

TEST_F(CliTest, ReportIsTheRawSeparatedLine) {
    Outcome run = velkor({"--report", sample("cbr_id3v11.mp3")});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out,
              "SUCCESS: File opened successfully<sep>MPEG 1 Layer III<sep>32 kbps<sep>32000 Hz<sep>"
              "00:07<sep>27 kB<sep>Single Channel<sep>Sine Tone<sep>Velkor Samples<sep>Test Tones<sep>"
              "Ambient<sep>440 Hz for 7 s<sep>196<sep>2023<sep>3<sep>\n");

    // Several files: each line behind its file name; ID3v2 texts are not in
    // the report, its track is.
    run = velkor({"--report", sample("mpeg2_id3v10.mp3"), sample("id3v23_utf16.mp3")});
    const auto lines = lines_of(run.out);
    ASSERT_EQ(lines.size(), 2u) << run.out;
    EXPECT_EQ(lines[0], sample("mpeg2_id3v10.mp3") +
                            ": SUCCESS: File opened successfully<sep>MPEG 2 Layer III<sep>24 kbps<sep>"
                            "22050 Hz<sep>00:09<sep>26 kB<sep>Single Channel<sep>Caf\u00e9 Tone<sep>"
                            "Velkor Samples<sep>Test Tones<sep>Other<sep>A thirty character comment ok."
                            "<sep>348<sep>1999<sep>n/a<sep>");
    const std::string tail = "Single Channel<sep>n/a<sep>n/a<sep>n/a<sep>n/a<sep>n/a<sep>193<sep>n/a<sep>7<sep>";
    ASSERT_GE(lines[1].size(), tail.size());
    EXPECT_EQ(lines[1].substr(lines[1].size() - tail.size()), tail);
}

TEST_F(CliTest, RecordFieldsByNameWithId3v2Fallback) {
    const Outcome run = velkor({"--record", sample("id3v23_utf16.mp3")});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, sample("id3v23_utf16.mp3") +
                           "\n  status:    Success\n  track:     7\n  year:\n  bitrate:   32\n"
                           "  size:      20\n  frequency: 44100\n  length:    5\n  frames:    193\n"
                           "  album:     Stra\u00dfe Sessions\n  artist:    \u00dcnder S\u00eba Quartet\n"
                           "  comment:   Recorded in Z rich\n  genre:     8\n"
                           "  mode:      Single Channel\n  version:   MPEG 1 Layer III\n"
                           "  title:     Caf\u00e9 au Lait\n");
}

TEST_F(CliTest, JsonHasEveryFigureAndTag) {
    const JsonValue cbr = json_of(sample("cbr_id3v11.mp3"));
    EXPECT_EQ(cbr["status"].text, "ok");
    EXPECT_EQ(cbr["json_version"].text, "1.2");
    EXPECT_EQ(cbr["velkor"].text, velkor_version());
    EXPECT_EQ(cbr["version"].text, "MPEG 1 Layer III");
    EXPECT_EQ(cbr["mpeg_version"].number, 1);
    EXPECT_EQ(cbr["layer"].number, 3);
    EXPECT_EQ(cbr["bitrate_kbps"].number, 32);
    EXPECT_FALSE(cbr["bitrate_varies"].boolean);
    EXPECT_EQ(cbr["sampling_rate_hz"].number, 32000);
    EXPECT_EQ(cbr["channel_mode"].text, "Single Channel");
    EXPECT_EQ(cbr["channels"].number, 1);
    EXPECT_EQ(cbr["duration_ms"].number, 7056);
    EXPECT_EQ(cbr["file_size"].number, 28352);
    EXPECT_EQ(cbr["frames"].number, 196);
    EXPECT_EQ(cbr["first_frame_offset"].number, 0);
    const JsonValue& v1 = cbr["id3v1"];
    EXPECT_EQ(v1["version"].text, "1.1");
    EXPECT_EQ(v1["title"].text, "Sine Tone");
    EXPECT_EQ(v1["year"].text, "2023");
    EXPECT_EQ(v1["track"].number, 3);
    EXPECT_EQ(v1["genre"].number, 26);
    EXPECT_EQ(v1["genre_name"].text, "Ambient");
    EXPECT_TRUE(cbr["id3v2"].is_null());

    const JsonValue vbr = json_of(sample("vbr_xing.mp3"));
    EXPECT_TRUE(vbr["bitrate_varies"].boolean);
    EXPECT_EQ(vbr["bitrate_kbps"].number, 35);
    EXPECT_TRUE(vbr["id3v1"].is_null());
    EXPECT_EQ(json_of(sample("mpeg2_id3v10.mp3"), "--")["mpeg_version"].number, 2);

    const JsonValue utf16 = json_of(sample("id3v23_utf16.mp3"));
    EXPECT_EQ(utf16["first_frame_offset"].number, 502);
    const JsonValue& v2 = utf16["id3v2"];
    EXPECT_EQ(v2["title"].items.at(0).text, "Caf\u00e9 au Lait");
    EXPECT_EQ(v2["genre"].items.at(0).text, "Jazz");
    EXPECT_EQ(v2["year"].text, "2004");
    EXPECT_EQ(v2["track"].number, 7);
    EXPECT_TRUE(v2["track_total"].is_null());
}

// doc/json.md's tables, object by object: each key and its documented type.
std::map<std::string, std::map<std::string, std::string>> documented_keys() {
    std::map<std::string, std::map<std::string, std::string>> objects;
    std::string object;
    for (const std::string& line : lines_of(read_file(VELKOR_SOURCE_DIR "/doc/json.md"))) {
        if (line.rfind("### `", 0) == 0) object = line.substr(5, line.find('`', 5) - 5);
        if (line.rfind("| `", 0) != 0 || object.empty()) continue;
        const std::size_t key_end = line.find('`', 3), type_at = line.find("| ", key_end) + 2;
        objects[object][line.substr(3, key_end - 3)] = line.substr(type_at, line.find(" |", type_at) - type_at);
    }
    return objects;
}

std::string type_of(const JsonValue& value) {
    switch (value.type) {
        case JsonValue::Type::kNull: return "null";
        case JsonValue::Type::kBool: return "boolean";
        case JsonValue::Type::kNumber: return value.number == static_cast<int64_t>(value.number) ? "integer" : "number";
        case JsonValue::Type::kString: return "string";
        case JsonValue::Type::kArray: return "array";
        case JsonValue::Type::kObject: return "object";
    }
    return "";
}

// The fields of a dataclass of the Python package, in the order written.
std::vector<std::string> python_fields(const std::string& class_name) {
    const std::string source = read_file(VELKOR_SOURCE_DIR "/python/velkor/__init__.py");
    std::vector<std::string> fields;
    std::size_t at = source.find("\nclass " + class_name + ":");
    const auto lines = lines_of(source.substr(at == std::string::npos ? source.size() : at + 1));
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.rfind("    def ", 0) == 0 || (!line.empty() && line[0] != ' ')) break;
        const std::size_t colon = line.find(": ");
        if (line.rfind("    ", 0) == 0 && line[4] != ' ' && line[4] != '"' && colon != std::string::npos &&
            line.find_first_not_of("abcdefghijklmnopqrstuvwxyz_0123456789", 4) == colon) {
            fields.push_back(line.substr(4, colon - 4));
        }
    }
    return fields;
}

// A name is shown as the UTF-8 it is; each byte outside a valid sequence
// (RFC 3629: no overlong form, surrogate, code point past U+10FFFF or cut
// sequence) as its Latin-1 letter, and control characters escaped.
TEST_F(CliTest, NamesOutsideUtf8ShowEachStrayByteAsLatin1) {
    const struct {
        const char* name;
        const char* shown;
    } cases[] = {
        {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xB5", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xB5"},
        {"\xC0\x80", "\xC3\x80\\u0080"},                            // an overlong NUL
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\\u0080"},                // a surrogate
        {"\xF4\x90\x80\x80", "\xC3\xB4\\u0090\\u0080\\u0080"},     // past U+10FFFF
        {"\xE2\x82.", "\xC3\xA2\\u0082."},                           // cut short
        {"\xC2\x85\x1B", "\\u0085\\x1b"},                             // controls, valid or not
    };
    for (const auto& c : cases) {
        const Outcome run = velkor({path(std::string("n") + c.name)});
        EXPECT_EQ(run.err, "velkor: " + path(std::string("n") + c.shown) + ": " +
                               velkor_status_text(VELKOR_ERROR_NOT_FOUND) + "\n");
    }
}

// Every key doc/json.md lists is in a real file's line with its documented
// type, and no other; the keys are the Python package's names where it has
// the fact. The file's name is not UTF-8, so that path_bytes is there too.
TEST_F(CliTest, JsonKeysAreTheDocumentedOnesAndPythonsNames) {
    const std::string apic = latin1("image/png") + '\0' + '\4' + latin1("Back") + '\0' + "png";
    write_file(path("b\xE4" "d.mp3"),
               id3v2(4, {{"TIT2", utf8("Blue")}, {"TPE1", utf8(std::string("Nina\0Clara", 10))},
                         {"TRCK", latin1("7/12")}, {"TCON", latin1("(26)")},
                         {"COMM", latin1("engDesc") + '\0' + "Text"}, {"USLT", latin1("deu") + '\0' + "La la"},
                         {"APIC", apic}}) +
                   frames() + id3v1("T", "A", "", "1999", "", 2, 255));
    const Outcome run = bash("cd " + dir_.string() + " && \"$VELKOR\" --json $'b\\xe4d.mp3' nowhere.mp3 " +
                             VELKOR_SOURCE_DIR "/tests/data/06_apev2_mp3gain_id3v1.mp3");
    const auto lines = lines_of(run.out);
    ASSERT_EQ(lines.size(), 3u) << run.out << run.err;
    const auto line = JsonReader::parse(lines[0]), failure = JsonReader::parse(lines[1]),
               ape = JsonReader::parse(lines[2]);
    ASSERT_TRUE(line && failure && ape) << run.out;
    const JsonValue& v2 = (*line)["id3v2"];
    EXPECT_EQ((*line)["path"].text, "b\uFFFDd.mp3");
    EXPECT_EQ((*line)["path_bytes"].text, "YuRkLm1wMw==");
    EXPECT_EQ(v2["artist"].items.size(), 2u);
    EXPECT_EQ(v2["genre"].items.at(0).text, "Ambient");
    EXPECT_EQ((*line)["comments"].items.at(0)["description"].text, "Desc");
    EXPECT_EQ((*line)["track_total"].number, 12);
    EXPECT_EQ(v2["lyrics"].items.at(0)["text"].text, "La la");

    const auto documented = documented_keys();
    const std::vector<std::pair<std::string, const JsonValue*>> objects = {
        {"line", &*line}, {"failure", &*failure}, {"id3v1", &(*line)["id3v1"]}, {"id3v2", &v2},
        {"comment", &(*line)["comments"].items.at(0)}, {"comment", &v2["lyrics"].items.at(0)},
        {"lame", &(*ape)["lame"]}, {"replaygain", &(*ape)["replaygain"]}, {"ape_item", &(*ape)["ape_items"].items.at(0)},
        {"picture", &v2["pictures"].items.at(0)},
        {"frame", &v2["frames"].items.at(0)}, {"frame", &v2["frames"].items.at(4)}};
    for (const auto& [name, object] : objects) {
        ASSERT_TRUE(documented.count(name)) << name;
        const auto& keys = documented.at(name);
        for (const auto& [key, value] : object->members) {
            ASSERT_TRUE(keys.count(key)) << name << " has the undocumented key " << key;
            const std::string type = type_of(value), doc = keys.at(key);
            const bool fits = doc.rfind(type, 0) == 0 || (type == "null" && doc.find(" or null") != std::string::npos) ||
                              (type == "integer" && doc.rfind("number", 0) == 0);
            EXPECT_TRUE(fits) << name << "." << key << " is " << type << ", documented " << doc;
        }
        for (const auto& [key, type] : keys) {
            EXPECT_TRUE(object->has(key) || (name == "failure" && key != "status" && key != "error" &&
                                             !(*failure).has(key) && key == "path_bytes"))
                << name << " lacks " << key;
        }
    }
    const std::pair<const char*, const JsonValue*> classes[] = {
        {"Facts", &*line}, {"Id3v1", &(*line)["id3v1"]}, {"Id3v2", &v2},
        {"Picture", &v2["pictures"].items.at(0)}, {"Frame", &v2["frames"].items.at(0)},
        {"LameSettings", &(*ape)["lame"]}, {"ReplayGain", &(*ape)["replaygain"]},
        {"ApeItem", &(*ape)["ape_items"].items.at(0)}};
    for (const auto& [name, object] : classes) {
        const auto fields = python_fields(name);
        EXPECT_GT(fields.size(), 3u) << name;
        for (const std::string& field : fields) EXPECT_TRUE(object->has(field)) << name << "." << field;
    }
}

// "(VBR, average)" and "vbr" only where a VBR header gave the average; the
// frames are exact from a header's count or from --exact; the encoder's
// delay and padding give the gapless length. 49 frames last 1.28 s.
TEST_F(CliTest, VbrHeadersAndCountedFramesAreToldApart) {
    const struct {
        std::string bytes;
        bool exact_option;
        const char* header;  // JSON, null when none
        bool vbr, frames_exact;
        const char* bitrate;  // the block's note behind "kbps"
        int64_t duration_ms;  // -1: estimated, not checked
    } cases[] = {
        {vbr_frame("Xing", 15, 49, 576, 1629) + frames(49), false, "Xing", true, true, " (VBR, average)",
         1280},
        {vbr_frame("Xing", 0, 0) + frames(49), false, "Xing", false, false,
         " (first frame; the VBR header has no frame count)", -1},
        {vbr_frame("Info", 15, 49) + frames(49), false, "Info", false, true, " (CBR)", 1280},
        {frames(49), true, nullptr, false, true, " (average, frames counted)", 1280},
        {frames(49), false, nullptr, false, false, " (CBR)", -1},
    };
    for (const auto& c : cases) {
        write_file(path("a.mp3"), c.bytes);
        const std::string exact = c.exact_option ? "--exact" : "--";
        const Outcome run = velkor({exact, path("a.mp3")});
        const std::string name = c.header ? c.header : "none";
        EXPECT_NE(run.out.find(" kbps" + std::string(c.bitrate) + "\n"), std::string::npos) << run.out;
        const JsonValue json = json_of(path("a.mp3"), exact);
        EXPECT_EQ(json["vbr_header"].is_null() ? "none" : json["vbr_header"].text, name);
        EXPECT_EQ(json["bitrate_varies"].boolean, c.vbr) << name;
        EXPECT_EQ(json["frames_exact"].boolean, c.frames_exact) << name;
        if (c.duration_ms < 0) continue;
        EXPECT_EQ(json["frames"].number, 49) << name;
        EXPECT_EQ(json["duration_ms"].number, c.duration_ms) << name;
    }

    // The encoder of the first case, in JSON and in the block.
    write_file(path("lame.mp3"), cases[0].bytes);
    const JsonValue lame = json_of(path("lame.mp3"));
    EXPECT_EQ(lame["encoder"].text, "LAME3.100");
    EXPECT_EQ(lame["encoder_delay"].number, 576);
    EXPECT_EQ(lame["encoder_padding"].number, 1629);
    EXPECT_EQ(lame["gapless_duration_ms"].number, 1230);  // 2205 samples fewer
    const Outcome block = velkor({path("lame.mp3")});
    EXPECT_NE(block.out.find("  length:         00:01.3 (1.3 s, gapless 1.2 s)\n  size:"), std::string::npos)
        << block.out;
    EXPECT_NE(block.out.find("  encoder:        LAME3.100 (delay 576, padding 1629 samples)\n"),
              std::string::npos);
    EXPECT_TRUE(json_of(path("a.mp3"))["encoder_delay"].is_null());

    // LAME's short form of its name ("L3.99r") is its tag all the same;
    // an unknown name's bytes are audio.
    const struct {
        const char* encoder;
        bool known;
    } kEncoders[] = {{"L3.99r", true}, {"LAME3.99r", true}, {"Lavf58", true}, {"Lx.99", false}, {"GOGO", false}};
    for (const auto& e : kEncoders) {
        write_file(path("short.mp3"), vbr_frame("Xing", 15, 49, 576, 1629, e.encoder) + frames(49));
        const JsonValue json = json_of(path("short.mp3"));
        EXPECT_EQ(json["encoder"].is_null(), !e.known) << e.encoder;
        EXPECT_EQ(json["encoder_delay"].is_null() ? -1 : json["encoder_delay"].number, e.known ? 576 : -1)
            << e.encoder;
    }
}

// A file cut short (its Xing count of 4,900 frames cannot fit in 50) says
// so in JSON and in the block, its length estimated from its bytes; with
// --exact counted, still cut short. A whole file says it is not.
TEST_F(CliTest, CutFileIsToldCutShort) {
    write_file(path("cut.mp3"), vbr_frame("Xing", 1, 4900) + frames(49));
    for (const char* exact : {"--", "--exact"}) {
        const JsonValue json = json_of(path("cut.mp3"), exact);
        EXPECT_TRUE(json["truncated"].boolean) << exact;
        EXPECT_EQ(json["frames_exact"].boolean, std::string(exact) == "--exact") << exact;
        EXPECT_NEAR(json["frames"].number, 49, 1) << exact;
    }
    EXPECT_NE(velkor({path("cut.mp3")}).out.find("  length:         00:01.3 (1.3 s, estimated) (cut short)\n"),
              std::string::npos)
        << velkor({path("cut.mp3")}).out;
    write_file(path("whole.mp3"), vbr_frame("Xing", 1, 49) + frames(49));
    EXPECT_FALSE(json_of(path("whole.mp3"))["truncated"].boolean);
    EXPECT_EQ(velkor({path("whole.mp3")}).out.find("cut short"), std::string::npos);
}

// One answer per field on every path: genre references resolved in JSON as
// in the block and the C text, a track behind a blank still a number, the
// frames' names and kinds from the library.
TEST_F(CliTest, FramesGiveOneAnswerInJsonAndTheBlock) {
    write_file(path("one.mp3"), id3v2(3, {{"TCON", latin1("(00)(02)")}, {"TRCK", latin1(" 7/12")},
                                          {"GRP1", latin1("Group")}, {"IPLS", latin1("mix") + '\0' + "A"},
                                          {"TYER", latin1("2000")}}) +
                                    frames());
    const JsonValue json = json_of(path("one.mp3"));
    const JsonValue& v2 = json["id3v2"];
    ASSERT_EQ(v2["genre"].items.size(), 2u);
    EXPECT_EQ(v2["genre"].items[0].text, "Blues");
    EXPECT_EQ(v2["genre"].items[1].text, "Country");
    EXPECT_EQ(v2["track"].number, 7);
    EXPECT_EQ(v2["track_total"].number, 12);
    EXPECT_EQ(json["track"].number, 7);
    const std::vector<JsonValue>& listed = v2["frames"].items;
    ASSERT_EQ(listed.size(), 5u);
    EXPECT_EQ(listed[0]["name"].text, "Genre");
    EXPECT_EQ(listed[2]["name"].text, "Grouping");
    EXPECT_EQ(listed[2]["kind"].text, "text");
    EXPECT_EQ(listed[3]["kind"].text, "people");
    EXPECT_EQ(listed[3]["values"].items.size(), 2u);
    const std::string block = velkor({"-v", path("one.mp3")}).out;
    EXPECT_NE(block.find("    genre:        Blues; Country\n"), std::string::npos) << block;

    // A unique id's identifier is bytes: every one of them in JSON, escaped.
    write_file(path("ufid.mp3"), id3v2(3, {{"UFID", std::string("owner\0\0\1\2", 9)}}) + frames());
    const std::string line = velkor({"--json", path("ufid.mp3")}).out;
    EXPECT_NE(line.find("\"values\":[\"\\u0000\\u0001\\u0002\"]"), std::string::npos) << line;
    EXPECT_NE(block.find("      GRP1 (Grouping): Group\n"), std::string::npos) << block;
}

// ID3v2.4 texts come whole, in UTF-8, with the rarer texts and the pictures.
TEST_F(CliTest, Id3v24TextsAndPicturesAreShownWhole) {
    const std::string title = "\u00dcber drei\u00dfig Zeichen \u2013 ein langer Titel \u266b";
    const std::string apic = utf8("image/jpeg") + '\0' + '\3' + "Cover" + '\0' + std::string(1000, 'j');
    write_file(path("v24.mp3"), id3v2(4, {{"TIT2", utf8(title)}, {"TPE2", utf8("Various \u00c4rtists")},
                                          {"TPOS", utf8("1/2")}, {"TCOM", utf8("Clara \\ \"Wieck\"")},
                                          {"TRCK", utf8("7/12")}, {"TCON", utf8("Jazz")}, {"APIC", apic}}) +
                                    frames());
    const JsonValue v2 = json_of(path("v24.mp3"))["id3v2"];
    EXPECT_EQ(v2["version"].text, "2.4");
    EXPECT_EQ(v2["title"].items.at(0).text, title);
    EXPECT_EQ(v2["album_artist"].items.at(0).text, "Various \u00c4rtists");
    EXPECT_EQ(v2["disc"].number, 1);
    EXPECT_EQ(v2["disc_total"].number, 2);
    EXPECT_EQ(v2["track_total"].number, 12);
    EXPECT_EQ(v2["composer"].items.at(0).text, "Clara \\ \"Wieck\"");
    ASSERT_EQ(v2["pictures"].items.size(), 1u);
    const JsonValue& picture = v2["pictures"].items[0];
    EXPECT_EQ(picture["type"].number, 3);
    EXPECT_EQ(picture["mime"].text, "image/jpeg");
    EXPECT_EQ(picture["description"].text, "Cover");
    EXPECT_EQ(picture["size"].number, 1000);

    // ID3v2 before ID3v1, only the texts there are; -v lists every frame;
    // ID3v1 genres 126 to 191 by their names.
    write_file(path("v24.mp3"), read_file(path("v24.mp3")) + id3v1("", "", "", "", "", 0, 150));
    const std::string block = velkor({"-v", path("v24.mp3")}).out;
    EXPECT_EQ(block.substr(block.find("  ID3v2.4")),
              "  ID3v2.4\n    title:        " + title + "\n"
              "    album artist: Various \u00c4rtists\n    track:        7/12\n"
              "    disc:         1/2\n    genre:        Jazz\n    composer:     Clara \\ \"Wieck\"\n"
              "    picture:      front cover, image/jpeg, 1.0 kB (1000 bytes), \"Cover\"\n"
              "    frames:       7\n      TIT2 (Title): " + title + "\n"
              "      TPE2 (Album artist): Various \u00c4rtists\n      TPOS (Disc): 1/2\n"
              "      TCOM (Composer): Clara \\ \"Wieck\"\n      TRCK (Track): 7/12\n      TCON (Genre): Jazz\n"
              "      APIC (Attached picture) [Cover]: image/jpeg\n"
              "  ID3v1.0\n    genre:        Baroque (150)\n");
}

// Tag bytes are Latin-1: they reach the terminal and JSON as UTF-8, and no
// control character reaches either raw.
TEST_F(CliTest, Latin1AndControlCharactersAreConvertedAndEscaped) {
    const std::string title = "Caf\xE9 \"q\" \\ \x01\x1F\x7F";
    const std::string file = path("n\xE4me.mp3");
    write_file(file, frames() + id3v1(title, "\x80\x9F\xFF", "\xC3\xA9", "1999", "line\nnext\ttab", 5, 255));

    const Outcome json = velkor({"--json", file});
    EXPECT_EQ(json.status, 0);
    ASSERT_EQ(json.out.back(), '\n');
    const std::string line = json.out.substr(0, json.out.size() - 1);
    EXPECT_TRUE(std::none_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
        << line;
    EXPECT_NE(line.find(R"(\"q\" \\ \u0001\u001f\u007f)"), std::string::npos) << line;
    EXPECT_NE(line.find(R"(line\nnext\ttab)"), std::string::npos) << line;
    const auto value = JsonReader::parse(line);
    ASSERT_TRUE(value) << line;
    EXPECT_EQ((*value)["path"].text, path("n\ufffdme.mp3"));
    const JsonValue& v1 = (*value)["id3v1"];
    EXPECT_EQ(v1["title"].text, "Caf\u00e9 \"q\" \\ \x01\x1F\x7F");
    EXPECT_EQ(v1["artist"].text, "\xC2\x80\xC2\x9F\xC3\xBF");
    EXPECT_EQ(v1["album"].text, "\u00c3\u00a9");  // two Latin-1 letters, not one UTF-8 one
    EXPECT_EQ(v1["comment"].text, "line\nnext\ttab");
    EXPECT_EQ(v1["genre_name"].text, "not supported");

    const Outcome block = velkor({file});
    EXPECT_EQ(block.status, 0);
    EXPECT_NE(block.out.find("    title:        Caf\u00e9 \"q\" \\ \\x01\\x1f\\x7f\n"), std::string::npos)
        << block.out;
    EXPECT_NE(block.out.find("    artist:       \\u0080\\u009f\u00ff\n"), std::string::npos);
    EXPECT_NE(block.out.find("    comment:      line\\nnext\\ttab\n"), std::string::npos);
    EXPECT_NE(block.out.find("/n\u00e4me.mp3\n"), std::string::npos);
}

// Plain text is passed on in runs found several bytes at a time: a byte to
// escape or convert must be found wherever it stands in a text.
TEST_F(CliTest, EveryByteToEscapeIsFoundWhereverItStands) {
    const std::string specials = "\"\\\x01\x1F\x7F\x80\xFF";
    std::vector<std::string> args{"--json"};
    std::vector<std::string> titles;
    for (const char special : specials) {
        for (std::size_t at = 0; at < 30; ++at) {
            std::string title(30, 'a');
            for (std::size_t i = 0; i < title.size(); ++i) title[i] = static_cast<char>('a' + i % 26);
            title[at] = special;
            const std::string file = path("t" + std::to_string(titles.size()) + ".mp3");
            write_file(file, frames(1) + id3v1(title, "", "", "2000", "", 0, 0));
            args.push_back(file);
            titles.push_back(title);
        }
    }
    const Outcome run = velkor(args);
    EXPECT_EQ(run.status, 0) << run.err;
    const auto lines = lines_of(run.out);
    ASSERT_EQ(lines.size(), titles.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto value = JsonReader::parse(lines[i]);
        ASSERT_TRUE(value) << lines[i];
        std::string expected;
        for (const char c : titles[i]) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x80) {
                expected += c;
            } else {
                expected += static_cast<char>(0xC0 | (byte >> 6));
                expected += static_cast<char>(0x80 | (byte & 0x3F));
            }
        }
        EXPECT_EQ((*value)["id3v1"]["title"].text, expected) << lines[i];
        EXPECT_TRUE(std::none_of(lines[i].begin(), lines[i].end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
            << lines[i];
    }
}

// --- failures and exit statuses -------------------------------------------

TEST_F(CliTest, FailedFilesAreToldOnceAndSetTheExitStatus) {
    write_file(path("noise.mp3"), std::string(3000, 'x'));
    const std::string missing = path("missing.mp3");

    Outcome run = velkor({missing, sample("cbr_id3v11.mp3"), path("noise.mp3")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("Sine Tone"), std::string::npos);
    EXPECT_EQ(run.out.find("missing"), std::string::npos);
    EXPECT_EQ(run.err, "velkor: " + missing + ": " + velkor_status_text(VELKOR_ERROR_NOT_FOUND) + "\nvelkor: " +
                           path("noise.mp3") + ": " +
                           velkor_status_text(VELKOR_ERROR_NO_AUDIO) + "\n");

    // A failed file stays in the JSON Lines with its status.
    run = velkor({"--json", missing, path("noise.mp3"), sample("vbr_xing.mp3")});
    EXPECT_EQ(run.status, 1);
    const auto lines = lines_of(run.out);
    ASSERT_EQ(lines.size(), 3u);
    const auto first = JsonReader::parse(lines[0]), second = JsonReader::parse(lines[1]);
    ASSERT_TRUE(first && second);
    EXPECT_EQ((*first)["status"].text, "not_found");
    EXPECT_EQ((*first)["error"].text, velkor_status_text(VELKOR_ERROR_NOT_FOUND));
    EXPECT_EQ((*second)["status"].text, "no_audio");
    EXPECT_FALSE(second->has("bitrate_kbps"));
    EXPECT_TRUE(JsonReader::parse(lines[2]));

    run = velkor({"--report", path("noise.mp3")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "Unable to open file\n");
    EXPECT_EQ(run.err, "velkor: " + path("noise.mp3") + ": " + velkor_status_text(VELKOR_ERROR_NO_AUDIO) + "\n");

    run = velkor({"--record", missing});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("  status:    Unable to open file (2)\n"), std::string::npos);
    EXPECT_EQ(run.err, "velkor: " + missing + ": " + velkor_status_text(VELKOR_ERROR_NOT_FOUND) + "\n");
}

// Output is written in large pieces, but a message on stderr still comes
// behind the output of the files before it when both go to one file.
TEST_F(CliTest, MessagesAndOutputKeepTheirOrderInOneFile) {
    write_file(path("noise.mp3"), std::string(3000, 'x'));
    const std::string missing = path("missing.mp3");
    const std::string first = "velkor: " + missing + ": " + velkor_status_text(VELKOR_ERROR_NOT_FOUND) + "\n";
    const std::string second = "velkor: " + path("noise.mp3") + ": " + velkor_status_text(VELKOR_ERROR_NO_AUDIO) + "\n";

    Outcome run = velkor(
        {"--json", missing, sample("cbr_id3v11.mp3"), path("noise.mp3"), sample("vbr_xing.mp3")},
        "/dev/null", true);
    auto lines = lines_of(run.out);
    ASSERT_EQ(lines.size(), 6u) << run.out;
    EXPECT_EQ(lines[0] + "\n", first);
    EXPECT_NE(lines[1].find("\"status\":\"not_found\""), std::string::npos);
    EXPECT_NE(lines[2].find("cbr_id3v11.mp3\",\"status\":\"ok\""), std::string::npos);
    EXPECT_EQ(lines[3] + "\n", second);
    EXPECT_NE(lines[4].find("\"status\":\"no_audio\""), std::string::npos);
    EXPECT_NE(lines[5].find("vbr_xing.mp3\",\"status\":\"ok\""), std::string::npos);

    run = velkor({sample("cbr_id3v11.mp3"), path("noise.mp3"), sample("vbr_xing.mp3")}, "/dev/null", true);
    const std::size_t noise = run.out.find(second);
    ASSERT_NE(noise, std::string::npos) << run.out;
    EXPECT_LT(run.out.find("Sine Tone"), noise);
    EXPECT_GT(run.out.find("vbr_xing.mp3\n"), noise);
}

TEST_F(CliTest, UsageErrorsExitWithTwo) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {},
             {"--bogus", sample("cbr_id3v11.mp3")},
             {"--json", "--report", sample("cbr_id3v11.mp3")},
             {"--json=yes", sample("cbr_id3v11.mp3")},
             {"--exact", "--record", sample("cbr_id3v11.mp3")},
             {"-j", "0", sample("cbr_id3v11.mp3")},
             {"--jobs=many", sample("cbr_id3v11.mp3")},
             {sample("cbr_id3v11.mp3"), "-j"},
             {"-L", sample("cbr_id3v11.mp3")},
             {"--format", "{path}", sample("cbr_id3v11.mp3")},
             {"--force", sample("cbr_id3v11.mp3")},
             {"--save-cover", "c.jpg", sample("cbr_id3v11.mp3"), sample("vbr_xing.mp3")},
             {"--brief", "--json", sample("cbr_id3v11.mp3")},
             {"tag"},
             {"tag", sample("cbr_id3v11.mp3")},
             {"tag", sample("cbr_id3v11.mp3"), "--title"},
             {"tag", sample("cbr_id3v11.mp3"), "--colour", "red"},
             {"tag", "--id3v1", "sometimes", "a.mp3"},
             {"tag", "--id3v1=only", "--composer", "x", "a.mp3"},
             {"tag", "--track", "three", "a.mp3"},
             {"tag", "--set", "TIT2", "a.mp3"},
             {"tag", "--remove-tags", "v3", "a.mp3"},
             {"tag", "--id3v2-version", "2", "--title", "x", "a.mp3"},
         }) {
        const Outcome run = velkor(args);
        EXPECT_EQ(run.status, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(run.err.rfind("velkor: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find("--help"), std::string::npos) << run.err;
    }
}

// Options in every form getopt_long takes, before and behind the operands;
// behind "--", and "-" alone, an argument is a file whatever it looks like.
TEST_F(CliTest, OptionFormsAndTheirMessages) {
    fs::create_directory(dir_ / "d");
    const std::string a = copy_sample("cbr_id3v11.mp3"), d = path("d");
    fs::copy_file(a, dir_ / "d" / "b.mp3");
    const std::string missing = std::string(": ") + velkor_status_text(VELKOR_ERROR_NOT_FOUND) + "\n";
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out, err;  // parts of stdout and stderr; for status 2 stderr's first line
    } cases[] = {
        {{"-rj4", "--json", d}, 0, "\"path\":\"" + d + "/b.mp3\"", "1 file: 1 analysed"},
        {{"--json", "-j4", a}, 0, "\"path\":\"" + a, ""},
        {{"-j", "4", "--json", a}, 0, "\"path\":\"" + a, ""},
        {{a, "--jobs=4", "--json"}, 0, "\"path\":\"" + a, ""},
        {{"--jobs", "4", "--js", a}, 0, "\"path\":\"" + a, ""},
        {{"--json", "--", "-r", "--json"}, 1, "\"path\":\"--json\"", "velkor: -r" + missing},
        {{"--json", "-"}, 1, "\"path\":\"-\",\"status\":\"no_audio\"", "velkor: -: no MPEG audio"},
        {{"tag", "--title=T", "--id3v1=only", "--yes", "--", a}, 0, a + ": ID3v1 tag written: title\n", ""},
        {{"-rx", a}, 2, "", "velkor: unknown option '-x'"},
        {{"--bogus=1", a}, 2, "", "velkor: unknown option '--bogus'"},
        {{"--json=yes", a}, 2, "", "velkor: option '--json' takes no value"},
        {{"--rec", a}, 2, "", "velkor: option '--rec' is ambiguous: --recursive, --record"},
        {{a, "-rj"}, 2, "", "velkor: option '-j' needs a number"},
        {{a, "--jobs"}, 2, "", "velkor: option '-j' needs a number"},
        {{"-j0", a}, 2, "", "velkor: -j takes a number of files at once from 1 to 256, not '0'"},
        {{"tag", a, "--title"}, 2, "", "velkor: option '--title' needs a value"},
        {{"tag", a, "-qx"}, 2, "", "velkor: unknown option '-q' for 'velkor tag'"},
        {{"tag", a, "--yes=1"}, 2, "", "velkor: option '--yes' takes no value"},
    };
    for (const auto& c : cases) {
        const Outcome run = velkor(c.args);
        const std::string name = ::testing::PrintToString(c.args);
        EXPECT_EQ(run.status, c.status) << name << run.err;
        EXPECT_NE(run.out.find(c.out), std::string::npos) << name << run.out;
        if (c.status == 2) {
            EXPECT_EQ(run.err.substr(0, run.err.find('\n')), c.err) << name;
        } else {
            EXPECT_NE(run.err.find(c.err), std::string::npos) << name << run.err;
        }
    }
}

TEST_F(CliTest, HelpDescribesEveryOptionAndVersionIsShown) {
    Outcome run = velkor({"--help"});
    EXPECT_EQ(run.status, 0);
    for (const char* option : {"--report", "--record", "--json", "--exact", "--recursive", "--jobs", "--help", "--all",
                               "--version",
                               "velkor tag", "Example"}) {
        EXPECT_NE(run.out.find(option), std::string::npos) << option;
    }
    run = velkor({"tag", "--help"});
    EXPECT_EQ(run.status, 0);
    for (const char* option : {"--title", "--artist", "--album", "--year", "--comment", "--track",
                               "--genre", "--yes", "n/a", "Example"}) {
        EXPECT_NE(run.out.find(option), std::string::npos) << option;
    }
    run = velkor({"--version"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "velkor " VELKOR_VERSION "\n");
}

// --- directories ----------------------------------------------------------

TEST_F(CliTest, RecursiveWalkIsSortedAndTakesOnlyAudioFiles) {
    fs::create_directories(dir_ / "music" / "b_album");
    fs::create_directories(dir_ / "music" / "a_album");
    for (const char* name : {"music/b_album/02.mp3", "music/b_album/01.MP3", "music/a_album/x.mp3",
                             "music/z.mp3"}) {
        fs::copy_file(sample("cbr_id3v11.mp3"), dir_ / name);
    }
    write_file(path("music/a_album/cover.jpg"), "not audio");
    write_file(path("music/a_album/long.mp3"), frames(384));  // 10 s
    fs::create_directory_symlink(dir_ / "music", dir_ / "music" / "a_album" / "loop");

    Outcome run = velkor({"--json", "-r", path("music")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(files_of(run.out),
              (std::vector<std::string>{path("music/a_album/long.mp3"), path("music/a_album/x.mp3"),
                                        path("music/b_album/01.MP3"), path("music/b_album/02.mp3"),
                                        path("music/z.mp3")}));
    // No progress line off a terminal; the summary adds up the lengths.
    EXPECT_EQ(run.err, "velkor: 5 files: 5 analysed, 0 failed, 1 skipped, total playing time 00:38\n");
    write_file(path("music/b_album/03.mp3"), frames(3));
    fs::resize_file(path("music/b_album/03.mp3"), 64'000'001);  // sparse, 4000 s
    write_file(path("music/b_album/04.mp3"), "no audio");
    run = velkor({"-r", "--record", path("music")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("velkor: 7 files: 6 analysed, 1 failed, 1 skipped, total playing time 01:07:18\n"),
              std::string::npos)
        << run.err;

    // Whatever the number of files at once, the output is the same, errors
    // in their place.
    for (const char* format : {"--json", "--record"}) {
        const Outcome one = velkor({format, "-r", "-j", "1", path("music")});
        for (const char* jobs : {"-j2", "--jobs=16"}) {
            const Outcome many = velkor({format, "-r", jobs, path("music")});
            EXPECT_EQ(many.out, one.out) << format << jobs;
            EXPECT_EQ(many.err, one.err) << format << jobs;
        }
    }

    // Without -r a directory is refused.
    run = velkor({path("music")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("is a directory"), std::string::npos);
}

// Hidden files count; a link counts as what it leads to; a directory counts
// as one whatever its name; an operand's own separator is not doubled.
TEST_F(CliTest, RecursiveWalkTakesLinksAndHiddenFilesAsTheyAre) {
    fs::create_directories(dir_ / "music" / "disc.mp3");
    fs::copy_file(sample("cbr_id3v11.mp3"), dir_ / "music" / ".hidden.mp3");
    fs::copy_file(sample("vbr_xing.mp3"), dir_ / "music" / "disc.mp3" / "a.mp3");
    fs::create_symlink(sample("mpeg2_id3v10.mp3"), dir_ / "music" / "linked.mp3");
    fs::create_symlink(dir_ / "nowhere.mp3", dir_ / "music" / "broken.mp3");
    fs::create_directory_symlink(dir_ / "music" / "disc.mp3", dir_ / "music" / "same.mp3");
    ASSERT_EQ(mkfifo(path("music/pipe.mp3").c_str(), 0600), 0);

    const Outcome run = velkor({"--json", "-r", path("music") + "/"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(files_of(run.out), (std::vector<std::string>{path("music/.hidden.mp3"),
                                                            path("music/disc.mp3/a.mp3"),
                                                            path("music/linked.mp3")}));
}

// What a walk passes over is counted and, with -v, named; -L walks links
// to folders but no loop.
TEST_F(CliTest, WalkCountsWhatItSkipsAndFollowsLinksWithL) {
    fs::create_directories(dir_ / "music" / "sub");
    fs::create_directories(dir_ / "elsewhere");
    fs::copy_file(sample("cbr_id3v11.mp3"), dir_ / "music" / "sub" / "a.mp3");
    fs::copy_file(sample("cbr_id3v11.mp3"), dir_ / "elsewhere" / "b.mp3");
    fs::create_directory_symlink(dir_ / "elsewhere", dir_ / "music" / "linked");
    fs::create_directory_symlink(dir_ / "music", dir_ / "music" / "sub" / "loop");
    fs::create_symlink(dir_ / "nowhere.mp3", dir_ / "music" / "broken.mp3");
    ASSERT_EQ(mkfifo(path("music/pipe.mp3").c_str(), 0600), 0);
    const std::string m = path("music");
    const struct {
        std::vector<std::string> args;
        std::vector<std::string> files;
        std::string err;
    } cases[] = {
        {{"--json", "-r", m}, {m + "/sub/a.mp3"}, "velkor: 1 file: 1 analysed, 0 failed, 4 skipped"},
        {{"--json", "-rv", m},
         {m + "/sub/a.mp3"},
         "velkor: " + m + "/broken.mp3: skipped, a broken link\nvelkor: " + m +
             "/linked: skipped, a link to a folder (-L follows it)\nvelkor: " + m +
             "/pipe.mp3: skipped, a FIFO\nvelkor: " + m + "/sub/loop: skipped, a link to a folder (-L follows it)\n"},
        {{"--json", "-rLv", m},
         {m + "/linked/b.mp3", m + "/sub/a.mp3"},
         "velkor: " + m + "/sub/loop: skipped, a loop: a folder the walk is in already\n"
         "velkor: 2 files: 2 analysed, 0 failed, 3 skipped"},
    };
    for (const auto& c : cases) {
        const Outcome run = velkor(c.args);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(files_of(run.out), c.files) << ::testing::PrintToString(c.args);
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
    }
}

// Standard input ("-") and a FIFO named among the files are read once and
// give what the file itself gives with --exact, frames included, in their
// place.
TEST_F(CliTest, StandardInputAndPipesAreReadOnce) {
    write_file(path("v24.mp3"), id3v2(4, {{"TIT2", utf8("Piped")}, {"COMM", latin1("eng") + '\0' + "Note"}}) +
                                    frames(8) + id3v1("One", "", "", "2001", "", 1, 0));
    std::string file = velkor({"--json", "--exact", path("v24.mp3")}).out;
    const Outcome stdin_run = velkor({"--json", "-"}, path("v24.mp3"));
    ASSERT_NE(file.find(path("v24.mp3")), std::string::npos) << file;
    EXPECT_EQ(stdin_run.out, file.replace(file.find(path("v24.mp3")), path("v24.mp3").size(), "-")) << stdin_run.err;
    EXPECT_NE(stdin_run.out.find("\"frames\":[{\"id\":\"TIT2\""), std::string::npos);

    ASSERT_EQ(mkfifo(path("pipe").c_str(), 0600), 0);
    const Outcome piped = bash("cd " + dir_.string() + " && { cat v24.mp3 > pipe & } && \"$VELKOR\" --json " +
                               sample("vbr_xing.mp3") + " pipe - < /dev/null");
    EXPECT_EQ(files_of(piped.out), (std::vector<std::string>{sample("vbr_xing.mp3"), "pipe", "-"}));
    EXPECT_NE(piped.out.find("\"path\":\"pipe\",\"status\":\"ok\""), std::string::npos) << piped.out;
    EXPECT_NE(piped.out.find("\"path\":\"-\",\"status\":\"no_audio\""), std::string::npos);
    EXPECT_EQ(velkor({"--report", "-"}, path("v24.mp3")).err,
              "velkor: -: --report and --record read files by their names, not streams\n");
}

// A stream far longer than what is kept of it: 200 MB of frames pass through
// in a few MiB, every frame counted, as the file itself gives with --exact.
TEST_F(CliTest, LongStreamPassesInBoundedMemory) {
    constexpr int kFrames = 10000, kBlocks = 48;  // 417 bytes a frame: 200 MB
    write_file(path("block.mp3"), frames(kFrames));
    const Outcome run = bash("cd " + dir_.string() + " && for i in $(seq " + std::to_string(kBlocks) +
                             "); do cat block.mp3; done | /usr/bin/time -f %M \"$VELKOR\" --json -");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("\"frames\":" + std::to_string(kFrames * kBlocks) + ",\"frames_exact\":true"),
              std::string::npos)
        << run.out;
    const long max_rss_kib = std::atol(lines_of(run.err).back().c_str());
    EXPECT_GT(max_rss_kib, 0) << run.err;
    EXPECT_LT(max_rss_kib, 64 * 1024) << "KiB at most held";
}

// Output is held and written in large pieces: over many files it must come
// out whole and in order.
TEST_F(CliTest, ManyFilesComeOutWholeAndInOrder) {
    fs::create_directory(dir_ / "many");
    std::vector<std::string> expected;
    for (int i = 0; i < 400; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "%03d.mp3", i);
        fs::copy_file(sample("cbr_id3v11.mp3"), dir_ / "many" / name);
        expected.push_back(path("many/" + std::string(name)));
    }
    const Outcome run = velkor({"--json", "-r", path("many")});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_GT(run.out.size(), 128u * 1024) << "more than the output held at a time";
    EXPECT_EQ(files_of(run.out), expected);
    EXPECT_EQ(count_of(run.out, "\"title\":\"Sine Tone\""), expected.size());
}

// --- output that cannot be written, and stopping early ----------------------

// A lost write is told once with its reason and exits 1, whether it fails at
// once, at the end or when the output is closed.
TEST_F(CliTest, OutputThatCannotBeWrittenFailsLoudly) {
    const std::string file = copy_sample("cbr_id3v11.mp3");
    const std::string folder = many_files(300);
    const std::string full = "velkor: standard output: No space left on device\n";
    const struct {
        std::string script;
        std::string err;
    } cases[] = {
        {"\"$VELKOR\" --json " + file + " >/dev/full", full},
        {"\"$VELKOR\" --help >/dev/full", full},
        {"\"$VELKOR\" -r " + folder + " >/dev/full", full},  // fails long before the end: no summary
        {"\"$VELKOR\" tag " + file + " --title x >/dev/full", full},
        {"\"$VELKOR\" --record " + file + " >&-", "velkor: standard output: Bad file descriptor\n"},
    };
    for (const auto& c : cases) {
        const Outcome run = bash(c.script);
        EXPECT_EQ(run.status, 1) << c.script;
        EXPECT_EQ(run.err, c.err) << c.script;
    }
    EXPECT_EQ(json_of(file)["id3v1"]["title"].text, "x");
}

// When the reader goes, the walk stops at once and quietly, as SIGPIPE ends
// it, even with SIGPIPE ignored: the failing file at the end is not reached.
TEST_F(CliTest, ReaderThatGoesEndsTheWalkQuietly) {
    const std::string folder = many_files(600);
    write_file(folder + "/zz_noise.mp3", "no audio");
    for (const char* disposition : {"", "trap '' PIPE; "}) {
        const Outcome run = bash(std::string(disposition) + "\"$VELKOR\" --json -r " + folder +
                                 " | head -c 20; echo \" ${PIPESTATUS[0]}\"");
        EXPECT_EQ(run.out, "{\"json_version\":\"1.2 141\n") << disposition;
        EXPECT_EQ(run.err, "") << disposition;
    }
}

// Ctrl-C ends a walk with the summary of the files done, all of their output
// written, and the status of SIGINT.
TEST_F(CliTest, InterruptGivesTheSummarySoFar) {
    const std::string folder = many_files(3000);
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        dup2(out[1], 1);
        dup2(open(path("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
        close(out[0]);
        execl(kVelkor.c_str(), kVelkor.c_str(), "--json", "-r", "-j1", folder.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    // The output waits in the full pipe while the interrupt comes.
    char buffer[65536];
    ASSERT_GT(read(out[0], buffer, 1), 0);
    kill(pid, SIGINT);
    std::string lines(1, buffer[0]);
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) lines.append(buffer, static_cast<std::size_t>(n));
    close(out[0]);
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    EXPECT_TRUE(WIFSIGNALED(wstatus) && WTERMSIG(wstatus) == SIGINT) << wstatus;
    const std::size_t done = count_of(lines, "\n");
    ASSERT_GT(done, 0u);
    EXPECT_LT(done, 3000u);
    char last[16];
    std::snprintf(last, sizeof last, "/%05zu.mp3", done - 1);
    EXPECT_EQ(files_of(lines).back(), folder + last);
    const std::string n = std::to_string(done);
    EXPECT_EQ(read_file(path("err")).rfind("velkor: interrupted, the walk stopped after " + n + " files: " + n +
                                               " analysed, 0 failed, total",
                                           0),
              0u)
        << read_file(path("err"));
}

// The progress line is drawn over itself and taken off only for the summary
// when stdout goes to a file: it does not blink at each write of the output.
TEST_F(CliTest, ProgressLineStaysWhileOutputGoesToAFile) {
    const std::string folder = many_files(600);
    int terminal = -1;
    const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        dup2(open(path("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
        execl(kVelkor.c_str(), kVelkor.c_str(), "--json", "-r", folder.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    std::string screen;
    char buffer[4096];
    for (ssize_t n; (n = read(terminal, buffer, sizeof buffer)) > 0;) screen.append(buffer, static_cast<std::size_t>(n));
    close(terminal);
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    EXPECT_TRUE(WIFEXITED(wstatus) && WEXITSTATUS(wstatus) == 0);
    EXPECT_EQ(lines_of(read_file(path("out"))).size(), 600u);
    EXPECT_EQ(screen.rfind("\rvelkor: ", 0), 0u) << screen;
    EXPECT_NE(screen.find(" files/s, " + folder + "\033[K"), std::string::npos) << screen;
    EXPECT_EQ(count_of(screen, "\r\033[K"), 1u) << screen;
    EXPECT_NE(screen.find("\r\033[Kvelkor: 600 files: 600 analysed"), std::string::npos) << screen;
}

// --- velkor tag -------------------------------------------------------------

TEST_F(CliTest, TagRoundTripReplacesTheTagAndKeepsTheAudio) {
    const std::string file = copy_sample("cbr_id3v11.mp3");
    const std::string before = read_file(file);
    Outcome run = velkor({"tag", "--id3v1=only", file, "--title", "Neuer Titel", "--artist", "\u00c4rzte", "--year", "2001",
                      "--comment", "n/a", "--track", "9", "--genre", "rock"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::string after = read_file(file);
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after.substr(0, after.size() - 128), before.substr(0, before.size() - 128));
    EXPECT_EQ(after[after.size() - 128 + 33], '\xC4');  // stored as Latin-1

    const JsonValue v1 = json_of(file)["id3v1"];
    EXPECT_EQ(v1["title"].text, "Neuer Titel");
    EXPECT_EQ(v1["artist"].text, "\u00c4rzte");
    EXPECT_EQ(v1["album"].text, "Test Tones");
    EXPECT_EQ(v1["comment"].text, "440 Hz for 7 s");
    EXPECT_EQ(v1["year"].text, "2001");
    EXPECT_EQ(v1["track"].number, 9);
    EXPECT_EQ(v1["genre_name"].text, "Rock");

    // A genre number names its table entry; track "none" makes a version 1.0 tag.
    run = velkor({"tag", "--id3v1=only", file, "--genre", "8", "--track", "none"});
    EXPECT_EQ(run.status, 0) << run.err;
    const JsonValue again = json_of(file)["id3v1"];
    EXPECT_EQ(again["genre_name"].text, "Jazz");
    EXPECT_EQ(again["version"].text, "1.0");
}

TEST_F(CliTest, TagIsAppendedToFilesWithoutOne) {
    for (const char* name : {"vbr_xing.mp3", "id3v23_utf16.mp3"}) {
        const std::string file = copy_sample(name);
        const std::string before = read_file(file);
        const Outcome run = velkor({"tag", "--id3v1=only", file, "--title", "Added"});
        EXPECT_EQ(run.status, 0) << run.err;
        const std::string after = read_file(file);
        ASSERT_EQ(after.size(), before.size() + 128) << name;
        EXPECT_EQ(after.substr(0, before.size()), before);
        const JsonValue value = json_of(file);
        EXPECT_EQ(value["id3v1"]["title"].text, "Added");
        // A second write replaces the appended tag.
        EXPECT_EQ(velkor({"tag", "--id3v1=only", file, "--album", "Second"}).status, 0);
        EXPECT_EQ(read_file(file).size(), after.size());
    }
    EXPECT_EQ(json_of(path("id3v23_utf16.mp3"))["id3v2"]["title"].items.at(0).text, "Caf\u00e9 au Lait");
}

TEST_F(CliTest, TagWarnsAboutCutTexts) {
    const std::string file = copy_sample("cbr_id3v11.mp3");
    const Outcome run =
        velkor({"tag", "--id3v1=only", file, "--title", std::string(35, 'T'), "--album", "\u20ac uro"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.err.find("title: longer than 30 characters, cut to 30"), std::string::npos);
    EXPECT_NE(run.err.find("album: 1 character(s) beyond Latin-1"), std::string::npos);
    EXPECT_EQ(run.err.find("comment:"), std::string::npos);
    const JsonValue v1 = json_of(file)["id3v1"];
    EXPECT_EQ(v1["year"].text, "2023");
    EXPECT_EQ(v1["title"].text, std::string(30, 'T'));
    EXPECT_EQ(v1["album"].text, "? uro");

    // Through the ID3v2 tag the ID3v1 tag follows: told on the file's line;
    // "" clears the ID3v1 year.
    Outcome saved = velkor({"tag", file, "--title", std::string(35, 'U'), "--album", "\u20ac uro"});
    EXPECT_NE(saved.out.find(" (in ID3v1: title cut to 30 characters; album letters outside Latin-1 as '?')\n"),
              std::string::npos)
        << saved.out;
    saved = velkor({"tag", "--id3v1=only", "-y", "", file});
    EXPECT_EQ(saved.status, 0) << saved.err;
    EXPECT_TRUE(json_of(file)["id3v1"]["year"].is_null());
}

TEST_F(CliTest, UnknownGenreIsAnsweredNoWithoutTerminalUnlessYes) {
    const std::string file = copy_sample("cbr_id3v11.mp3");
    Outcome run = velkor({"tag", "--id3v1=only", file, "--genre", "Chiptune"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "velkor: " + file + ": genre \"Chiptune\" refused: not one of the 126 known genres "
                                           "(--yes stores \"not supported\")\n");
    EXPECT_EQ(json_of(file)["id3v1"]["genre"].number, 26);

    run = velkor({"tag", "--id3v1=only", file, "--genre", "Chiptune", "--yes"});
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.err.find("? yes (--yes)\n"), std::string::npos) << run.err;
    EXPECT_EQ(json_of(file)["id3v1"]["genre"].number, 255);
}

// On a terminal the question waits for the person's answer.
TEST_F(CliTest, UnknownGenreIsAskedOnTheTerminal) {
    for (const char* answer : {"y\n", "\n"}) {
        const std::string file = copy_sample("cbr_id3v11.mp3");
        int master = -1;
        const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            execl(kVelkor.c_str(), kVelkor.c_str(), "tag", "--id3v1=only", file.c_str(), "--genre", "Chiptune",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        std::string seen;
        char buffer[256];
        while (seen.find("[y/N] ") == std::string::npos) {
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n <= 0) break;
            seen.append(buffer, static_cast<std::size_t>(n));
        }
        EXPECT_NE(seen.find("not one of the 126 known genres"), std::string::npos) << seen;
        const auto length = static_cast<ssize_t>(std::strlen(answer));
        ASSERT_EQ(write(master, answer, static_cast<std::size_t>(length)), length);
        while (read(master, buffer, sizeof buffer) > 0) {
        }
        int wstatus = 0;
        waitpid(pid, &wstatus, 0);
        close(master);
        EXPECT_TRUE(WIFEXITED(wstatus) && WEXITSTATUS(wstatus) == (answer[0] == 'y' ? 0 : 1));
        EXPECT_EQ(json_of(file)["id3v1"]["genre"].number, answer[0] == 'y' ? 255 : 26) << answer;
    }
}

TEST_F(CliTest, TagFailuresExitWithOne) {
    Outcome run = velkor({"tag", "--id3v1=only", path("missing.mp3"), "--title", "x"});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "velkor: " + path("missing.mp3") + ": " + velkor_status_text(VELKOR_ERROR_NOT_FOUND) +
                           "; the tag is not written\n");
    EXPECT_FALSE(fs::exists(path("missing.mp3")));

    write_file(path("noise.mp3"), std::string(3000, 'x'));
    run = velkor({"tag", "--id3v1=only", path("noise.mp3"), "--title", "x"});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find(velkor_status_text(VELKOR_ERROR_NO_AUDIO)), std::string::npos);
    EXPECT_EQ(read_file(path("noise.mp3")), std::string(3000, 'x'));

    // A write the system refuses (here: beyond the file size limit, which
    // holds for root too, and whose signal would end the process) is told
    // once, with the reason.
    const std::string file = path("limited.mp3");
    write_file(file, frames(8));
    const std::string command = "ulimit -f 1; exec '" + kVelkor + "' tag --id3v1=only '" + file +
                                "' --title x >'" + path("out") + "' 2>'" + path("err") + "'";
    const int status = std::system(("sh -c \"" + command + "\"").c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    EXPECT_EQ(read_file(path("out")), "");
    EXPECT_EQ(read_file(path("err")), "velkor: " + file + ": the tag is not written: " +
                                          velkor_status_text(VELKOR_ERROR_NO_SPACE) + "\n");
    EXPECT_EQ(read_file(file), frames(8));
}

// Each requested change is made or refused with its reason; a refusal exits
// 1. Comments get 28 characters only when the tag holds a track, and texts
// an ID3v2 tag shows differently are pointed out.
// Values the library refuses are refused in its words, the file untouched;
// a sound value of the same kind is taken.
TEST_F(CliTest, TagRefusesUnsoundValuesInWords) {
    const struct {
        std::vector<std::string> args;
        const char* words;  // nullptr: taken
    } cases[] = {
        {{"-y", "2024-13-45"}, "refused: a date is ISO 8601"},
        {{"-g", "999"}, "refused: a genre is a name or a number from 0 to 191"},
        {{"-n", "0"}, "refused: a track or disc is a number from 1"},
        {{"--set", "TLEN=abc"}, "--set TLEN refused: this frame holds a whole number"},
        {{"--set", "TLEN=215000", "-y", "2024-02-29", "-g", "191"}, nullptr},
        // Option errors of the command line, told once whatever the files.
        {{"-t", "x", "-"}, "standard input ('-') cannot be tagged"},
        {{"--comment-lang", "de", "-c", "x"}, "--comment-lang takes three letters"},
        {{"--comment-desc", "d"}, "name the comment of --comment TEXT"},
    };
    for (const auto& c : cases) {
        write_file(path("a.mp3"), frames());
        write_file(path("b.mp3"), frames());
        std::vector<std::string> args = {"tag"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.push_back(path("a.mp3"));
        args.push_back(path("b.mp3"));
        const Outcome run = velkor(args);
        if (c.words == nullptr) {
            EXPECT_EQ(run.status, 0) << run.err;
            continue;
        }
        EXPECT_EQ(run.status, 2) << c.words;
        EXPECT_EQ(count_of(run.err, c.words), 1u) << run.err;
        EXPECT_EQ(read_file(path("a.mp3")) + read_file(path("b.mp3")), frames() + frames()) << c.words;
    }
}

TEST_F(CliTest, TagMakesOrRefusesEachChange) {
    const std::string thirty = "0123456789012345678901234567AB";
    const std::string v10 = frames() + id3v1("Title", "Artist", "Album", "2020", "Note", 0, 26);
    const std::string v11 = frames() + id3v1("Title", "Artist", "Album", "2020", "Note", 5, 26);
    const std::string v2 =
        id3v2(3, {{"TIT2", latin1("Caf\xE9")}, {"TYER", latin1("2004")}, {"TRCK", latin1("7")}}) + frames();
    struct Case {
        const std::string& bytes;
        std::vector<std::string> args;
        int status;
        std::string out, err;  // stdout behind "FILE: "; a part of stderr, "" for none at all
        std::string title, comment;
        int year, track;  // track -1: none
    } cases[] = {
        {v11, {"--year", "999"}, 1, "", "year 999 refused: the year must be from 1000 to 3000\n",
         "Title", "Note", 2020, 5},
        {v11, {"--year", "2010-13-45"}, 1, "", "year 2010-13-45 refused: a date is ISO 8601", "Title", "Note",
         2020, 5},
        {v11, {"--year", "2010-10-10"}, 0, "ID3v1 tag written: year\n", "", "Title", "Note", 2010, 5},
        {v11, {"--year", "20x0", "--title", "New"}, 1, "ID3v1 tag written: title\n", "year 20x0 refused",
         "New", "Note", 2020, 5},
        {v11, {"--track", "0"}, 1, "", "track 0 refused: the track must be from 1 to 255", "Title", "Note",
         2020, 5},
        {v11, {"--artist", "A", "--year", "1999", "--track", "9", "--genre", "jazz"}, 0,
         "ID3v1 tag written: artist, year, track, genre\n", "", "Title", "Note", 1999, 9},
        {v11, {"--comment", thirty}, 0, "ID3v1 tag written: comment\n",
         "comment: longer than 28 characters, cut to 28 to make room for the track\n", "Title",
         thirty.substr(0, 28), 2020, 5},
        {v11, {"--comment", thirty, "--track", "none"}, 0,
         "ID3v1 tag written: comment, track (removed)\n", "", "Title", thirty, 2020, -1},
        {v10, {"--comment", thirty, "--track", "256"}, 1, "ID3v1 tag written: comment\n", "track 256 refused",
         "Title", thirty, 2020, -1},
        {v2, {"--title", "Caf\u00e9", "--year", "2004"}, 0, "ID3v1 tag added: title, year\n", "",
         "Caf\u00e9", "", 2004, -1},
        {v2, {"--title", "Other", "--year", "2004", "--track", "3"}, 0,
         "ID3v1 tag added: title, year, track\n",
         "the file's ID3v2 tag has a different title, track; most players show the ID3v2 texts", "Other", "",
         2004, 3},
    };
    for (const Case& c : cases) {
        const std::string file = path("tagged.mp3");
        write_file(file, c.bytes);
        std::vector<std::string> args{"tag", "--id3v1=only", file};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Outcome run = velkor(args);
        const std::string name = ::testing::PrintToString(c.args);
        EXPECT_EQ(run.status, c.status) << name << run.err;
        EXPECT_EQ(run.out, c.out.empty() ? "" : file + ": " + c.out) << name;
        EXPECT_EQ(count_of(run.err, "\n"), c.err.empty() ? 0u : 1u) << name << run.err;
        EXPECT_NE(run.err.find(c.err.empty() ? "" : "velkor: " + file + ": " + c.err), std::string::npos) << name;
        if (c.out.empty()) {
            EXPECT_EQ(read_file(file), c.bytes) << name;
            continue;
        }
        const JsonValue v1 = json_of(file)["id3v1"];
        EXPECT_EQ(v1["title"].text, c.title) << name;
        EXPECT_EQ(v1["comment"].text, c.comment) << name;
        EXPECT_EQ(v1["year"].is_null() ? 0 : std::stoi(v1["year"].text), c.year) << name;
        EXPECT_EQ(v1["track"].is_null() ? -1 : v1["track"].number, c.track) << name;
    }
}

// --- velkor tag, the ID3v2 form ---------------------------------------------

// Many files at once: each saved in its way and told on one line; a file
// that fails is told with its reason and the others are still written.
TEST_F(CliTest, TagWritesId3v2ToManyFilesAndTellsEachWay) {
    const std::string a = copy_sample("cbr_id3v11.mp3"), b = copy_sample("id3v24_utf8_cover.mp3");
    Outcome run = velkor({"tag", "-A", "Blue", "-b", "Nina", "-n", "3/12", "-y", "2004-05-01", "-g", "Jazz", a,
                          path("missing.mp3"), b});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, a + ": ID3v2.3 and ID3v1 rewritten: 29.5 kB (29481 bytes)\n" + b +
                           ": ID3v2.4 written in place: 398 bytes\n");
    EXPECT_EQ(run.err, "velkor: " + path("missing.mp3") + ": " + velkor_status_text(VELKOR_ERROR_NOT_FOUND) +
                           "; nothing written\n");
    for (const std::string& file : {a, b}) {
        const JsonValue v2 = json_of(file)["id3v2"];
        EXPECT_EQ(v2["album"].items.at(0).text, "Blue") << file;
        EXPECT_EQ(v2["album_artist"].items.at(0).text, "Nina") << file;
        EXPECT_EQ(v2["track"].number, 3) << file;
        EXPECT_EQ(v2["track_total"].number, 12) << file;
        EXPECT_EQ(v2["genre"].items.at(0).text, "Jazz") << file;
        EXPECT_EQ(v2["year"].text.substr(0, 4), "2004") << file;
    }
    EXPECT_EQ(json_of(a)["id3v1"]["album"].text, "Blue");  // the ID3v1 tag follows
    EXPECT_EQ(json_of(b)["id3v2"]["pictures"].items.size(), 1u);  // frames not changed are kept

    // Into the padding the first save left: in place, only the bytes that
    // differ; a field the ID3v1 tag has changes it too, in a second write;
    // the same again: unchanged.
    run = velkor({"tag", "--composer", "Nina", a});
    EXPECT_EQ(run.out, a + ": ID3v2.3 and ID3v1 written in place: 15 bytes\n") << run.err;
    run = velkor({"tag", "-t", "Retitled", a});
    EXPECT_NE(run.out.find(": ID3v2.3 and ID3v1 written in place"), std::string::npos) << run.out << run.err;
    EXPECT_EQ(json_of(a)["id3v1"]["title"].text, "Retitled");
    run = velkor({"tag", "--composer", "Nina", a});
    EXPECT_EQ(run.out, a + ": unchanged\n");
    EXPECT_EQ(run.status, 0);
}

// --id3v2-version converts an existing tag and says so; GRP1 is set as
// any text frame.
TEST_F(CliTest, TagConvertsAnExistingTagToTheVersionAsked) {
    const std::string file = path("v24.mp3");
    write_file(file, id3v2(4, {{"TIT2", utf8("T")}, {"TDRC", utf8("2011-03-16")}, {"TMOO", utf8("calm")}}) + frames());
    Outcome run = velkor({"tag", "--id3v2-version", "3", "--set", "GRP1=Group", file});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("converted the tag from ID3v2.4 to ID3v2.3"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("1 frame(s) without a form in ID3v2.3 left out"), std::string::npos) << run.err;
    JsonValue json = json_of(file);
    EXPECT_EQ(json["id3v2"]["version"].text, "2.3");
    EXPECT_EQ(json["id3v2"]["date"].text, "2011-03-16");
    std::vector<std::string> ids;
    for (const JsonValue& f : json["id3v2"]["frames"].items) ids.push_back(f["id"].text);
    EXPECT_EQ(ids, (std::vector<std::string>{"TIT2", "TYER", "TDAT", "GRP1"}));
    // Nothing else to change: converted all the same; and back.
    run = velkor({"tag", "--id3v2-version", "4", file});
    EXPECT_EQ(run.status, 0) << run.err;
    json = json_of(file);
    EXPECT_EQ(json["id3v2"]["version"].text, "2.4");
    EXPECT_EQ(json["id3v2"]["date"].text, "2011-03-16");
}

TEST_F(CliTest, TagSetsAnyFrameRemovesTagsAndDryRunWritesNothing) {
    const std::string file = copy_sample("vbr_xing.mp3");
    const std::string before = read_file(file);
    const std::string png = "\x89PNG\r\n\x1A\n" + std::string(40, 'p');
    write_file(path("front.png"), png);
    // Every change listed, the picture and a comment of its own included.
    Outcome run = velkor({"tag", "--dry-run", "-t", "New", "--set", "TXXX:MOOD=calm", "--cover", path("front.png"),
                          "--comment", "a: b", "--comment-lang", "deu", file});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, file + ": ID3v2.3 would be rewritten (the whole file copied beside it)\n"
                              "  title: \"\" -> \"New\"\n  comment (deu, \"\"): \"a: b\"\n  TXXX:MOOD: \"calm\"\n"
                              "  picture: front cover, image/png, 48 bytes\n");
    EXPECT_EQ(read_file(file), before);

    run = velkor({"tag", "--set", "TIT3=Live", "--set", "TXXX:MOOD=calm", "--composer", "C", "-c", "hi: there", "--comment-desc", "notes",
                  "--cover", path("front.png"), "--id3v1", "add", "--id3v2-version", "4", file});
    EXPECT_EQ(run.out, file + ": ID3v2.4 and ID3v1 rewritten: 27.9 kB (27919 bytes)\n") << run.err;
    JsonValue json = json_of(file);
    std::string comments;
    for (const JsonValue& frame : json["id3v2"]["frames"].items) {
        if (frame["id"].text != "COMM") continue;
        comments += frame["language"].text + "|" + frame["description"].text + "|" + frame["values"].items.at(0).text;
    }
    EXPECT_EQ(comments, "eng|notes|hi: there");  // the whole text, colons and all
    EXPECT_EQ(json["id3v2"]["version"].text, "2.4");
    EXPECT_EQ(json["id3v2"]["composer"].items.at(0).text, "C");
    EXPECT_EQ(json["id3v2"]["pictures"].items.size(), 1u);
    EXPECT_FALSE(json["id3v1"].is_null());
    const std::string saved = read_file(file);
    EXPECT_NE(saved.find("MOOD"), std::string::npos);
    EXPECT_NE(saved.find("notes"), std::string::npos);
    EXPECT_NE(saved.find(png), std::string::npos);

    // Keys beside frame ids: TITLE is TIT2, MUSICBRAINZ_ALBUMID its TXXX;
    // the JSON's tags object reads them back.
    run = velkor({"tag", "--set", "TITLE=By Key", "--set", "MUSICBRAINZ_ALBUMID=42", "--remove", "COMPOSER", file});
    EXPECT_EQ(run.status, 0) << run.err;
    json = json_of(file);
    EXPECT_EQ(json["id3v2"]["title"].items.at(0).text, "By Key");
    EXPECT_EQ(json["tags"]["TITLE"].items.at(0).text, "By Key");
    EXPECT_EQ(json["tags"]["MUSICBRAINZ_ALBUMID"].items.at(0).text, "42");
    EXPECT_EQ(json["tags"].members.count("COMPOSER"), 0u);
    EXPECT_EQ(velkor({"tag", "--set", "NOT_A_KEY=1", file}).status, 2);

    run = velkor({"tag", "--remove", "TXXX:MOOD", "--remove", "TIT3", "--remove-cover", file});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(read_file(file).find("MOOD"), std::string::npos);
    EXPECT_TRUE(json_of(file)["id3v2"]["pictures"].items.empty());

    // No tag left: exactly the audio of the untagged sample.
    run = velkor({"tag", "--remove-tags", "all", file});
    EXPECT_EQ(run.out, file + ": ID3v2 and ID3v1 tags removed, rewritten: 26.6 kB (26601 bytes)\n") << run.err;
    EXPECT_EQ(read_file(file), before);

    write_file(path("cover.txt"), "not an image");
    run = velkor({"tag", "--cover", path("cover.txt"), file});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("not a JPEG, PNG, GIF, BMP or WebP image"), std::string::npos);
    // A folder, a device and a FIFO are refused before anything is read.
    mkfifo(path("cover.fifo").c_str(), 0600);
    for (const std::string& cover : {path(""), std::string("/dev/zero"), path("cover.fifo")}) {
        run = velkor({"tag", "--cover", cover, file});
        EXPECT_EQ(run.status, 1) << cover;
        EXPECT_NE(run.err.find("not a regular file"), std::string::npos) << cover << run.err;
    }
}

// Files named .mp3 that hold no MPEG audio are not tagged: the command says
// what they are, fails, and leaves them as they were.
TEST_F(CliTest, TagRefusesFilesThatAreNotMpegAudio) {
    using namespace std::string_literals;
    const std::string wave =
        "RIFF\x24\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0\x44\xAC\0\0\x10\xB1\x02\0\x04\0\x10\0data\0\0\0\0"s;
    struct {
        const char* name;
        std::string bytes;
        const char* said;
        const char* format;  // JSON's stream_format; "" for null
    } const cases[] = {
        {"flac.mp3", "fLaC\0\0\0\x22"s + std::string(600, '\xFF'), "a FLAC file, not MPEG audio; nothing written", "FLAC"},
        {"wave.mp3", wave, "a WAVE file, not MPEG audio; nothing written", "WAVE"},
        {"text.mp3", "hello\n", "no MPEG audio in it; nothing written", ""},
        {"empty.mp3", "", "an empty file, not MPEG audio; nothing written", ""},
    };
    for (const auto& c : cases) {
        const std::string file = path(c.name);
        write_file(file, c.bytes);
        const Outcome run = velkor({"tag", "-t", "X", file});
        EXPECT_EQ(run.status, 1) << c.name;
        EXPECT_EQ(run.err, "velkor: " + file + ": " + c.said + "\n");
        EXPECT_EQ(read_file(file), c.bytes) << c.name;
        // The read path says the same, and JSON names the format.
        const std::string said = std::string(c.said).substr(0, std::string(c.said).find(';'));
        EXPECT_EQ(velkor({file}).err, "velkor: " + file + ": " + said + "\n");
        const JsonValue json = json_of(file);
        EXPECT_EQ(json["error"].text, said);
        EXPECT_EQ(json.has("stream_format") ? json["stream_format"].text : "", c.format) << c.name;
    }
}

// --brief: a line per file by a template; --save-cover: the front cover to
// a new file, an existing one only with --force.
TEST_F(CliTest, BriefLinesAndSavedCovers) {
    const std::string a = copy_sample("cbr_id3v11.mp3"), cover = copy_sample("id3v24_utf8_cover.mp3");
    Outcome run = velkor({"--brief", "--format", "{track}|{title}|{x}|{size}", a});
    EXPECT_EQ(run.status, 0) << run.err;
    const JsonValue json = json_of(a);
    EXPECT_EQ(run.out, std::to_string(static_cast<int>(json["id3v1"]["track"].number)) + "|" +
                           json["id3v1"]["title"].text + "|{x}|" +
                           std::to_string(static_cast<long long>(json["file_size"].number)) + "\n");
    EXPECT_EQ(count_of(velkor({"--brief", a, cover}).out, "\n"), 2u);

    const std::string png = path("front.png");
    for (const auto& [force, status] : {std::pair{false, 0}, {false, 1}, {true, 0}}) {
        std::vector<std::string> args = {"--save-cover", png, cover};
        if (force) args.push_back("--force");
        run = velkor(args);
        EXPECT_EQ(run.status, status) << run.err;
    }
    EXPECT_EQ(read_file(png).substr(0, 8), "\x89PNG\r\n\x1A\n");
    EXPECT_EQ(read_file(png).size(), 258u);
    EXPECT_EQ(velkor({"--save-cover", path("none.png"), a}).status, 1);  // no picture
}

// A file with other names is changed in place under all of them; one that
// needs a new file is refused unless --break-links gives this name its own.
TEST_F(CliTest, TagRefusesToPartHardLinksUnlessAsked) {
    const std::string file = copy_sample("cbr_id3v11.mp3"), other = path("other.mp3");
    fs::create_hard_link(file, other);
    const std::string before = read_file(file);
    Outcome run = velkor({"tag", "-t", "x", file});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("(--break-links gives this name a copy of its own)"), std::string::npos) << run.err;
    EXPECT_EQ(read_file(file), before);

    run = velkor({"tag", "-t", "x", "--break-links", file});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(json_of(file)["id3v2"]["title"].items.at(0).text, "x");
    EXPECT_EQ(read_file(other), before);
}

}  // namespace
