/*
 * The floor, both analysis exports and velkor's own interface over the same
 * files from one process, as an application calls them. The ways take
 * turns over blocks of 256 files, each block started by the next way in
 * turn, so that a machine busy for a moment slows all of them alike; a pass
 * is the whole list, and the best of several passes is printed, in files
 * per second. The own interface's loop uses the public header only.
 * With --only NAME just that way runs (for a profile of it).
 *
 * usage: velkor_export_bench [--only NAME] FILE_LIST [PASSES]
 */
#define _GNU_SOURCE
#include <velkor.h>
#include <velkor_analysis.h>

#include "file_list.h"

static unsigned long checksum; /* keeps the calls from being thought useless */

static void open_mp3_file(const char *path) {
    char report[VELKOR_REPORT_SIZE];
    checksum += (unsigned long)VkOpenMp3File(path, report, 0) + (unsigned char)report[0];
}

static void get_sonvex_struct(const char *path) {
    velkor_info_record record;
    VkGetSonvexStruct(path, &record);
    checksum += (unsigned char)record.status[0];
}

/* What a player's library view asks of a file through the own interface:
 * open, the stream's figures, the tag's numbers, the merged title, artist
 * and album, close. */
static void file_open(const char *path) {
    velkor_file *file;
    if (velkor_open(path, 0, &file) != VELKOR_OK) return;
    velkor_file_facts facts;
    facts.size = sizeof facts;
    velkor_facts(file, &facts);
    velkor_tag_facts_info tags;
    tags.size = sizeof tags;
    velkor_tag_facts(file, &tags);
    checksum += (unsigned long)facts.frames + (unsigned long)tags.track;
    static const char *const keys[] = {"TITLE", "ARTIST", "ALBUM"};
    for (size_t i = 0; i < sizeof keys / sizeof *keys; ++i) {
        const char *value = velkor_tag_value(file, keys[i], 0);
        if (value != NULL) checksum += (unsigned char)value[0];
    }
    velkor_close(file);
}

static const char *only; /* --only NAME: that way alone */

static void floor_loop(const char *path) { checksum += floor_read(path, 0); }
/* The same with the reads velkor_open makes of the file. */
static void floor_needs_loop(const char *path) { checksum += floor_read(path, 1); }

typedef struct Way {
    const char *name;
    void (*analyse)(const char *);
    double best, pass;
} Way;

static void measure(Way *ways, size_t count, const FileList *list, int passes) {
    enum { kBlock = 256 };
    for (int pass = 0; pass < passes; ++pass) {
        for (size_t w = 0; w < count; ++w) ways[w].pass = 0;
        for (size_t first = 0, block = 0; first < list->count; first += kBlock, ++block) {
            const size_t end = first + kBlock < list->count ? first + kBlock : list->count;
            for (size_t turn = 0; turn < count; ++turn) {
                Way *way = &ways[(block + turn) % count];
                const double start = seconds_now();
                for (size_t i = first; i < end; ++i) way->analyse(list->paths[i]);
                way->pass += seconds_now() - start;
            }
        }
        for (size_t w = 0; w < count; ++w) {
            if (ways[w].pass > 0 && (ways[w].best == 0 || ways[w].pass < ways[w].best)) ways[w].best = ways[w].pass;
        }
    }
    for (size_t w = 0; w < count; ++w) {
        printf("%s files=%zu seconds=%.6f files_per_s=%.1f\n", ways[w].name, list->count, ways[w].best,
               (double)list->count / ways[w].best);
    }
}

static int VELKOR_CALL quiet_notice(const char *text, const char *caption, uint32_t style,
                                void *context) {
    (void)text, (void)caption, (void)style, (void)context;
    return VELKOR_ANSWER_OK;
}

int main(int argc, char **argv) {
    if (argc > 3 && strcmp(argv[1], "--only") == 0) {
        only = argv[2];
        argc -= 2;
        argv += 2;
    }
    if (argc < 2) {
        fprintf(stderr, "usage: %s [--only NAME] FILE_LIST [PASSES]\n", argv[0]);
        return 2;
    }
    /* A file that vanished would otherwise print a line per call. */
    velkor_set_notice_handler(quiet_notice, NULL);
    FileList list = file_list_read(argv[1]);
    const int passes = pass_count(argc, argv);
    Way all[] = {{"floor", floor_loop, 0, 0},
                 {"floor_needs", floor_needs_loop, 0, 0},
                 {"VkOpenMp3File", open_mp3_file, 0, 0},
                 {"VkGetSonvexStruct", get_sonvex_struct, 0, 0},
                 {"velkor_open", file_open, 0, 0}};
    Way ways[sizeof all / sizeof *all];
    size_t count = 0;
    for (size_t w = 0; w < sizeof all / sizeof *all; ++w) {
        if (only == NULL || strcmp(only, all[w].name) == 0) ways[count++] = all[w];
    }
    measure(ways, count, &list, passes);
    if (checksum == 1) puts("");
    free(list.paths);
    free(list.text);
    return 0;
}
