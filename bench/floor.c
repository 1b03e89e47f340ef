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

/* The first frame, right behind the ID3v2 tag the head begins with,
 * carries a VBR header at one of the places encoders put it: the stream's
 * figures need no frames sampled. */
static int has_vbr_header(const unsigned char *head, size_t size) {
    size_t at = 0;
    if (size >= 10 && memcmp(head, "ID3", 3) == 0) {
        at = 10 + ((size_t)(head[6] & 0x7F) << 21 | (size_t)(head[7] & 0x7F) << 14 |
                   (size_t)(head[8] & 0x7F) << 7 | (size_t)(head[9] & 0x7F));
        if (head[5] & 0x10) at += 10;
    }
    static const size_t places[] = {13, 21, 36};
    for (int i = 0; i < 3; ++i) {
        const size_t mark = at + places[i];
        if (mark + 4 > size) break;
        if (memcmp(head + mark, "Xing", 4) == 0 || memcmp(head + mark, "Info", 4) == 0 ||
            memcmp(head + mark, "VBRI", 4) == 0) {
            return 1;
        }
    }
    return 0;
}

static void read_floor(const char *path) {
    unsigned char head[4096], middle[3840];
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    struct stat info;
    if (fstat(fd, &info) == 0) {
        const ssize_t got = pread(fd, head, sizeof head, 0);
        checksum += (unsigned long)got;
        off_t tail = 128;
        if (needs && got > 0 && !has_vbr_header(head, (size_t)got)) {
            checksum += (unsigned long)pread(fd, middle, sizeof middle, info.st_size / 2);
            tail = 4096;
        } else if (needs) {
            tail = 256;
        }
        if (info.st_size >= tail) checksum += (unsigned long)pread(fd, head, (size_t)tail, info.st_size - tail);
    }
    close(fd);
}

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
