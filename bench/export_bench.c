/*
 * Both analysis exports and velkor's own interface over the same files from
 * one process, as an application calls them: one way at a time over the
 * whole list, best of several passes, in files per second. With --only NAME
 * just that way runs (for a profile of it).
 *
 * usage: velkor_export_bench [--only NAME] FILE_LIST [PASSES]
 */
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

/* A handle's whole life: open, the figures, a text, close. */
static void file_open(const char *path) {
    velkor_file *file;
    if (velkor_open(path, 0, &file) != VELKOR_OK) return;
    velkor_file_facts facts;
    facts.size = sizeof facts;
    velkor_facts(file, &facts);
    checksum += (unsigned long)facts.frames + (unsigned char)velkor_text(file, VELKOR_ID3V2_TITLE)[0];
    velkor_close(file);
}

/* What an application showing a library reads of a file: the figures, the
 * common facts and the merged title, artist and album. */
static void own_interface(const char *path) {
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
    for (int i = 0; i < 3; ++i) {
        const char *value = velkor_tag_value(file, keys[i], 0);
        if (value != NULL) checksum += (unsigned char)value[0];
    }
    velkor_close(file);
}

static const char *only; /* --only NAME: that way alone */

static void measure(const char *name, void (*analyse)(const char *), const FileList *list,
                    int passes) {
    if (only != NULL && strcmp(only, name) != 0) return;
    double best = 0;
    for (int pass = 0; pass < passes; ++pass) {
        const double start = seconds_now();
        for (size_t i = 0; i < list->count; ++i) analyse(list->paths[i]);
        const double elapsed = seconds_now() - start;
        if (elapsed > 0 && (best == 0 || elapsed < best)) best = elapsed;
    }
    printf("%s files=%zu seconds=%.6f files_per_s=%.1f\n", name, list->count, best,
           (double)list->count / best);
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
    measure("VkOpenMp3File", open_mp3_file, &list, passes);
    measure("VkGetSonvexStruct", get_sonvex_struct, &list, passes);
    measure("velkor_open", file_open, &list, passes);
    measure("own_interface", own_interface, &list, passes);
    if (checksum == 1) puts("");
    free(list.paths);
    free(list.text);
    return 0;
}
