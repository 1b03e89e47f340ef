/*
 * What a file's facts cost in C, the ways a program takes them, in
 * interleaved rounds over the same files (each round runs every way once
 * over the whole list), as microseconds per file: the median round and the
 * best. The Python benchmark (json_python.py) sets velkor.read beside these.
 *
 *   floor   open, fstat, the first 4 KiB, the last 128 bytes, close
 *   facts   velkor_open, velkor_facts, velkor_tag_facts, title, artist,
 *           album, velkor_close
 *   json    velkor_open, velkor_file_json as velkor.read asks for it
 *           (the joined texts, the frames apart), velkor_close
 *
 * usage: velkor_json_cost FILE_LIST [ROUNDS]
 */
#define _FILE_OFFSET_BITS 64
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <velkor.h>

#include "file_list.h"

static unsigned long checksum; /* keeps the calls from being thought useless */

static void floor_read(const char *path) {
    unsigned char head[4096], tail[128];
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    struct stat info;
    if (fstat(fd, &info) == 0) {
        checksum += (unsigned long)pread(fd, head, sizeof head, 0);
        if (info.st_size >= (off_t)sizeof tail) {
            checksum += (unsigned long)pread(fd, tail, sizeof tail, info.st_size - (off_t)sizeof tail);
        }
    }
    close(fd);
}

static void facts(const char *path) {
    velkor_file *file;
    if (velkor_open(path, VELKOR_OPEN_WITHOUT_AUDIO, &file) == VELKOR_OK) {
        velkor_file_facts f;
        f.size = sizeof f;
        velkor_facts(file, &f);
        velkor_tag_facts_info t;
        t.size = sizeof t;
        velkor_tag_facts(file, &t);
        checksum += (unsigned long)f.frames + (unsigned long)t.track + (unsigned char)velkor_text(file, VELKOR_ID3V2_TITLE)[0] +
                    (unsigned char)velkor_text(file, VELKOR_ID3V2_ARTIST)[0] +
                    (unsigned char)velkor_text(file, VELKOR_ID3V2_ALBUM)[0];
    }
    velkor_close(file);
}

static void json(const char *path) {
    velkor_file *file;
    if (velkor_open(path, VELKOR_OPEN_WITHOUT_AUDIO, &file) == VELKOR_OK) {
        const char *text;
        size_t size;
        const uint32_t options = VELKOR_JSON_JOINED_TEXTS | VELKOR_JSON_FRAMES_APART;
        if (velkor_file_json(file, NULL, options, &text, &size) == VELKOR_OK) checksum += size;
    }
    velkor_close(file);
}

static int by_value(const void *a, const void *b) {
    const double x = *(const double *)a, y = *(const double *)b;
    return (x > y) - (x < y);
}

int main(int argc, char **argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: %s FILE_LIST [ROUNDS]\n", argv[0]);
        return 2;
    }
    FileList list = file_list_read(argv[1]);
    const int rounds = pass_count(argc, argv);
    static const char *const names[] = {"floor", "facts", "json"};
    void (*const ways[])(const char *) = {floor_read, facts, json};
    enum { kWays = 3 };
    double *taken = calloc((size_t)rounds * kWays, sizeof *taken);
    if (taken == NULL) return 2;
    for (int round = 0; round < rounds; ++round) {
        for (int way = 0; way < kWays; ++way) {
            const double start = seconds_now();
            for (size_t i = 0; i < list.count; ++i) ways[way](list.paths[i]);
            taken[way * rounds + round] = (seconds_now() - start) / (double)list.count * 1e6;
        }
    }
    for (int way = 0; way < kWays; ++way) {
        double *mine = taken + way * rounds;
        qsort(mine, (size_t)rounds, sizeof *mine, by_value);
        printf("%s files=%zu median_us=%.2f best_us=%.2f\n", names[way], list.count, mine[rounds / 2], mine[0]);
    }
    if (checksum == 1) puts("");
    free(taken);
    free(list.paths);
    free(list.text);
    return 0;
}
