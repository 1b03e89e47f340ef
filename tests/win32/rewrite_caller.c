/*
 * Saves through velkor.dll under Wine, linked through its import library:
 * a new tag (the file replaced by a copy written beside it), a change that
 * fits the tag's padding (in place), the same change again (nothing), a
 * file other than the one opened (refused). After each the tags read back
 * and no temporary file is left in the folder.
 *
 * rewrite_caller SAMPLE: exits 0 when every step was right.
 */
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include "velkor.h"

static int faults = 0;

static void check(int ok, const char *what) {
    printf("%s %s\n", ok ? "ok    " : "FAILED", what);
    faults += !ok;
}

static int leftovers(void) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(".work.mp3.velkor-*", &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    FindClose(search);
    return 1;
}

/* Sets one field and saves; the report's way, or -1 after a failure. */
static int save(int32_t field, const char *text, int32_t expected_status) {
    velkor_edit *edit = NULL;
    velkor_save_report report;
    memset(&report, 0, sizeof report);
    report.size = sizeof report;
    if (velkor_edit_open("work.mp3", 0, &edit) != VELKOR_OK) return -1;
    velkor_edit_set_field(edit, field, text);
    if (expected_status == VELKOR_ERROR_CHANGED) CopyFileA("other.mp3", "work.mp3", FALSE);
    const int32_t status = velkor_edit_save(edit, 0, &report);
    velkor_edit_close(edit);
    return status == expected_status ? report.way : -1;
}

static int reads_back(int32_t field, const char *text) {
    velkor_file *file = NULL;
    int same = 0;
    if (velkor_open("work.mp3", 0, &file) == VELKOR_OK) {
        const char *now = velkor_text(file, field);
        same = now && strcmp(now, text) == 0;
        velkor_close(file);
    }
    return same;
}

int main(int argc, char **argv) {
    if (argc < 2 || !CopyFileA(argv[1], "work.mp3", FALSE) || !CopyFileA(argv[1], "other.mp3", FALSE)) return 2;
    check(save(VELKOR_ID3V2_TITLE, "Windows title", VELKOR_OK) == VELKOR_SAVED_REPLACED &&
              reads_back(VELKOR_ID3V2_TITLE, "Windows title") && !leftovers(),
          "a new tag replaces the file");
    check(save(VELKOR_ID3V2_COMPOSER, "Composer", VELKOR_OK) == VELKOR_SAVED_IN_PLACE &&
              reads_back(VELKOR_ID3V2_COMPOSER, "Composer") && reads_back(VELKOR_ID3V2_TITLE, "Windows title"),
          "a change within the padding is made in place");
    check(save(VELKOR_ID3V2_COMPOSER, "Composer", VELKOR_OK) == VELKOR_SAVED_NOTHING, "the same change again: nothing");
    check(save(VELKOR_ID3V2_TITLE, "Lost", VELKOR_ERROR_CHANGED) >= 0 && !reads_back(VELKOR_ID3V2_TITLE, "Lost") &&
              !leftovers(),
          "a file changed since it was opened is refused");
    printf("rewrite_caller: %d failed\n", faults);
    return faults != 0;
}
