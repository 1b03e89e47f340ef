// The genres of a TCON frame: its values with the numeric references of
// ID3v1 ("(17)", "17"), "(RX)" and "(CR)" resolved to names, "((" undone to
// "(", and each genre once.
#pragma once

#include <string>
#include <vector>

namespace velkor {

// "(9)(138)Viking Metal" -> {"Metal", "Black Metal", "Viking Metal"};
// "(4)Rock" -> {"Disco", "Rock"}; "(0)((A genre)" -> {"Blues", "(A genre)"}.
std::vector<std::string> resolve_genres(const std::vector<std::string>& values);

// The genres of the values joined by "; ".
std::string resolve_genre(const std::vector<std::string>& values);
// The same for a text whose values are already joined by "; ".
std::string resolve_genre(const std::string& text);

}  // namespace velkor
