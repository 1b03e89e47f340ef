/* A program built against the installed library: header, linking and
 * loading all work, and the exports answer. Exits 0 when they do. */
#include <stdio.h>
#include <string.h>

#include <velkor.h>
#include <velkor_analysis.h>

static int32_t VELKOR_CALL count_notice(const char *text, const char *caption, uint32_t style,
                                    void *context) {
    (void)text;
    (void)caption;
    (void)style;
    ++*(int *)context;
    return VELKOR_ANSWER_YES;
}

int main(void) {
    char buffer[VELKOR_REPORT_SIZE];
    int notices = 0;
    int failures = 0;

    if (AddNums(40, 2) != 42) ++failures;
    if (strcmp(velkor_version(), VELKOR_VERSION) != 0) ++failures;
    FillString(buffer, sizeof buffer);
    if (strcmp(buffer, "Hello from the C DLL!") != 0) ++failures;

    velkor_set_notice_handler(count_notice, &notices);
    if (DisplayStringByVal("installed") != VELKOR_ANSWER_YES || notices != 1) ++failures;
    /* A missing file: the analysis exports answer, with one notice each. */
    velkor_info_record record;
    memset(&record, 0, sizeof record);
    VkGetSonvexStruct("/nonexistent/velkor-consumer.mp3", &record);
    if (strcmp(record.status, "Unable to open file (2)") != 0) ++failures;
    if (VkOpenMp3File("/nonexistent/velkor-consumer.mp3", buffer, 0) != 0) ++failures;
    if (notices != 3) ++failures;
    velkor_set_notice_handler(NULL, NULL);

    printf("consumer: %s\n", failures ? "FAILED" : "ok");
    return failures ? 1 : 0;
}
