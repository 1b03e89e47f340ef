// The two forms of the command; each returns the process exit status.
#pragma once

#include <string>
#include <vector>

namespace velkor::cli {

// velkor [OPTION]... FILE...
int run_analyse_command(const std::vector<std::string>& args);

// velkor tag [OPTION]... FILE...; args are those behind "tag".
int run_tag_command(const std::vector<std::string>& args);

}  // namespace velkor::cli
