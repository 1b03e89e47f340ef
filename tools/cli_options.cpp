// Argument parsing with getopt_long: GNU-style options anywhere among the
// operands, bundled short options ("-rj4"), "-jN" or "-j N", "--name=value"
// or "--name value", and "--" ending the options. "-" alone is an operand.
#include "cli_options.h"

#include <getopt.h>

#include <algorithm>
#include <string_view>

#include "velkor.h"

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
    enum : int { kExact = 256, kReport, kRecord, kJson, kBrief, kFormat, kSaveCover, kForce };
    static const option kLongOptions[] = {
        {"help", no_argument, nullptr, 'h'},       {"version", no_argument, nullptr, 'V'},
        {"recursive", no_argument, nullptr, 'r'},  {"jobs", required_argument, nullptr, 'j'},
        {"exact", no_argument, nullptr, kExact},   {"report", no_argument, nullptr, kReport},
        {"record", no_argument, nullptr, kRecord}, {"json", no_argument, nullptr, kJson},
        {"all", no_argument, nullptr, 'v'},        {"verbose", no_argument, nullptr, 'v'},
        {"follow-links", no_argument, nullptr, 'L'}, {"brief", no_argument, nullptr, kBrief},
        {"format", required_argument, nullptr, kFormat}, {"save-cover", required_argument, nullptr, kSaveCover},
        {"force", no_argument, nullptr, kForce},     {nullptr, 0, nullptr, 0},
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
            case kBrief: options.format = Format::kBrief, ++formats; break;
            case kFormat: options.brief_format = optarg; break;
            case kSaveCover: options.save_cover = optarg; break;
            case kForce: options.force = true; break;
            case ':': {
                const option* named = getopt.long_option(optopt);
                return usage_error<AnalyseOptions>(optopt == 'j' || !named ? "option '-j' needs a number"
                                                                           : "option '--" + std::string(named->name) + "' needs a value");
            }
            default: return usage_error<AnalyseOptions>(getopt.refusal(""));
        }
    }
    getopt.take_rest(options.files);
    if (options.action != Action::kRun) return options;
    if (formats > 1) return usage_error<AnalyseOptions>("--report, --record, --json and --brief exclude each other");
    if (options.follow_links && !options.recursive) {
        return usage_error<AnalyseOptions>("-L follows links to folders in a walk: it goes with -r");
    }
    if (!options.brief_format.empty() && options.format != Format::kBrief) {
        return usage_error<AnalyseOptions>("--format is the template of --brief");
    }
    if (options.force && options.save_cover.empty()) return usage_error<AnalyseOptions>("--force goes with --save-cover");
    if (!options.save_cover.empty() && (options.files.size() != 1 || options.recursive)) {
        return usage_error<AnalyseOptions>("--save-cover takes the picture of one file");
    }
    if (options.exact && (options.format == Format::kReport || options.format == Format::kRecord)) {
        return usage_error<AnalyseOptions>("--exact goes with the readable block and --json only");
    }
    if (options.files.empty()) return usage_error<AnalyseOptions>("no file given");
    return options;
}

bool is_tag_key(std::string_view name) {
    for (int32_t i = 0; const char* key = velkor_key_name(i); ++i) {
        if (name == key) return true;
    }
    return false;
}

namespace {

bool is_frame_id(std::string_view id) {
    return id.size() == 4 && id.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789") == std::string_view::npos;
}

// "TIT2", "TXXX:description" (any description, "" included) or a key
// ("TITLE").
bool is_frame_name(std::string_view id) {
    return is_frame_id(id) || (id.size() > 4 && id.substr(0, 5) == "TXXX:") || is_tag_key(id);
}

// "3" or "3/12": a number, and the count behind a slash.
bool is_number_of(std::string_view text) {
    const std::size_t slash = text.find('/');
    const auto digits = [](std::string_view part) {
        return !part.empty() && part.size() <= 9 && part.find_first_not_of("0123456789") == std::string_view::npos;
    };
    return digits(text.substr(0, slash)) && (slash == std::string_view::npos || digits(text.substr(slash + 1)));
}

bool add_tag_kinds(std::string_view list, unsigned& kinds) {
    while (true) {
        const std::size_t comma = list.find(',');
        const std::string_view word = list.substr(0, comma);
        if (word == "v1") {
            kinds |= kTagId3v1;
        } else if (word == "v2") {
            kinds |= kTagId3v2;
        } else if (word == "ape") {
            kinds |= kTagApev2;
        } else if (word == "all") {
            kinds |= kTagId3v1 | kTagId3v2 | kTagApev2;
        } else {
            return false;
        }
        if (comma == std::string_view::npos) return true;
        list.remove_prefix(comma + 1);
    }
}

}  // namespace

TagOptions parse_tag_options(const std::vector<std::string>& args) {
    enum : int {
        kYear = 256, kComposer, kSet, kRemove, kCover, kRemoveCover, kRemoveTags, kId3v2Version, kId3v1,
        kDryRun, kBreakLinks, kPreserveTimes, kYes, kCommentLang, kCommentDesc
    };
    static const option kLongOptions[] = {
        {"title", required_argument, nullptr, 't'},
        {"artist", required_argument, nullptr, 'a'},
        {"album", required_argument, nullptr, 'A'},
        {"album-artist", required_argument, nullptr, 'b'},
        {"date", required_argument, nullptr, 'y'},
        {"year", required_argument, nullptr, kYear},
        {"track", required_argument, nullptr, 'n'},
        {"disc", required_argument, nullptr, 'd'},
        {"genre", required_argument, nullptr, 'g'},
        {"comment", required_argument, nullptr, 'c'},
        {"comment-lang", required_argument, nullptr, kCommentLang},
        {"comment-desc", required_argument, nullptr, kCommentDesc},
        {"composer", required_argument, nullptr, kComposer},
        {"set", required_argument, nullptr, kSet},
        {"remove", required_argument, nullptr, kRemove},
        {"cover", required_argument, nullptr, kCover},
        {"remove-cover", no_argument, nullptr, kRemoveCover},
        {"remove-tags", required_argument, nullptr, kRemoveTags},
        {"id3v2-version", required_argument, nullptr, kId3v2Version},
        {"id3v1", required_argument, nullptr, kId3v1},
        {"dry-run", no_argument, nullptr, kDryRun},
        {"break-links", no_argument, nullptr, kBreakLinks},
        {"preserve-times", no_argument, nullptr, kPreserveTimes},
        {"yes", no_argument, nullptr, kYes},
        {"help", no_argument, nullptr, 'h'},
        {nullptr, 0, nullptr, 0},
    };
    TagOptions options;
    int changes = 0;
    bool needs_id3v2 = false;  // an option the ID3v1 form has not
    std::string id3v2_option;
    const auto id3v2_only = [&](const char* name) {
        needs_id3v2 = true;
        if (id3v2_option.empty()) id3v2_option = name;
    };
    Getopt getopt(args, "-:ht:a:A:b:y:n:d:g:c:", kLongOptions);
    for (int c; (c = getopt.next()) != -1;) {
        std::optional<std::string>* field = nullptr;
        const std::string value = optarg ? optarg : "";
        switch (c) {
            case kOperand: options.files.push_back(value); continue;
            case 't': field = &options.title; break;
            case 'a': field = &options.artist; break;
            case 'A': field = &options.album; break;
            case 'y':
            case kYear: field = &options.year; break;
            case 'n': field = &options.track; break;
            case 'g': field = &options.genre; break;
            case 'c': field = &options.comment; break;
            case 'b': field = &options.album_artist, id3v2_only("--album-artist"); break;
            case 'd': field = &options.disc, id3v2_only("--disc"); break;
            case kComposer: field = &options.composer, id3v2_only("--composer"); break;
            case kCommentLang:
                if (value.size() != 3 || value.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ") !=
                                             std::string::npos) {
                    return usage_error<TagOptions>("--comment-lang takes three letters such as eng, not '" + value + "'");
                }
                options.comment_language = value;
                id3v2_only("--comment-lang");
                continue;
            case kCommentDesc: options.comment_description = value, id3v2_only("--comment-desc"); continue;
            case kSet: {
                const std::size_t equals = value.find('=');
                if (equals == std::string::npos || !is_frame_name(std::string_view(value).substr(0, equals))) {
                    return usage_error<TagOptions>("--set takes ID=VALUE (a frame id such as TIT2, TXXX:NAME, or a key such as TITLE), not '" +
                                                   value + "'");
                }
                options.frames.push_back({value.substr(0, equals), value.substr(equals + 1)});
                ++changes;
                id3v2_only("--set");
                continue;
            }
            case kRemove:
                if (!is_frame_name(value)) {
                    return usage_error<TagOptions>("--remove takes a frame id such as TCOM, TXXX:NAME, or a key such as TITLE, not '" +
                                                   value + "'");
                }
                options.frames.push_back({value, std::nullopt});
                ++changes;
                id3v2_only("--remove");
                continue;
            case kCover: options.cover = value, ++changes, id3v2_only("--cover"); continue;
            case kRemoveCover: options.remove_cover = true, ++changes, id3v2_only("--remove-cover"); continue;
            case kRemoveTags:
                if (!add_tag_kinds(value, options.remove_tags)) {
                    return usage_error<TagOptions>("--remove-tags takes v1, v2, ape or all (several with commas), not '" +
                                                   value + "'");
                }
                ++changes;
                id3v2_only("--remove-tags");
                continue;
            case kId3v2Version:
                if (value != "3" && value != "4") {
                    return usage_error<TagOptions>("--id3v2-version takes 3 or 4, not '" + value + "'");
                }
                // A change of its own: an existing tag is converted.
                options.id3v2_version = value[0] - '0';
                ++changes;
                id3v2_only("--id3v2-version");
                continue;
            case kId3v1:
                if (value == "keep") {
                    options.id3v1 = Id3v1Mode::kKeep;
                } else if (value == "add") {
                    options.id3v1 = Id3v1Mode::kAdd;
                } else if (value == "remove") {
                    options.id3v1 = Id3v1Mode::kRemove;
                } else if (value == "only") {
                    options.id3v1 = Id3v1Mode::kOnly;
                } else {
                    return usage_error<TagOptions>("--id3v1 takes keep, add, remove or only, not '" + value + "'");
                }
                continue;
            case kDryRun: options.dry_run = true, id3v2_only("--dry-run"); continue;
            case kBreakLinks: options.break_links = true, id3v2_only("--break-links"); continue;
            case kPreserveTimes: options.preserve_times = true, id3v2_only("--preserve-times"); continue;
            case kYes: options.assume_yes = true; continue;
            case 'h': options.action = Action::kHelp; continue;
            case ':': {
                const option* named = getopt.long_option(optopt);
                return usage_error<TagOptions>("option '--" + std::string(named ? named->name : "?") + "' needs a value");
            }
            default: return usage_error<TagOptions>(getopt.refusal(" for 'velkor tag'"));
        }
        *field = value;
        ++changes;
    }
    getopt.take_rest(options.files);
    if (options.action == Action::kHelp) return options;
    if (options.files.empty()) return usage_error<TagOptions>("'velkor tag' needs a file");
    if (std::find(options.files.begin(), options.files.end(), "-") != options.files.end()) {
        return usage_error<TagOptions>("standard input ('-') cannot be tagged: name a file");
    }
    if ((options.comment_language != "eng" || !options.comment_description.empty()) && !options.comment) {
        return usage_error<TagOptions>("--comment-lang and --comment-desc name the comment of --comment TEXT");
    }
    const bool only = options.id3v1 == Id3v1Mode::kOnly;
    if (only && needs_id3v2) {
        return usage_error<TagOptions>(id3v2_option + " does not go with --id3v1 only, which writes the ID3v1 tag alone");
    }
    if ((options.remove_tags & kTagId3v1) && options.id3v1 != Id3v1Mode::kKeep && options.id3v1 != Id3v1Mode::kRemove) {
        return usage_error<TagOptions>("--remove-tags v1 and --id3v1 add or only exclude each other");
    }
    if (!only) {
        for (const auto* number : {&options.track, &options.disc}) {
            if (*number && !(*number)->empty() && **number != "n/a" && !is_number_of(**number)) {
                return usage_error<TagOptions>(std::string(number == &options.track ? "--track" : "--disc") +
                                               " takes a number, or N/TOTAL such as 3/12, not '" + **number + "'");
            }
        }
    }
    if (options.id3v1 == Id3v1Mode::kAdd || options.id3v1 == Id3v1Mode::kRemove) ++changes;
    if (changes == 0) return usage_error<TagOptions>("'velkor tag' needs at least one change, such as --title");
    return options;
}

}  // namespace velkor::cli
