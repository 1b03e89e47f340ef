// UTF-8 and the UTF-16 of the Windows wide API: paths given in UTF-8 open
// whatever script their names are in. Only the Windows build has these, for
// its halves of the platform layer and its wide entry points.
#pragma once

#include <string>

namespace velkor::platform {

// False when text is not valid UTF-8 (nothing could open such a name).
bool utf8_to_wide(const char* text, std::wstring& wide);
// Invalid UTF-16 (a lone surrogate) becomes U+FFFD.
std::string wide_to_utf8(const wchar_t* text);

}  // namespace velkor::platform
