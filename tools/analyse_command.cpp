// velkor [OPTION]... FILE...: one output block, line or object per file.
#include <cstdio>

#include "cli_notices.h"
#include "cli_options.h"
#include "commands.h"
#include "file_facts.h"
#include "file_walk.h"
#include "json_output.h"
#include "stream/mp3_file_info.h"
#include "text_encoding.h"
#include "text_output.h"
#include "usage.h"

namespace velkor::cli {

namespace {

void report_problem(const std::string& path, const std::string& problem) {
    std::fprintf(stderr, "velkor: %s: %s\n", printable(bytes_to_utf8(path)).c_str(), problem.c_str());
}

// Analyses one file in the chosen format; false when it failed. Every
// failure is told once on stderr: by the library's notice when it showed
// one, else here.
bool analyse_one(const AnalyseOptions& options, const std::string& path, bool with_path,
                 bool& first_block) {
    switch (options.format) {
        case Format::kReport:
        case Format::kRecord: {
            const ExportOutcome outcome = options.format == Format::kReport
                                              ? print_report(path, with_path)
                                              : print_record(path);
            if (!outcome.ok && !outcome.notice_shown) report_problem(path, "could not be analysed");
            return outcome.ok;
        }
        case Format::kJson:
        case Format::kBlock: {
            const int before = notices_shown();
            const FileFacts facts = analyse_file(path);
            const bool ok = facts.status == 0;
            if (options.format == Format::kJson) {
                std::printf("%s\n", json_line(facts).c_str());
            } else if (ok) {
                if (!first_block) std::printf("\n");
                first_block = false;
                print_block(facts);
            }
            if (!ok && notices_shown() == before) report_problem(path, status_problem(facts.status));
            return ok;
        }
    }
    return false;
}

}  // namespace

int run_analyse_command(const std::vector<std::string>& args) {
    const AnalyseOptions options = parse_analyse_options(args);
    switch (options.action) {
        case Action::kHelp: print_help(); return kExitOk;
        case Action::kVersion: print_version(); return kExitOk;
        case Action::kUsageError: return usage_error(options.error);
        case Action::kRun: break;
    }
    install_notice_handler({});

    const bool with_path = options.files.size() > 1 || options.recursive;
    bool first_block = true;
    bool all_ok = true;
    walk_operands(options.files, options.recursive, [&](const WalkItem& item) {
        if (!item.problem.empty()) {
            report_problem(item.path, item.problem);
            if (options.format == Format::kJson) {
                FileFacts failed;
                failed.path = item.path;
                failed.status = kStatusOpenFailed;
                std::printf("%s\n", json_line(failed, item.problem).c_str());
            }
            all_ok = false;
            return;
        }
        if (!analyse_one(options, item.path, with_path, first_block)) all_ok = false;
        std::fflush(stdout);
    });
    return all_ok ? kExitOk : kExitFailed;
}

}  // namespace velkor::cli
