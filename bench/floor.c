/*
 * The floor: the least any tool must do per file to learn what velkor
 * learns (open, size, the first 4 KiB, the last 128 bytes, close), in a
 * plain C loop. Prints the best of several passes as files per second.
 *
 * usage: velkor_floor [--needs] FILE_LIST [PASSES]
 *        velkor_floor --walk DIR [PASSES]
 *        velkor_floor [--needs] --threads N FILE_LIST [PASSES]
 *
 * With --walk the files are not listed beforehand but found as a directory
 * walk finds them (opendir and readdir, the types from the listing, every
 * *.mp3): the floor of a command that is handed a folder. With --threads
 * the listed files are read by N threads at once, each taking the next
 * file: what a disk can serve when it is kept busy. With --needs each file
 * gets the reads its figures need: the first 4 KiB, then, when the frame
 * behind the ID3v2 tag holds a VBR header (Xing, Info, VBRI), the last 256
 * bytes; else a 3,840-byte window in the middle and the last 4 KiB, where
 * frames are sampled.
 */
#define _FILE_OFFSET_BITS 64
#define _GNU_SOURCE
#include <dirent.h>
#include <pthread.h>
#include <stdatomic.h>

#include "file_list.h"

static _Atomic unsigned long checksum; /* keeps the reads from being thought useless */

static int needs; /* --needs: the reads each file's figures need */

static void read_floor(const char *path) { checksum += floor_read(path, needs); }

static int is_mp3(const char *name) {
    const size_t length = strlen(name);
    return length > 4 && strcmp(name + length - 4, ".mp3") == 0;
}

/* Visits every *.mp3 below dir; returns how many. */
static size_t walk(const char *dir) {
    DIR *listing = opendir(dir);
    if (listing == NULL) return 0;
    size_t files = 0;
    char path[4096];
    for (struct dirent *entry; (entry = readdir(listing)) != NULL;) {
        if (entry->d_name[0] == '.') continue;
        snprintf(path, sizeof path, "%s/%s", dir, entry->d_name);
        if (entry->d_type == DT_DIR) {
            files += walk(path);
        } else if (entry->d_type == DT_REG && is_mp3(entry->d_name)) {
            read_floor(path);
            ++files;
        }
    }
    closedir(listing);
    return files;
}

static FileList shared_list;
static atomic_size_t next_file;

static void *read_files(void *unused) {
    (void)unused;
    for (size_t i; (i = atomic_fetch_add(&next_file, 1)) < shared_list.count;) read_floor(shared_list.paths[i]);
    return NULL;
}

/* The listed files read by `threads` threads at once. */
static void read_in_threads(int threads) {
    pthread_t ids[256];
    atomic_store(&next_file, 0);
    int started = 0;
    for (; started < threads && pthread_create(&ids[started], NULL, read_files, NULL) == 0; ++started) {
    }
    for (int i = 0; i < started; ++i) pthread_join(ids[i], NULL);
}

int main(int argc, char **argv) {
    const char *program = argv[0];
    int threads = 0;
    for (;;) {
        if (argc > 1 && strcmp(argv[1], "--needs") == 0) {
            needs = 1;
            argc -= 1;
            argv += 1;
        } else if (argc > 2 && strcmp(argv[1], "--threads") == 0) {
            threads = atoi(argv[2]);
            if (threads < 1 || threads > 256) threads = 1;
            argc -= 2;
            argv += 2;
        } else {
            break;
        }
    }
    const int walking = argc > 1 && strcmp(argv[1], "--walk") == 0;
    if (argc < 2 + walking) {
        fprintf(stderr, "usage: %s [--needs] FILE_LIST [PASSES]\n       %s --walk DIR [PASSES]\n"
                        "       %s [--needs] --threads N FILE_LIST [PASSES]\n", program, program, program);
        return 2;
    }
    FileList list = {NULL, NULL, 0};
    if (!walking) list = file_list_read(argv[1]);
    shared_list = list;
    const int passes = pass_count(argc - walking, argv + walking);
    size_t files = list.count;
    double best = 0;
    for (int pass = 0; pass < passes; ++pass) {
        const double start = seconds_now();
        if (walking) {
            files = walk(argv[2]);
        } else if (threads > 0) {
            read_in_threads(threads);
        } else {
            for (size_t i = 0; i < list.count; ++i) read_floor(list.paths[i]);
        }
        const double elapsed = seconds_now() - start;
        if (elapsed > 0 && (best == 0 || elapsed < best)) best = elapsed;
    }
    printf("floor files=%zu seconds=%.6f files_per_s=%.1f check=%lu\n", files, best,
           (double)files / best, atomic_load(&checksum) % 10);
    free(list.paths);
    free(list.text);
    return 0;
}
