/*
 * velkor from C: analyses each file named on the command line with both
 * analysis exports and prints what they return.
 *
 *   cc velkor_info.c $(pkg-config --cflags --libs velkor) -o velkor_info
 *   ./velkor_info song.mp3
 *
 * velkor.h declares every export with VELKOR_CALL, the calling convention the
 * library uses: __stdcall on 32-bit Windows, the C default (cdecl)
 * elsewhere. A callback handed to the library uses it too.
 */
#include <stdio.h>
#include <string.h>

#include <velkor_analysis.h>

#if !defined(_WIN32)
/* Receives the library's notices (on Windows they are message boxes).
 * context points to a flag that is 0 at the start of each file: both exports
 * tell of the same failed file, which is shown once. */
static int32_t VELKOR_CALL print_notice(const char *text, const char *caption, uint32_t style,
                                    void *context) {
    int *shown = context;
    (void)style;
    if (*shown) return VELKOR_ANSWER_OK;
    *shown = 1;
    printf("  notice: %s: ", caption);
    for (; *text; ++text) putchar(*text == '\n' ? ' ' : *text);
    putchar('\n');
    return VELKOR_ANSWER_OK;
}
#endif

/* Whether the file at hand has had its notice shown. */
static int notice_shown;

/* The report's items, in the order the library writes them. */
static const char *const report_items[] = {
    "status", "version", "bitrate", "frequency", "length", "size",  "mode",  "title",
    "artist", "album",   "genre",   "comment",   "frames", "year",  "track",
};

static void print_report(const char *path) {
    /* The caller owns the buffer; VELKOR_REPORT_SIZE bytes hold any report. */
    char report[VELKOR_REPORT_SIZE];
    int32_t ok = VkOpenMp3File(path, report, 0);
    printf("  VkOpenMp3File: %d\n", (int)ok);
    if (!ok) {
        printf("    %s\n", report);
        return;
    }
    /* Every item, the first included, is closed by "<sep>". */
    const char *item = report;
    const char *end;
    size_t n = 0;
    while ((end = strstr(item, "<sep>")) != NULL) {
        const char *label = n < sizeof report_items / sizeof *report_items ? report_items[n] : "?";
        printf("    %s=%.*s\n", label, (int)(end - item), item);
        item = end + 5;
        ++n;
    }
}

/* Returns 1 when the file was analysed. */
static int print_record(const char *path) {
    /* 363 bytes of fixed-width fields, each zero-terminated. On failure only
     * status changes, so the record starts out empty. */
    velkor_info_record r;
    memset(&r, 0, sizeof r);
    VkGetSonvexStruct(path, &r);
    printf("  VkGetSonvexStruct:\n    status=%s\n", r.status);
    if (strcmp(r.status, "Success") != 0) return 0;
    printf("    track=%s\n    year=%s\n    bitrate=%s\n    size=%s\n    frequency=%s\n"
           "    length=%s\n    frames=%s\n    album=%s\n    artist=%s\n    comment=%s\n"
           "    genre=%s\n    mode=%s\n    version=%s\n    title=%s\n",
           r.track, r.year, r.bitrate, r.size, r.frequency, r.length, r.frames, r.album,
           r.artist, r.comment, r.genre, r.mode, r.version, r.title);
    return 1;
}

int main(int argc, char **argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: %s FILE...\n", argv[0]);
        return 2;
    }
#if !defined(_WIN32)
    velkor_set_notice_handler(print_notice, &notice_shown);
#endif
    int failed = 0;
    for (int i = 1; i < argc; ++i) {
        notice_shown = 0;
        printf("%s\n", argv[i]);
        print_report(argv[i]);
        if (!print_record(argv[i])) failed = 1;
    }
    return failed;
}
