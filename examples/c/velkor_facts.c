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
        VkFile *file;
        int32_t status = VkFileOpen(argv[i], VK_OPEN_COUNT_FRAMES, &file);
        if (status != VK_OK) {
            fprintf(stderr, "%s: %s\n", argv[i], VkStatusText(status));
            ++failures;
            continue;
        }
        VkFacts facts;
        facts.size = sizeof facts; /* the record's size, so newer libraries stay compatible */
        VkFileFacts(file, &facts);
        printf("%s\n", argv[i]);
        printf("  %s, %d Hz, %s, %d kbit/s\n", VkFileText(file, VK_STREAM_VERSION),
               (int)facts.sampling_rate_hz, VkFileText(file, VK_STREAM_MODE), (int)facts.bitrate_kbps);
        printf("  %lld frames, %lld.%03lld s\n", (long long)facts.frames,
               (long long)(facts.duration_ms / 1000), (long long)(facts.duration_ms % 1000));
        if (facts.id3v2_version != 0) {
            printf("  ID3v2.%d: %s / %s / %s\n", (int)facts.id3v2_version, VkFileText(file, VK_ID3V2_TITLE),
                   VkFileText(file, VK_ID3V2_ARTIST), VkFileText(file, VK_ID3V2_ALBUM));
        }
        for (int32_t p = 0; p < facts.picture_count; ++p) {
            VkPicture picture;
            picture.size = sizeof picture;
            VkFilePicture(file, p, &picture);
            printf("  picture %d: type %d, %s, %d bytes\n", (int)p, (int)picture.type,
                   VkFilePictureText(file, p, VK_PICTURE_MIME), (int)picture.bytes);
        }
        if (facts.id3v1 != 0) printf("  ID3v1: %s\n", VkFileText(file, VK_ID3V1_TITLE));
        VkFileClose(file);
    }
    return failures == 0 ? 0 : 1;
}
