/*
 * The floor: the least any tool must do per file to learn what velkor
 * learns (open, size, the first 4 KiB, the last 128 bytes, close), in a
 * plain C loop. Prints the best of several passes as files per second.
 *
 * usage: velkor_floor FILE_LIST [PASSES]
 */
#define _FILE_OFFSET_BITS 64
#define _GNU_SOURCE
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "file_list.h"

int main(int argc, char **argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: %s FILE_LIST [PASSES]\n", argv[0]);
        return 2;
    }
    FileList list = file_list_read(argv[1]);
    const int passes = pass_count(argc, argv);
    static unsigned char head[4096], tail[128];
    unsigned long checksum = 0; /* keeps the reads from being thought useless */
    double best = 0;
    for (int pass = 0; pass < passes; ++pass) {
        const double start = seconds_now();
        for (size_t i = 0; i < list.count; ++i) {
            const int fd = open(list.paths[i], O_RDONLY | O_CLOEXEC);
            if (fd < 0) continue;
            struct stat info;
            if (fstat(fd, &info) == 0) {
                checksum += (unsigned long)pread(fd, head, sizeof head, 0);
                if (info.st_size >= (off_t)sizeof tail) {
                    checksum += (unsigned long)pread(fd, tail, sizeof tail, info.st_size - (off_t)sizeof tail);
                }
            }
            close(fd);
        }
        const double elapsed = seconds_now() - start;
        if (elapsed > 0 && (best == 0 || elapsed < best)) best = elapsed;
    }
    printf("floor files=%zu seconds=%.6f files_per_s=%.1f check=%lu\n", list.count, best,
           (double)list.count / best, checksum % 10);
    free(list.paths);
    free(list.text);
    return 0;
}
