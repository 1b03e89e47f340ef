// One libFuzzer target: VELKOR_FUZZ_CHECK_FUNCTION names the check of
// fuzz_checks.h, file_checks.h, parser_checks.h or interface_checks.h it
// runs. A broken invariant aborts, which libFuzzer reports as a crash and
// keeps the input.
#include <cstdio>
#include <cstdlib>

#include "file_checks.h"
#include "interface_checks.h"
#include "parser_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (velkor::fuzzing::Failure failure = velkor::fuzzing::VELKOR_FUZZ_CHECK_FUNCTION(data, size)) {
        std::fprintf(stderr, "invariant broken: %s\n", failure);
        std::abort();
    }
    return 0;
}
