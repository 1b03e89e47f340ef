// Recognising an ID3v2 tag header.
#include "tags/id3v2_header.h"

#include "base/big_endian.h"

namespace velkor {

bool parse_id3v2_header(ByteSpan b, Id3v2Header& header) {
    if (!(b.size >= Id3v2Header::kSize && b.at(0) == 'I' && b.at(1) == 'D' && b.at(2) == '3' &&
          b.at(3) < 0xFF && b.at(4) < 0xFF && b.at(6) < 0x80 && b.at(7) < 0x80 && b.at(8) < 0x80 &&
          b.at(9) < 0x80)) {
        return false;
    }
    header.version = b.at(3);
    header.flags = b.at(5);
    header.size = syncsafe32(b, 6);
    return true;
}

}  // namespace velkor
