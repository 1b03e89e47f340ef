/* Kills a process that rewrites a file's ID3v1 tag over and over, at a
 * random moment, many times, and checks after each kill that the file holds
 * its old bytes or those of one whole write: never a torn tag, never bytes
 * left behind the audio. With "limited", the writer's file size limit is
 * one byte short of an appended tag, which it must refuse without dying;
 * with "full", WORK lies on a full disk, where an append must be refused.
 *
 * write_kill SOURCE WORK RUNS [limited|full]: exits 0 when every run was
 * right. */
#define _POSIX_C_SOURCE 200809L
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "velkor.h"

typedef struct {
    char *bytes;
    long size;
} Contents;

static Contents load(const char *path) {
    Contents c = {NULL, -1};
    FILE *f = fopen(path, "rb");
    if (!f) return c;
    fseek(f, 0, SEEK_END);
    c.size = ftell(f);
    fseek(f, 0, SEEK_SET);
    c.bytes = malloc((size_t)c.size + 1);
    if (fread(c.bytes, 1, (size_t)c.size, f) != (size_t)c.size) c.size = -1;
    fclose(f);
    return c;
}

static int store(const char *path, const Contents *c) {
    FILE *f = fopen(path, "wb");
    if (!f) return 0;
    const int ok = fwrite(c->bytes, 1, (size_t)c->size, f) == (size_t)c->size;
    return fclose(f) == 0 && ok;
}

static int same(const Contents *a, const Contents *b) {
    return a->size == b->size && memcmp(a->bytes, b->bytes, (size_t)a->size) == 0;
}

static int32_t write_title(const char *path, const char *title) {
    velkor_id3v1_fields tag;
    memset(&tag, 0, sizeof tag);
    tag.size = sizeof tag;
    tag.fields = VELKOR_FIELD_TITLE;
    tag.title = title;
    return velkor_write_id3v1(path, &tag);
}

/* The child: writes two titles in turn until killed; a status other than
 * success (or, when limited or full, no space) ends it with 3. */
static void write_forever(const char *path, long limit, int full) {
    signal(SIGXFSZ, SIG_DFL);
    if (limit > 0) {
        struct rlimit r = {(rlim_t)limit, (rlim_t)limit};
        if (setrlimit(RLIMIT_FSIZE, &r) != 0) _exit(4);
    }
    for (unsigned n = 0;; ++n) {
        const int32_t status = write_title(path, n % 2 ? "Second" : "First");
        if (status != VELKOR_OK && !((limit > 0 || full) && status == VELKOR_ERROR_NO_SPACE)) _exit(3);
    }
}

int main(int argc, char **argv) {
    if (argc < 4) {
        fprintf(stderr, "usage: write_kill SOURCE WORK RUNS [limited|full]\n");
        return 2;
    }
    const char *work = argv[2];
    const int runs = atoi(argv[3]);
    const int limited = argc > 4 && strcmp(argv[4], "limited") == 0;
    const int full = argc > 4 && strcmp(argv[4], "full") == 0;
    const Contents old = load(argv[1]);
    if (old.size < 0 || !store(work, &old)) return 2;
    /* The two whole writes; the second over the first is the second over
     * the old. On a full disk only the old bytes are right. */
    Contents first = old, second = old;
    if (!full) {
        if (write_title(work, "First") != VELKOR_OK) return 2;
        first = load(work);
        if (write_title(work, "Second") != VELKOR_OK) return 2;
        second = load(work);
    } else if (write_title(work, "First") != VELKOR_ERROR_NO_SPACE) {
        fprintf(stderr, "the disk is not full: the tag was written\n");
        return 2;
    }
    const long limit = limited ? old.size + 127 : 0;

    srand((unsigned)time(NULL) ^ (unsigned)getpid());
    int counts[3] = {0, 0, 0}, wrong = 0;
    for (int run = 0; run < runs && !wrong; ++run) {
        if (!store(work, &old)) return 2;
        const pid_t child = fork();
        if (child < 0) return 2;
        if (child == 0) write_forever(work, limit, full);
        const struct timespec delay = {0, (long)(rand() % 2000) * 1000L};
        nanosleep(&delay, NULL);
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        if (!WIFSIGNALED(status) || WTERMSIG(status) != SIGKILL) {
            fprintf(stderr, "run %d: the writer ended by itself (wait status %d)\n", run, status);
            wrong = 1;
        }
        const Contents now = load(work);
        if (same(&now, &old)) {
            ++counts[0];
        } else if (same(&now, &first)) {
            ++counts[1];
        } else if (same(&now, &second)) {
            ++counts[2];
        } else {
            fprintf(stderr, "run %d: %ld bytes, neither the old file (%ld) nor a whole write (%ld)\n", run,
                    now.size, old.size, first.size);
            wrong = 1;
        }
        free(now.bytes);
    }
    printf("%s%s%s: %d runs: %d old, %d first, %d second\n", argv[1], limited ? " (limited)" : "", full ? " (full disk)" : "",
           counts[0] + counts[1] + counts[2], counts[0], counts[1], counts[2]);
    if (limited && first.size > old.size && (counts[1] || counts[2])) {
        fprintf(stderr, "an append was written beyond the size limit\n");
        wrong = 1;
    }
    if (!full) {
        free(first.bytes);
        free(second.bytes);
    }
    free(old.bytes);
    return wrong;
}
