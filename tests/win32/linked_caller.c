/*
 * A C caller that links velkor.dll through its import library and
 * velkor.h, as a program built against the library would: if the header's
 * calling convention, the import library's names and the DLL's exports do
 * not fit together, this does not link or does not start.
 */
#include <stdio.h>
#include <string.h>

#include "velkor.h"
#include "velkor_analysis.h"

int main(void) {
    char text[VELKOR_REPORT_SIZE] = "";
    velkor_info_record record;
    velkor_sample_record sample;
    int faults = 0;

    faults += AddNums(2147483647, 1) != (-2147483647 - 1);
    faults += SubtractNums(3, 10) != -7;
    faults += MultiplyNums(-6, 7) != -42;
    faults += CompareNums(7, 7) != 7;
    FillString(text, sizeof text);
    faults += strcmp(text, "Hello from the C DLL!") != 0;
    faults += InStrRev("a.b.c", '.') != 4;
    MyStructProc(&sample);
    faults += strcmp(sample.second, "kvzt482") != 0;
    /* A file without a frame header: a failure that shows no notice. */
    faults += VkOpenMp3File("caller_no_frame.bin", text, 0) != 0;
    VkGetSonvexStruct("caller_no_frame.bin", &record);
    faults += strcmp(record.status, "Unable to open file (4)") != 0;
    /* These show a message box; linking them is enough here. */
    int32_t(VELKOR_CALL *volatile by_val)(const char *) = DisplayStringByVal;
    int32_t(VELKOR_CALL *volatile by_ref)(const char **) = DisplayStringByRef;
    faults += by_val == NULL || by_ref == NULL;
    /* The DLL's release is the header's (a call without arguments: @0). */
    faults += strcmp(velkor_version(), VELKOR_VERSION) != 0;

    printf("linked caller: %d faults\n", faults);
    return faults == 0 ? 0 : 1;
}
