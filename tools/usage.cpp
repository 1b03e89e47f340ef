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
        "       velkor tag [OPTION]... FILE...\n"
        "\n"
        "Shows the technical facts of MPEG audio files (.mp3): version and layer,\n"
        "bitrate (VBR marked), sampling rate, channel mode, playing time, size\n"
        "(kB and MB of 1000 bytes), frame count (marked where estimated), and\n"
        "the ID3v2 and ID3v1 tags. 'velkor tag' changes files' tags\n"
        "(see 'velkor tag --help').\n"
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
        "once, in bounded memory, and analysed like a file with --exact. A walk\n"
        "passes over links to folders (without -L), FIFOs, sockets and broken\n"
        "links: the summary counts them, -v names them.\n"
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
        "  velkor tag --title \"Blue\" --track 3 song.mp3\n"
        "\n"
        "Exit status: 0 when every file was analysed, 1 when a file could not be\n"
        "analysed (or its tag not written) or the output could not be written,\n"
        "2 for a wrong option or argument. When the reader of the output goes\n"
        "away (velkor ... | head) velkor stops quietly, ended by SIGPIPE (141 in\n"
        "the shell), and Ctrl-C ends it by SIGINT (130).\n");
}

void print_tag_help() {
    write_stdout(
        "Usage: velkor tag [OPTION]... FILE...\n"
        "\n"
        "Gives each FILE the changes asked for in its ID3v2 tag and saves it; an\n"
        "ID3v1 tag the file has follows the ID3v2 fields. Fields not given keep\n"
        "their value; \"n/a\" also leaves a field as it is, and \"\" clears it.\n"
        "Every frame no option changes is kept as stored (pictures included).\n"
        "\n"
        "Field options (--title=T works as well as --title T):\n"
        "  -t, --title T          title (TIT2)\n"
        "  -a, --artist A         artist (TPE1)\n"
        "  -A, --album B          album (TALB)\n"
        "  -b, --album-artist B   album artist (TPE2)\n"
        "  -y, --date D, --year D date: 2004, 2004-05-01 or 2004-05-01T12:30\n"
        "  -n, --track N          track: 3, or 3/12 with the number of tracks\n"
        "  -d, --disc N           disc: 1, or 1/2\n"
        "  -g, --genre G          genre: a name, or a number 0 to 191\n"
        "  -c, --comment C        comment (language eng, no description); as\n"
        "                         LANG:DESC:TEXT the comment of that language\n"
        "                         and description (an empty TEXT removes it)\n"
        "      --composer C       composer (TCOM)\n"
        "      --set ID=VALUE     any text frame (TIT3=Live) or link frame\n"
        "                         (WOAR=https://...); TXXX:NAME=VALUE for a text\n"
        "                         of your own; an empty VALUE removes it\n"
        "      --remove ID        removes every frame ID (or the TXXX:NAME one)\n"
        "      --cover FILE       a JPEG, PNG or GIF image as the front cover\n"
        "      --remove-cover     removes every picture\n"
        "Tags and saving:\n"
        "      --remove-tags T    removes tags: v1, v2, ape or all (several with\n"
        "                         commas); fields given make a new ID3v2 tag\n"
        "      --id3v2-version V  3 or 4: the version of the tag written; an\n"
        "                         existing tag is converted (without: it keeps\n"
        "                         its own; 2.2 becomes 2.3)\n"
        "      --id3v1 M          keep (the default: a tag the file has follows\n"
        "                         the fields), add (a file without one gets one),\n"
        "                         remove, or only: the ID3v1 tag alone is written\n"
        "                         and the ID3v2 tag left as it is\n"
        "      --dry-run          tells what would be done and the fields that\n"
        "                         would change; writes nothing\n"
        "      --break-links      a file with other hard links is replaced for\n"
        "                         this name alone (without it such a file is\n"
        "                         only changed in place, under all its names)\n"
        "      --preserve-times   the files keep their modification times\n"
        "      --yes              answer Yes to the --id3v1 only genre question\n"
        "  -h, --help             show this help and exit\n"
        "\n"
        "Each file is saved in one step: in place when the new tags fit the room\n"
        "of the old ones (the audio is not touched), otherwise as a new file\n"
        "written beside the old one and renamed over it. A file that fails keeps\n"
        "its old bytes, whatever happened (a full disk, a crash). One line per\n"
        "file tells what was written: \"song.mp3: ID3v2.3 written in place\n"
        "(4 KiB)\", \"... rewritten (4.9 MiB)\" or \"unchanged\".\n"
        "\n"
        "With --id3v1 only the fields are those of ID3v1: texts of at most 30\n"
        "characters (the comment 28 with a track) stored as Latin-1, a year from\n"
        "1000 to 3000 (a full date gives its year), a track 1 to 255 or 'none',\n"
        "a genre of the 126 known (an unknown name asks whether to store \"not\n"
        "supported\", on the terminal, or No without one unless --yes is given).\n"
        "\n"
        "Examples:\n"
        "  velkor tag --album \"Blue\" --album-artist \"Nina\" *.mp3\n"
        "  velkor tag -t \"Intro\" -n 1/12 --cover front.jpg 01.mp3\n"
        "  velkor tag --set TXXX:MOOD=calm --remove TCOP --dry-run song.mp3\n"
        "  velkor tag --id3v1 only --artist \"Nina\" --year 1962 --genre jazz old.mp3\n"
        "\n"
        "Exit status: 0 when every file was saved with every change asked for,\n"
        "1 when a file could not be saved or a change was refused (the other\n"
        "files are still tried), 2 for a wrong option.\n");
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
