// Argument parsing: GNU-style options anywhere among the operands, "--name
// value" or "--name=value", and "--" ending the options.
#include "cli_options.h"

#include <string_view>

namespace velkor::cli {

namespace {

bool is_option(const std::string& arg) { return arg.size() > 1 && arg[0] == '-'; }

// Splits "--name=value" into name and value; other arguments have no value.
std::string_view option_name(const std::string& arg, std::optional<std::string>& inline_value) {
    const auto eq = arg.find('=');
    if (arg.rfind("--", 0) == 0 && eq != std::string::npos) {
        inline_value = arg.substr(eq + 1);
        return std::string_view(arg).substr(0, eq);
    }
    return arg;
}

template <typename Options>
Options usage_error(std::string message) {
    Options options;
    options.action = Action::kUsageError;
    options.error = std::move(message);
    return options;
}

// The number of -j: 1 to 256.
bool parse_jobs(const std::string& text, int& jobs) {
    if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    jobs = std::stoi(text);
    return jobs >= 1 && jobs <= 256;
}

}  // namespace

AnalyseOptions parse_analyse_options(const std::vector<std::string>& args) {
    AnalyseOptions options;
    int formats = 0;
    bool operands_only = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (operands_only || !is_option(arg)) {
            options.files.push_back(arg);
            continue;
        }
        std::optional<std::string> value;
        const std::string_view name = option_name(arg, value);
        // -j N, -jN, --jobs N, --jobs=N
        if (name == "--jobs" || name.rfind("-j", 0) == 0) {
            if (!value && name.size() > 2 && name[1] == 'j') value = std::string(name.substr(2));
            if (!value) {
                if (i + 1 == args.size()) return usage_error<AnalyseOptions>("option '-j' needs a number");
                value = args[++i];
            }
            if (!parse_jobs(*value, options.jobs)) {
                return usage_error<AnalyseOptions>("-j takes a number of files at once from 1 to 256, not '" + *value + "'");
            }
            continue;
        }
        if (value) return usage_error<AnalyseOptions>("option '" + std::string(name) + "' takes no value");
        if (name == "--") {
            operands_only = true;
        } else if (name == "-h" || name == "--help") {
            options.action = Action::kHelp;
        } else if (name == "-V" || name == "--version") {
            if (options.action != Action::kHelp) options.action = Action::kVersion;
        } else if (name == "-r" || name == "--recursive") {
            options.recursive = true;
        } else if (name == "--exact") {
            options.exact = true;
        } else if (name == "--report") {
            options.format = Format::kReport, ++formats;
        } else if (name == "--record") {
            options.format = Format::kRecord, ++formats;
        } else if (name == "--json") {
            options.format = Format::kJson, ++formats;
        } else {
            return usage_error<AnalyseOptions>("unknown option '" + arg + "'");
        }
    }
    if (options.action != Action::kRun) return options;
    if (formats > 1) return usage_error<AnalyseOptions>("--report, --record and --json exclude each other");
    if (options.exact && (options.format == Format::kReport || options.format == Format::kRecord)) {
        return usage_error<AnalyseOptions>("--exact goes with the readable block and --json only");
    }
    if (options.files.empty()) return usage_error<AnalyseOptions>("no file given");
    return options;
}

TagOptions parse_tag_options(const std::vector<std::string>& args) {
    TagOptions options;
    std::vector<std::string> operands;
    bool operands_only = false;
    int fields = 0;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (operands_only || !is_option(arg)) {
            operands.push_back(arg);
            continue;
        }
        std::optional<std::string> value;
        const std::string_view name = option_name(arg, value);
        std::optional<std::string>* field = nullptr;
        if (name == "--title") field = &options.title;
        else if (name == "--artist") field = &options.artist;
        else if (name == "--album") field = &options.album;
        else if (name == "--year") field = &options.year;
        else if (name == "--comment") field = &options.comment;
        else if (name == "--track") field = &options.track;
        else if (name == "--genre") field = &options.genre;

        if (field) {
            if (!value) {
                if (i + 1 == args.size()) {
                    return usage_error<TagOptions>("option '" + std::string(name) + "' needs a value");
                }
                value = args[++i];
            }
            *field = std::move(value);
            ++fields;
            continue;
        }
        if (value) return usage_error<TagOptions>("option '" + std::string(name) + "' takes no value");
        if (name == "--") {
            operands_only = true;
        } else if (name == "-h" || name == "--help") {
            options.action = Action::kHelp;
        } else if (name == "-y" || name == "--yes") {
            options.assume_yes = true;
        } else {
            return usage_error<TagOptions>("unknown option '" + arg + "' for 'velkor tag'");
        }
    }
    if (options.action == Action::kHelp) return options;
    if (operands.empty()) return usage_error<TagOptions>("'velkor tag' needs a file");
    if (operands.size() > 1) return usage_error<TagOptions>("'velkor tag' takes one file, not " + std::to_string(operands.size()));
    if (fields == 0) return usage_error<TagOptions>("'velkor tag' needs at least one field option, such as --title");
    options.file = operands.front();
    return options;
}

}  // namespace velkor::cli
