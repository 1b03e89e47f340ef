// Decoding the Xing/Info header with the encoder's tag, and VBRI.
#include "stream/vbr_header.h"

#include <cstring>

#include "base/big_endian.h"

namespace velkor {

namespace {

constexpr uint32_t kFlagFrames = 1, kFlagBytes = 2, kFlagToc = 4, kFlagQuality = 8;
constexpr std::size_t kTocSize = 100;
constexpr std::size_t kDelayAt = 21;  // in the encoder's tag: 12 bits delay, 12 bits padding
constexpr std::size_t kVbriBytesAt = 10;   // behind magic, version, delay, quality
constexpr std::size_t kVbriFramesAt = 14;  // behind the bytes

bool magic_at(ByteSpan bytes, std::size_t at, const char* magic) {
    for (std::size_t i = 0; i < 4; ++i) {
        if (bytes.at(at + i) != static_cast<uint8_t>(magic[i])) return false;
    }
    return true;
}

int32_t count_of(uint32_t stored) { return stored <= 0x7FFFFFFFu ? static_cast<int32_t>(stored) : -1; }

// Encoders whose tag carries delay and padding where LAME puts them; LAME
// also writes its name short, "L3.99r".
bool known_encoder(const char* name) {
    return std::strncmp(name, "LAME", 4) == 0 || std::strncmp(name, "Lavf", 4) == 0 ||
           std::strncmp(name, "Lavc", 4) == 0 || (name[0] == 'L' && name[1] >= '0' && name[1] <= '9');
}

}  // namespace

void VbrHeader::read_settings(ByteSpan bytes, std::size_t at) {
    // Behind the 9-character name: revision and method, lowpass, peak,
    // two gain fields, flags, bitrate, delay and padding, misc, gain, preset.
    const uint8_t method = bytes.at(at + 9) & 0x0F;
    if (method != 0 && method != 15) settings_.vbr_method = method;
    if (bytes.at(at + 10) != 0) settings_.lowpass_hz = bytes.at(at + 10) * 100;
    // The peak as LAME writes it: a fixed-point number, 1.0 at 2^23; 0 when
    // the encoder did not look for it.
    const uint32_t peak = big_endian32(bytes, at + 11);
    if (peak != 0) {
        settings_.peak = peak / 8388608.0;
        settings_.gains_known |= Settings::kTrackPeak;
    }
    // A gain field: 3 bits name (1 radio, 2 audiophile), 3 bits originator,
    // a sign and 9 bits of tenths of a dB; name 0 is an empty field.
    for (const std::size_t field : {at + 15, at + 17}) {
        const uint32_t gain = big_endian(bytes, field, 2);
        const uint32_t name = gain >> 13;
        const double db = static_cast<double>(gain & 0x1FF) / 10.0 * ((gain & 0x200) ? -1 : 1);
        if (name == 1 && !(settings_.gains_known & Settings::kTrackGain)) {
            settings_.track_gain_db = db;
            settings_.gains_known |= Settings::kTrackGain;
        } else if (name == 2 && !(settings_.gains_known & Settings::kAlbumGain)) {
            settings_.album_gain_db = db;
            settings_.gains_known |= Settings::kAlbumGain;
        }
    }
    const uint32_t preset = big_endian(bytes, at + 26, 2) & 0x7FF;
    if (preset != 0) settings_.preset = static_cast<int32_t>(preset);
}

const char* lame_method_name(int32_t method) {
    switch (method) {
        case 1: return "cbr";
        case 2: return "abr";
        case 3: return "vbr-old";
        case 4: return "vbr-new";
        case 5: return "vbr-mt";
        case 6: return "vbr-4";
        case 8: return "cbr-2pass";
        case 9: return "abr-2pass";
        default: return "";
    }
}

std::string lame_preset_name(int32_t preset, int32_t method) {
    // The bitrate of an ABR stream, or of a CBR one (its method says which).
    if (preset >= 8 && preset <= 320) return (method == 1 || method == 8 ? "CBR " : "ABR ") + std::to_string(preset);
    if (preset >= 410 && preset <= 500 && preset % 10 == 0) return "V" + std::to_string((500 - preset) / 10);
    static const char* const kNamed[] = {"--preset r3mix",    "--preset standard",      "--preset extreme",
                                         "--preset insane",   "--preset fast standard", "--preset fast extreme",
                                         "--preset medium",   "--preset fast medium"};
    if (preset >= 1000 && preset <= 1007) return kNamed[preset - 1000];
    return "";
}

void VbrHeader::clear() {
    frames_ = -1;
    bytes_ = -1;
    kind_ = Kind::kNone;
    std::memset(encoder_, 0, sizeof encoder_);
    delay_ = -1;
    padding_ = -1;
    settings_ = Settings();
}

void VbrHeader::read_xing(ByteSpan bytes, std::size_t at, bool with_tag) {
    const uint32_t flags = big_endian32(bytes, at + 4);
    at += 8;
    if (flags & kFlagFrames) {
        frames_ = count_of(big_endian32(bytes, at));
        at += 4;
    }
    if (!with_tag) return;
    if (flags & kFlagBytes) {
        bytes_ = big_endian32(bytes, at);
        at += 4;
    }
    if (flags & kFlagToc) at += kTocSize;
    if (flags & kFlagQuality) {
        const uint32_t quality = big_endian32(bytes, at);
        if (quality <= 100) settings_.quality = static_cast<int32_t>(quality);
        at += 4;
    }
    // The encoder's tag follows the fields the flags announce.
    std::size_t n = 0;
    for (; n < kEncoderSize; ++n) {
        const uint8_t c = bytes.at(at + n);
        if (c < 0x20 || c > 0x7E) break;
        encoder_[n] = static_cast<char>(c);
    }
    while (n > 0 && encoder_[n - 1] == ' ') encoder_[--n] = '\0';
    if (known_encoder(encoder_)) {
        const uint32_t both = big_endian(bytes, at + kDelayAt, 3);
        delay_ = static_cast<int32_t>(both >> 12);
        padding_ = static_cast<int32_t>(both & 0xFFF);
        read_settings(bytes, at);
    } else {
        // Without a known encoder's tag these bytes are audio.
        std::memset(encoder_, 0, sizeof encoder_);
    }
}

int32_t VbrHeader::parse(ByteSpan bytes) {
    clear();
    if (!magic_at(bytes, 0, "Xing")) return 0;
    kind_ = Kind::kXing;
    read_xing(bytes, 0, false);
    return 1;
}

VbrHeader::Kind VbrHeader::read(ByteSpan frame, const FrameHeader& header) {
    clear();
    const auto xing = static_cast<std::size_t>(header.xing_offset());
    const bool is_xing = magic_at(frame, xing, "Xing");
    if (is_xing || magic_at(frame, xing, "Info")) {
        kind_ = is_xing ? Kind::kXing : Kind::kInfo;
        read_xing(frame, xing, true);
    } else if (magic_at(frame, static_cast<std::size_t>(kVbriOffset), "VBRI")) {
        kind_ = Kind::kVbri;
        bytes_ = big_endian32(frame, static_cast<std::size_t>(kVbriOffset) + kVbriBytesAt);
        frames_ = count_of(big_endian32(frame, static_cast<std::size_t>(kVbriOffset) + kVbriFramesAt));
    }
    return kind_;
}

}  // namespace velkor
