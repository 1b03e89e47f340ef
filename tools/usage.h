// The command's help, version and usage-error texts.
#pragma once

#include <string>

namespace velkor::cli {

void print_help();
void print_tag_help();
void print_version();

// Prints "velkor: <message>" and the hint to --help on stderr; returns the
// usage exit status.
int usage_error(const std::string& message, bool tag_command = false);

}  // namespace velkor::cli
