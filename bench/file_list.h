/*
 * What the C benchmark loops share: the list of files to visit (one path a
 * line, read once into memory before any timing), the clock and the floor's
 * reads of one file.
 */
#ifndef VELKOR_BENCH_FILE_LIST_H
#define VELKOR_BENCH_FILE_LIST_H

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

typedef struct FileList {
    char *text;   /* the whole list, newlines turned into zero bytes */
    char **paths;
    size_t count;
} FileList;

/* Reads the list at path; exits with a message when it cannot. */
static inline FileList file_list_read(const char *path) {
    FileList list = {NULL, NULL, 0};
    FILE *in = fopen(path, "rb");
    if (in == NULL) {
        fprintf(stderr, "cannot open the file list %s\n", path);
        exit(2);
    }
    long size = -1;
    if (fseek(in, 0, SEEK_END) == 0) size = ftell(in);
    list.text = size >= 0 ? malloc((size_t)size + 1) : NULL;
    if (list.text == NULL || fseek(in, 0, SEEK_SET) != 0 ||
        fread(list.text, 1, (size_t)size, in) != (size_t)size) {
        fprintf(stderr, "cannot read the file list %s\n", path);
        exit(2);
    }
    fclose(in);
    list.text[size] = '\0';

    size_t lines = 1;
    for (long i = 0; i < size; ++i) lines += list.text[i] == '\n';
    list.paths = malloc(lines * sizeof *list.paths);
    if (list.paths == NULL) exit(2);
    for (char *line = list.text; *line != '\0';) {
        char *end = strchr(line, '\n');
        if (end != NULL) *end = '\0';
        if (*line != '\0') list.paths[list.count++] = line;
        if (end == NULL) break;
        line = end + 1;
    }
    if (list.count == 0) {
        fprintf(stderr, "the file list %s is empty\n", path);
        exit(2);
    }
    return list;
}

static inline double seconds_now(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)now.tv_sec + (double)now.tv_nsec * 1e-9;
}

/* Passes over the list: the second argument, at least 1 (default 3). */
static inline int pass_count(int argc, char **argv) {
    int passes = argc > 2 ? atoi(argv[2]) : 3;
    return passes < 1 ? 1 : passes;
}

/* The first frame, right behind the ID3v2 tag the head begins with,
 * carries a VBR header at one of the places encoders put it: the stream's
 * figures need no frames sampled. */
static inline int floor_has_vbr_header(const unsigned char *head, size_t size) {
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

/* The floor: the least any tool must do per file to learn what velkor
 * learns (open, size, the first 4 KiB, the last 128 bytes, close). With
 * needs, the reads a file's figures need: the first 4 KiB, then, when the
 * frame behind the ID3v2 tag holds a VBR header (Xing, Info, VBRI), the
 * last 256 bytes; else a 3,840-byte window in the middle and the last
 * 4 KiB, where frames are sampled. Returns the bytes read, so that the
 * reads are not thought useless. */
static inline unsigned long floor_read(const char *path, int needs) {
    unsigned char head[4096], middle[3840];
    unsigned long got = 0;
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    struct stat info;
    if (fstat(fd, &info) == 0) {
        const ssize_t read = pread(fd, head, sizeof head, 0);
        got += (unsigned long)read;
        off_t tail = needs ? 256 : 128;
        if (needs && read > 0 && !floor_has_vbr_header(head, (size_t)read)) {
            got += (unsigned long)pread(fd, middle, sizeof middle, info.st_size / 2);
            tail = 4096;
        }
        if (info.st_size >= tail) got += (unsigned long)pread(fd, head, (size_t)tail, info.st_size - tail);
    }
    close(fd);
    return got;
}

#endif
