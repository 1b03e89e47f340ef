/*
 * velkor_facts: every fact of each file named, through velkor's own
 * interface: texts whole and in UTF-8, figures as numbers.
 *
 *   cc velkor_facts.c -lvelkor -o velkor_facts && ./velkor_facts song.mp3
 */
#include <stdio.h>

#include <velkor.h>

int main(int argc, char **argv) {
    int failures = 0;
    for (int i = 1; i < argc; ++i) {
        velkor_file *file;
        int32_t status = velkor_open(argv[i], VELKOR_OPEN_COUNT_FRAMES, &file);
        if (status != VELKOR_OK) {
            fprintf(stderr, "%s: %s\n", argv[i], velkor_status_text(status));
            ++failures;
            continue;
        }
        velkor_file_facts facts;
        facts.size = sizeof facts; /* the record's size, so newer libraries stay compatible */
        velkor_facts(file, &facts);
        printf("%s\n", argv[i]);
        printf("  %s, %d Hz, %s, %d kbit/s\n", velkor_text(file, VELKOR_STREAM_VERSION),
               (int)facts.sampling_rate_hz, velkor_text(file, VELKOR_STREAM_MODE), (int)facts.bitrate_kbps);
        printf("  %lld frames, %lld.%03lld s\n", (long long)facts.frames,
               (long long)(facts.duration_ms / 1000), (long long)(facts.duration_ms % 1000));
        if (facts.id3v2_version != 0) {
            printf("  ID3v2.%d: %s / %s / %s\n", (int)facts.id3v2_version, velkor_text(file, VELKOR_ID3V2_TITLE),
                   velkor_text(file, VELKOR_ID3V2_ARTIST), velkor_text(file, VELKOR_ID3V2_ALBUM));
        }
        for (int32_t p = 0; p < facts.picture_count; ++p) {
            velkor_picture_info picture;
            picture.size = sizeof picture;
            velkor_picture(file, p, &picture);
            printf("  picture %d: type %d, %s, %d bytes\n", (int)p, (int)picture.type,
                   velkor_picture_text(file, p, VELKOR_PICTURE_MIME), (int)picture.bytes);
        }
        if (facts.id3v1 != 0) printf("  ID3v1: %s\n", velkor_text(file, VELKOR_ID3V1_TITLE));
        velkor_close(file);
    }
    return failures == 0 ? 0 : 1;
}
