// The texts of ID3v2 frames as UTF-8: Latin-1 (0), UTF-16 with a
// byte-order mark (1), UTF-16BE (2) and UTF-8 (3). Whatever the bytes hold,
// the result is valid UTF-8: what cannot be decoded becomes U+FFFD.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/byte_span.h"

namespace velkor {

// Decodes the one text that starts at `pos` up to its terminator (a zero
// byte, or two aligned ones in UTF-16) or the end of the bytes, and
// appends it to out. Returns the position behind the terminator.
std::size_t decode_id3v2_text(uint8_t encoding, ByteSpan bytes, std::size_t pos, std::string& out);

// Decodes every text from pos to the end of the bytes (version 2.4 keeps
// several values in one frame, each with its terminator) and joins them
// with "; ". Empty values at the end are dropped.
std::string decode_id3v2_texts(uint8_t encoding, ByteSpan bytes, std::size_t pos);

}  // namespace velkor
