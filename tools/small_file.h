// Reading a small input file whole (a cover picture): only a regular file
// of a bounded size, whose first bytes the caller accepts before the rest
// is read. A folder, a device or a FIFO is refused without waiting or
// reading.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace velkor::cli {

enum SmallFile { kSmallFileRead, kSmallFileTooLarge, kSmallFileNotRegular, kSmallFileRefused, kSmallFileFailed };

// `accept` sees the first bytes (up to 16). On kSmallFileFailed `problem`
// says why.
SmallFile read_small_file(const std::string& path, std::size_t limit,
                          const std::function<bool(const std::string&)>& accept, std::string& bytes,
                          std::string& problem);

}  // namespace velkor::cli
