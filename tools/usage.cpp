// Help and version texts.
#include "usage.h"

#include <cstdio>

#include "cli_options.h"
#include "standard_output.h"
#include "velkor.h"

namespace velkor::cli {

void print_help() {
    write_stdout(
        "Usage: velkor [OPTION]... FILE...\n"
        "       velkor tag FILE [FIELD OPTION]... [--yes]\n"
        "\n"
        "Shows the technical facts of MPEG audio files (.mp3): version and layer,\n"
        "bitrate (VBR marked), sampling rate, channel mode, playing time, size\n"
        "(kB and MB of 1000 bytes), frame count (marked where estimated), and\n"
        "the ID3v2 and ID3v1 tags. 'velkor tag' rewrites a file's\n"
        "ID3v1 tag (see 'velkor tag --help').\n"
        "\n"
        "Options:\n"
        "  --report         print the library's raw report, items closed by \"<sep>\"\n"
        "                   (file name in front when there are several files)\n"
        "  --record         print the fields of the library's fixed-field record\n"
        "  --json           print one JSON object per file and line (JSON Lines),\n"
        "                   every figure, tag and frame; a failed file with its\n"
        "                   status (the layout: doc/json.md, velkor(1))\n"
        "  --exact          count every frame: exact frames, length and average\n"
        "                   bitrate for files without a VBR header (reads them whole)\n"
        "  -v, --all        list every frame of the ID3v2 tag (id, what it is,\n"
        "                   value); with -r, name what the walk skips\n"
        "                   (--verbose is the same)\n"
        "  -r, --recursive  walk directories, in sorted order; inside them only\n"
        "                   .mp3, .mp2, .mp1 and .mpga files are taken. A progress\n"
        "                   line (when stderr is a terminal) and a summary of\n"
        "                   files analysed, failed and their playing time go\n"
        "                   to stderr; Ctrl-C stops the walk with the summary\n"
        "  -L, --follow-links  with -r, walk into the folders links lead to too,\n"
        "                   never into a folder the walk is in already (a loop)\n"
        "  -j, --jobs N     analyse up to N files at once (1 to 256; default 16):\n"
        "                   a disk serves many reads at once; the output keeps\n"
        "                   its order whatever N is, and -j 1 takes one file after\n"
        "                   the other\n"
        "  -h, --help       show this help and exit\n"
        "  -V, --version    show the version and exit\n"
        "  --               end of options: every later argument is a file\n"
        "\n"
        "FILE '-' is standard input; it and a pipe (FIFO) named as FILE are read\n"
        "whole (up to 1 GiB) and analysed like a file. A walk passes over links to\n"
        "folders (without -L), FIFOs, sockets and broken links: the summary counts\n"
        "them, -v names them.\n"
        "\n"
        "Tag texts are shown as UTF-8 (ID3v1 tags hold Latin-1, ID3v2 tags any of\n"
        "their encodings); control characters are shown as escapes such as \\n.\n"
        "\n"
        "Examples:\n"
        "  velkor song.mp3                    readable facts of one file\n"
        "  velkor --report song.mp3           song.mp3's \"<sep>\" report\n"
        "  velkor --record a.mp3 b.mp3        the record's fields of two files\n"
        "  velkor --json -r ~/Music > all.jsonl   every file below ~/Music\n"
        "  curl -s URL | velkor -             a stream from standard input\n"
        "  velkor tag song.mp3 --title \"Blue\" --track 3\n"
        "\n"
        "Exit status: 0 when every file was analysed, 1 when a file could not be\n"
        "analysed (or its tag not written) or the output could not be written,\n"
        "2 for a wrong option or argument. When the reader of the output goes\n"
        "away (velkor ... | head) velkor stops quietly, ended by SIGPIPE (141 in\n"
        "the shell), and Ctrl-C ends it by SIGINT (130).\n");
}

void print_tag_help() {
    write_stdout(
        "Usage: velkor tag FILE [FIELD OPTION]... [--yes]\n"
        "\n"
        "Changes the given fields of FILE's ID3v1 tag and writes the tag: it\n"
        "replaces the last 128 bytes when the file ends in an ID3v1 tag and is\n"
        "appended otherwise. Fields not given keep their value; the text \"n/a\"\n"
        "also leaves a field as it is.\n"
        "\n"
        "Field options (at least one; --year=1998 works as well as --year 1998):\n"
        "  --title T     title, at most 30 characters (longer texts are cut)\n"
        "  --artist A    artist, at most 30 characters\n"
        "  --album B     album, at most 30 characters\n"
        "  --year Y      year from 1000 to 3000; another year is refused and the\n"
        "                old year stays\n"
        "  --comment C   comment, at most 30 characters (28 with a track)\n"
        "  --track N     track 1 to 255 (ID3v1.1), or 'none' to remove it (ID3v1.0);\n"
        "                another number is refused\n"
        "  --genre G     genre name (letter case ignored) or number 0 to 125; an\n"
        "                unknown name asks whether to store \"not supported\"\n"
        "Other options:\n"
        "  -y, --yes     answer Yes to that question without asking\n"
        "  -h, --help    show this help and exit\n"
        "\n"
        "The question is asked on the terminal (y/N). Without a terminal on\n"
        "standard input the answer is No unless --yes is given. Texts are taken\n"
        "as UTF-8 and stored as Latin-1; letters beyond Latin-1 become '?'.\n"
        "\n"
        "Example:\n"
        "  velkor tag song.mp3 --artist \"Nina\" --year 1962 --genre jazz\n"
        "\n"
        "A tag not written leaves the file as it was (old bytes, never part of a\n"
        "tag); the reason is told: no space left (disk full or file size limit),\n"
        "not a regular file, read-only file system, permission denied, ...\n"
        "\n"
        "Exit status: 0 when the tag was written with every change asked for, 1\n"
        "when a change was refused or the tag not written, 2 for a wrong option.\n");
}

// The library's own number: the command is a thin layer over the library it
// loads, which may be newer than the one it was built with.
void print_version() {
    write_stdout("velkor ");
    write_stdout(velkor_version());
    write_stdout("\n");
}

int usage_error(const std::string& message, bool tag_command) {
    std::fprintf(stderr, "velkor: %s\nTry 'velkor %s--help' for more information.\n",
                 message.c_str(), tag_command ? "tag " : "");
    return kExitUsage;
}

}  // namespace velkor::cli
