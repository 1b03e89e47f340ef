// The texts of ID3v2 frames, read into UTF-8 and written from it: Latin-1
// (0), UTF-16 with a byte-order mark (1), UTF-16BE (2) and UTF-8 (3).
// Whatever the bytes hold, what is read is valid UTF-8: what cannot be
// decoded becomes U+FFFD.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/byte_span.h"

namespace velkor {

enum : uint8_t { kId3v2Latin1 = 0, kId3v2Utf16 = 1, kId3v2Utf16BigEndian = 2, kId3v2Utf8 = 3 };

// Decodes the one text that starts at `pos` up to its terminator (a zero
// byte, or two aligned ones in UTF-16) or the end of the bytes, and
// appends it to out. Returns the position behind the terminator.
// `big_endian`, where given, carries the byte order of UTF-16 from one text
// of a frame to the next: a text without a byte-order mark is read in the
// order of the mark before it, as taggers that write one mark per frame
// mean it (in: the order to start with; out: the order the text had).
std::size_t decode_id3v2_text(uint8_t encoding, ByteSpan bytes, std::size_t pos, std::string& out,
                              bool* big_endian = nullptr);

// Decodes every text from pos to the end of the bytes (version 2.4 keeps
// several values in one frame, each with its terminator) and joins them
// with "; ". Empty values at the end are dropped.
std::string decode_id3v2_texts(uint8_t encoding, ByteSpan bytes, std::size_t pos);

// Whether every character of the UTF-8 text is in Latin-1.
bool fits_latin1(const std::string& text);
// Appends the UTF-8 text in the encoding (UTF-16 little-endian with a
// byte-order mark), and its terminator when `terminated`. Characters
// Latin-1 cannot hold become '?' in it.
void encode_id3v2_text(std::vector<uint8_t>& out, uint8_t encoding, const std::string& text, bool terminated);

}  // namespace velkor
