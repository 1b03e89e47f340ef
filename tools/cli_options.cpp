// Argument parsing with getopt_long: GNU-style options anywhere among the
// operands, bundled short options ("-rj4"), "-jN" or "-j N", "--name=value"
// or "--name value", and "--" ending the options. "-" alone is an operand.
#include "cli_options.h"

#include <getopt.h>

#include <string_view>

namespace velkor::cli {

namespace {

// One pass of getopt_long over a copy of args. The option string starts
// with "-:": operands come back in their place as 1, whatever
// POSIXLY_CORRECT says (the tag form has its file before the options), and
// a missing value comes back as ':' rather than '?'. getopt itself prints
// nothing; the messages are the command's own.
class Getopt {
public:
    Getopt(const std::vector<std::string>& args, const char* optstring, const option* longopts)
        : args_(args), optstring_(optstring), longopts_(longopts) {
        argv_.push_back(program_.data());
        for (std::string& arg : args_) argv_.push_back(arg.data());
        argv_.push_back(nullptr);
        // 0, not 1: glibc then starts over, its inner state included, so
        // that one process can parse several command lines.
        optind = 0;
        opterr = 0;
    }
    // argv_ points into args_.
    Getopt(const Getopt&) = delete;
    Getopt& operator=(const Getopt&) = delete;

    int next() { return getopt_long(argc(), argv_.data(), optstring_, longopts_, nullptr); }

    // The arguments behind "--", once next() has returned -1.
    void take_rest(std::vector<std::string>& operands) const {
        for (int i = optind; i < argc(); ++i) operands.emplace_back(argv_[static_cast<std::size_t>(i)]);
    }

    // The long option whose value getopt_long returned, or null.
    const option* long_option(int val) const {
        for (const option* o = longopts_; o->name; ++o) {
            if (o->val == val) return o;
        }
        return nullptr;
    }

    // What was wrong with the argument getopt_long refused with '?'.
    std::string refusal(const char* unknown_suffix) const {
        if (optopt == 0) {
            // An unknown or ambiguous long option; optind is past it.
            std::string_view arg = argv_[static_cast<std::size_t>(optind - 1)];
            arg = arg.substr(0, arg.find('='));
            const std::string fits = fitting(arg.substr(2));
            if (!fits.empty()) return "option '" + std::string(arg) + "' is ambiguous: " + fits;
            return "unknown option '" + std::string(arg) + "'" + unknown_suffix;
        }
        if (const option* known = long_option(optopt)) {
            return "option '--" + std::string(known->name) + "' takes no value";
        }
        return "unknown option '-" + std::string(1, static_cast<char>(optopt)) + "'" + unknown_suffix;
    }

private:
    int argc() const { return static_cast<int>(argv_.size()) - 1; }

    // getopt_long takes an abbreviation of one long option; for one that
    // fits several, the names it fits, else "".
    std::string fitting(std::string_view prefix) const {
        std::string fits;
        int count = 0;
        for (const option* o = longopts_; o->name; ++o) {
            if (prefix.empty() || std::string_view(o->name).substr(0, prefix.size()) != prefix) continue;
            fits += (count++ ? ", --" : "--") + std::string(o->name);
        }
        return count > 1 ? fits : "";
    }

    std::string program_ = "velkor";
    std::vector<std::string> args_;
    std::vector<char*> argv_;
    const char* optstring_;
    const option* longopts_;
};

constexpr int kOperand = 1;

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
    // Long options without a letter have values beyond any character.
    enum : int { kExact = 256, kReport, kRecord, kJson };
    static const option kLongOptions[] = {
        {"help", no_argument, nullptr, 'h'},       {"version", no_argument, nullptr, 'V'},
        {"recursive", no_argument, nullptr, 'r'},  {"jobs", required_argument, nullptr, 'j'},
        {"exact", no_argument, nullptr, kExact},   {"report", no_argument, nullptr, kReport},
        {"record", no_argument, nullptr, kRecord}, {"json", no_argument, nullptr, kJson},
        {"all", no_argument, nullptr, 'v'},        {"verbose", no_argument, nullptr, 'v'},
        {"follow-links", no_argument, nullptr, 'L'}, {nullptr, 0, nullptr, 0},
    };
    AnalyseOptions options;
    int formats = 0;
    Getopt getopt(args, "-:hVrvLj:", kLongOptions);
    for (int c; (c = getopt.next()) != -1;) {
        switch (c) {
            case kOperand: options.files.emplace_back(optarg); break;
            case 'j':
                if (!parse_jobs(optarg, options.jobs)) {
                    return usage_error<AnalyseOptions>("-j takes a number of files at once from 1 to 256, not '" +
                                                       std::string(optarg) + "'");
                }
                break;
            case 'h': options.action = Action::kHelp; break;
            case 'V':
                if (options.action != Action::kHelp) options.action = Action::kVersion;
                break;
            case 'r': options.recursive = true; break;
            case 'v': options.all = true; break;
            case 'L': options.follow_links = true; break;
            case kExact: options.exact = true; break;
            case kReport: options.format = Format::kReport, ++formats; break;
            case kRecord: options.format = Format::kRecord, ++formats; break;
            case kJson: options.format = Format::kJson, ++formats; break;
            case ':': return usage_error<AnalyseOptions>("option '-j' needs a number");
            default: return usage_error<AnalyseOptions>(getopt.refusal(""));
        }
    }
    getopt.take_rest(options.files);
    if (options.action != Action::kRun) return options;
    if (formats > 1) return usage_error<AnalyseOptions>("--report, --record and --json exclude each other");
    if (options.exact && (options.format == Format::kReport || options.format == Format::kRecord)) {
        return usage_error<AnalyseOptions>("--exact goes with the readable block and --json only");
    }
    if (options.files.empty()) return usage_error<AnalyseOptions>("no file given");
    return options;
}

TagOptions parse_tag_options(const std::vector<std::string>& args) {
    enum : int { kTitle = 256, kArtist, kAlbum, kYear, kComment, kTrack, kGenre };
    static const option kLongOptions[] = {
        {"title", required_argument, nullptr, kTitle},     {"artist", required_argument, nullptr, kArtist},
        {"album", required_argument, nullptr, kAlbum},     {"year", required_argument, nullptr, kYear},
        {"comment", required_argument, nullptr, kComment}, {"track", required_argument, nullptr, kTrack},
        {"genre", required_argument, nullptr, kGenre},     {"help", no_argument, nullptr, 'h'},
        {"yes", no_argument, nullptr, 'y'},                {nullptr, 0, nullptr, 0},
    };
    TagOptions options;
    std::vector<std::string> operands;
    int fields = 0;
    Getopt getopt(args, "-:hy", kLongOptions);
    for (int c; (c = getopt.next()) != -1;) {
        std::optional<std::string>* field = nullptr;
        switch (c) {
            case kOperand: operands.emplace_back(optarg); continue;
            case kTitle: field = &options.title; break;
            case kArtist: field = &options.artist; break;
            case kAlbum: field = &options.album; break;
            case kYear: field = &options.year; break;
            case kComment: field = &options.comment; break;
            case kTrack: field = &options.track; break;
            case kGenre: field = &options.genre; break;
            case 'h': options.action = Action::kHelp; continue;
            case 'y': options.assume_yes = true; continue;
            case ':':
                return usage_error<TagOptions>("option '--" + std::string(getopt.long_option(optopt)->name) +
                                               "' needs a value");
            default: return usage_error<TagOptions>(getopt.refusal(" for 'velkor tag'"));
        }
        *field = optarg;
        ++fields;
    }
    getopt.take_rest(operands);
    if (options.action == Action::kHelp) return options;
    if (operands.empty()) return usage_error<TagOptions>("'velkor tag' needs a file");
    if (operands.size() > 1) return usage_error<TagOptions>("'velkor tag' takes one file, not " + std::to_string(operands.size()));
    if (fields == 0) return usage_error<TagOptions>("'velkor tag' needs at least one field option, such as --title");
    options.file = operands.front();
    return options;
}

}  // namespace velkor::cli
