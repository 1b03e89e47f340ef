/*
 * A caller of the velkor library as a desktop application sees it: it loads
 * the library at run time, looks every function up by its plain name and
 * calls it through a pointer of the documented type (stdcall on 32-bit
 * Windows). Built as a Windows program (run under Wine) and as a Linux one,
 * so the two builds of the library can be compared on the same files.
 *
 *   velkor_caller LIBRARY fixtures      writes the test files into the cwd
 *   velkor_caller LIBRARY check         fixtures, then the checks; ends with
 *                                       "velkor_caller: N passed, M failed"
 *   velkor_caller LIBRARY dump FILE...  report and record of each file
 *
 * Paths are used as given: run it from the folder holding the files.
 */
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include "velkor.h"
#include "velkor_analysis.h"

#if defined(_WIN32)
#include <windows.h>
#define CALLER_CALL __stdcall
typedef HMODULE LibraryHandle;
static LibraryHandle open_library(const char *path) { return LoadLibraryA(path); }
static void *find_export(LibraryHandle library, const char *name) {
    return (void *)GetProcAddress(library, name);
}
#else
#include <dlfcn.h>
#define CALLER_CALL
typedef void *LibraryHandle;
static LibraryHandle open_library(const char *path) { return dlopen(path, RTLD_NOW); }
static void *find_export(LibraryHandle library, const char *name) {
    return dlsym(library, name);
}
#endif

/* The exports as a caller declares them, argument sizes and calling
 * convention spelled out here rather than taken from velkor.h. */
typedef int32_t(CALLER_CALL *OpenMp3FileFn)(const char *, char *, int32_t);
typedef void(CALLER_CALL *GetSonvexStructFn)(const char *, void *);
typedef int32_t(CALLER_CALL *IntPairFn)(int32_t, int32_t);
typedef void(CALLER_CALL *FillStringFn)(char *, uint32_t);
typedef int32_t(CALLER_CALL *InStrRevFn)(const char *, int32_t);
typedef int32_t(CALLER_CALL *DisplayByRefFn)(const char **);
typedef int32_t(CALLER_CALL *DisplayByValFn)(const char *);
typedef void(CALLER_CALL *MyStructProcFn)(void *);

typedef struct Api {
    OpenMp3FileFn open_mp3_file;
    GetSonvexStructFn get_sonvex_struct;
    IntPairFn add, subtract, multiply, compare;
    FillStringFn fill_string;
    InStrRevFn in_str_rev;
    DisplayByRefFn display_by_ref;
    DisplayByValFn display_by_val;
    MyStructProcFn my_struct_proc;
} Api;

/* The record layout as the README documents it for callers. */
typedef struct Field {
    const char *name;
    size_t offset, width;
} Field;

static const Field kRecordFields[] = {
    {"status", 0, 33},      {"track", 33, 5},     {"year", 38, 9},
    {"bitrate", 47, 17},    {"size", 64, 17},     {"frequency", 81, 17},
    {"length", 98, 17},     {"frames", 115, 17},  {"album", 132, 33},
    {"artist", 165, 33},    {"comment", 198, 33}, {"genre", 231, 33},
    {"mode", 264, 33},      {"version", 297, 33}, {"title", 330, 33},
};
enum { kFieldCount = sizeof kRecordFields / sizeof kRecordFields[0] };
enum { kRecordSize = 363, kSampleRecordSize = 16 };
/* What a caller puts into a record first, to see which bytes were written. */
enum { kUntouched = 0x5A };

static int passed, failed;

static void check(int ok, const char *name, const char *detail) {
    if (ok) {
        ++passed;
        printf("ok     %s\n", name);
    } else {
        ++failed;
        printf("FAILED %s%s%s\n", name, detail ? ": " : "", detail ? detail : "");
    }
}

static void check_text(const char *got, const char *want, const char *name) {
    char detail[600];
    snprintf(detail, sizeof detail, "got \"%.256s\", want \"%.256s\"", got, want);
    check(strcmp(got, want) == 0, name, detail);
}

static void check_int(long got, long want, const char *name) {
    char detail[80];
    snprintf(detail, sizeof detail, "got %ld, want %ld", got, want);
    check(got == want, name, detail);
}

/* ---- Stack pointer ------------------------------------------------------
 * A callee that does not pop its own arguments while the caller expects it
 * to (or the other way round) moves the stack pointer on every call. The
 * pointer is read before and after a loop of calls; the loops live in
 * functions with a frame pointer, so the locals stay reachable even when the
 * stack pointer has moved. */
#if defined(__i386__)
#define READ_STACK_POINTER(v) __asm__ volatile("movl %%esp, %0" : "=r"(v))
#elif defined(__x86_64__)
#define READ_STACK_POINTER(v) __asm__ volatile("movq %%rsp, %0" : "=r"(v))
#else
#define READ_STACK_POINTER(v) ((v) = 0)
#endif

enum { kRounds = 20000, kFileRounds = 300 };

typedef struct LoopResult {
    long drift; /* stack pointer after the loop minus before */
    int wrong;  /* calls whose result was not the expected one */
} LoopResult;

static void check_loop(LoopResult r, const char *name) {
    char detail[120];
    snprintf(detail, sizeof detail, "stack pointer moved by %ld bytes, %d wrong results",
             r.drift, r.wrong);
    check(r.drift == 0 && r.wrong == 0, name, detail);
}

static LoopResult loop_int_pair(IntPairFn fn, int op) {
    LoopResult r = {0, 0};
    uintptr_t before, after;
    READ_STACK_POINTER(before);
    for (int32_t i = 0; i < kRounds; ++i) {
        int32_t a = i * 7919 - 50000, b = 12345 - i * 31;
        int32_t want = op == 0   ? (int32_t)((uint32_t)a + (uint32_t)b)
                       : op == 1 ? (int32_t)((uint32_t)a - (uint32_t)b)
                       : op == 2 ? (int32_t)((uint32_t)a * (uint32_t)b)
                                 : (a > b ? a : b);
        if (fn(a, b) != want) ++r.wrong;
    }
    READ_STACK_POINTER(after);
    r.drift = (long)(after - before);
    return r;
}

static LoopResult loop_strings(const Api *api) {
    LoopResult r = {0, 0};
    char buffer[32];
    unsigned char record[kSampleRecordSize];
    uintptr_t before, after;
    READ_STACK_POINTER(before);
    for (int i = 0; i < kRounds; ++i) {
        buffer[0] = '\0';
        api->fill_string(buffer, 22u + (uint32_t)(i % 8));
        if (strcmp(buffer, "Hello from the C DLL!") != 0) ++r.wrong;
        if (api->in_str_rev("a.b.c", '.') != 4) ++r.wrong;
        memset(record, 0, sizeof record);
        api->my_struct_proc(record);
        if (strcmp((const char *)record, "kvzt482") != 0) ++r.wrong;
    }
    READ_STACK_POINTER(after);
    r.drift = (long)(after - before);
    return r;
}

static LoopResult loop_analysis(const Api *api, const char *path) {
    LoopResult r = {0, 0};
    char report[VELKOR_REPORT_SIZE];
    unsigned char record[kRecordSize];
    uintptr_t before, after;
    READ_STACK_POINTER(before);
    for (int i = 0; i < kFileRounds; ++i) {
        if (api->open_mp3_file(path, report, i) != 1) ++r.wrong;
        api->get_sonvex_struct(path, record);
        if (strcmp((const char *)record, "Success") != 0) ++r.wrong;
    }
    READ_STACK_POINTER(after);
    r.drift = (long)(after - before);
    return r;
}

#if defined(_WIN32) && defined(__i386__)
/* A cdecl function leaves its arguments on the stack for the caller. */
static int32_t __cdecl cdecl_add(int32_t a, int32_t b) { return a + b; }
#endif

/* ---- Notices -----------------------------------------------------------
 * On Windows the library shows notices with USER32's MessageBoxA, which
 * blocks until a person answers. The caller replaces that import of the
 * loaded library with a recorder; elsewhere it installs the recorder with
 * velkor_set_notice_handler. Either way every notice is checked for its text,
 * caption and style, and nothing waits for a person. */
typedef struct Notice {
    char text[128], caption[128];
    unsigned style;
} Notice;

static Notice notices[8];
static int notice_count;
static int notice_answer = 1;

static void forget_notices(void) { notice_count = 0; }

static int remember_notice(const char *text, const char *caption, unsigned style) {
    if (notice_count < (int)(sizeof notices / sizeof notices[0])) {
        Notice *n = &notices[notice_count];
        snprintf(n->text, sizeof n->text, "%s", text ? text : "(null)");
        snprintf(n->caption, sizeof n->caption, "%s", caption ? caption : "(null)");
        n->style = style;
    }
    ++notice_count;
    return notice_answer;
}

#if defined(_WIN32)
static int WINAPI record_message_box(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
    /* An owner window is a fault: the high bit makes the style check fail. */
    return remember_notice(text, caption, style | (owner != NULL ? 0x80000000u : 0u));
}

/* Points the library's import of dll!function at replacement; 1 when done. */
static int replace_import(HMODULE library, const char *dll, const char *function,
                          void *replacement) {
    BYTE *base = (BYTE *)library;
    IMAGE_NT_HEADERS *nt = (IMAGE_NT_HEADERS *)(base + ((IMAGE_DOS_HEADER *)base)->e_lfanew);
    IMAGE_DATA_DIRECTORY dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0) return 0;
    for (IMAGE_IMPORT_DESCRIPTOR *imp = (IMAGE_IMPORT_DESCRIPTOR *)(base + dir.VirtualAddress);
         imp->Name != 0; ++imp) {
        if (lstrcmpiA((const char *)(base + imp->Name), dll) != 0) continue;
        IMAGE_THUNK_DATA *names = (IMAGE_THUNK_DATA *)(base + imp->OriginalFirstThunk);
        IMAGE_THUNK_DATA *slots = (IMAGE_THUNK_DATA *)(base + imp->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            IMAGE_IMPORT_BY_NAME *by_name = (IMAGE_IMPORT_BY_NAME *)(base + names->u1.AddressOfData);
            if (strcmp((const char *)by_name->Name, function) != 0) continue;
            DWORD protection;
            if (!VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function,
                                PAGE_READWRITE, &protection))
                return 0;
            slots->u1.Function = (ULONG_PTR)replacement;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, protection,
                           &protection);
            return 1;
        }
    }
    return 0;
}

static int capture_notices(LibraryHandle library) {
    if (replace_import(library, "USER32.dll", "MessageBoxA", (void *)record_message_box)) return 1;
    printf("FAILED the library does not import USER32.dll!MessageBoxA\n");
    return 0;
}
#else
static int32_t record_handler(const char *text, const char *caption, uint32_t style, void *context) {
    (void)context;
    return remember_notice(text, caption, style);
}

typedef void (*SetNoticeHandlerFn)(int32_t (*)(const char *, const char *, uint32_t, void *),
                                   void *);

static int capture_notices(LibraryHandle library) {
    SetNoticeHandlerFn set_handler = (SetNoticeHandlerFn)find_export(library, "velkor_set_notice_handler");
    if (set_handler == NULL) {
        printf("FAILED export velkor_set_notice_handler not found\n");
        return 0;
    }
    set_handler(record_handler, NULL);
    return 1;
}
#endif

static void check_notice(int index, const char *text, const char *caption, unsigned style,
                         const char *name) {
    char label[160];
    snprintf(label, sizeof label, "%s: one notice shown", name);
    check(notice_count == index + 1, label, NULL);
    if (notice_count <= index) return;
    snprintf(label, sizeof label, "%s: notice text", name);
    check_text(notices[index].text, text, label);
    snprintf(label, sizeof label, "%s: notice caption", name);
    check_text(notices[index].caption, caption, label);
    snprintf(label, sizeof label, "%s: notice style", name);
    check_int((long)notices[index].style, (long)style, label);
}

/* ---- Test files --------------------------------------------------------- */

static int write_file(const char *path, const unsigned char *data, size_t size) {
    FILE *f = fopen(path, "wb");
    if (f == NULL) return 0;
    size_t written = fwrite(data, 1, size, f);
    return fclose(f) == 0 && written == size;
}

/* frames copies of a frame that starts with header and is frame_size long
 * (the rest zero), then the 128-byte tag. */
static int write_mp3(const char *path, const unsigned char header[4], size_t frame_size,
                     size_t frames, const unsigned char tag[128]) {
    static unsigned char data[8192];
    size_t size = frame_size * frames + 128;
    if (size > sizeof data) return 0;
    memset(data, 0, size);
    for (size_t i = 0; i < frames; ++i) memcpy(data + i * frame_size, header, 4);
    memcpy(data + frame_size * frames, tag, 128);
    return write_file(path, data, size);
}

/* Twelve MPEG-1 Layer III frames (128 kbit/s, 44100 Hz, stereo) and an
 * ID3v1.1 tag whose comment holds a tab and a byte above 127. */
static int write_tagged_file(const char *path) {
    static const unsigned char kHeader[4] = {0xFF, 0xFB, 0x90, 0x00};
    unsigned char tag[128] = "TAG";
    memcpy(tag + 3, "Caller Title", 12);
    memcpy(tag + 33, "Caller Artist", 13);
    memcpy(tag + 63, "Caller Album", 12);
    memcpy(tag + 93, "1999", 4);
    memcpy(tag + 97, "tab\there \xE9", 10);
    tag[126] = 7;  /* track, after the zero byte at 125 */
    tag[127] = 17; /* "Rock" */
    return write_mp3(path, kHeader, 417, 12, tag);
}

/* The longest texts a report can hold: MPEG-2.5 Layer III frames (160
 * kbit/s, 11025 Hz, dual channel) and an ID3v1.0 tag with every text 30
 * characters long and the longest genre name. */
static int write_long_file(const char *path) {
    static const unsigned char kHeader[4] = {0xFF, 0xE3, 0xE0, 0x80};
    unsigned char tag[128] = "TAG";
    memset(tag + 3, 'T', 30);
    memset(tag + 33, 'A', 30);
    memset(tag + 63, 'L', 30);
    memcpy(tag + 93, "9999", 4);
    memset(tag + 97, 'C', 30);
    tag[127] = 47; /* "Instrumental Rock" */
    return write_mp3(path, kHeader, 1044, 4, tag);
}

static int write_fixtures(void) {
    static unsigned char nothing[3000];
    return write_tagged_file("caller_tagged.mp3") && write_long_file("caller_long.mp3") &&
           write_file("caller_no_frame.bin", nothing, sizeof nothing);
}

/* ---- Report and record ------------------------------------------------- */

static int count_markers(const char *text) {
    int n = 0;
    for (const char *p = strstr(text, "<sep>"); p != NULL; p = strstr(p + 5, "<sep>")) ++n;
    return n;
}

/* The report's item i (0 the status prefix), without its marker. */
static void report_item(const char *report, int i, char *out, size_t out_size) {
    const char *p = report;
    for (; i > 0 && p != NULL; --i) {
        p = strstr(p, "<sep>");
        if (p != NULL) p += 5;
    }
    const char *end = p ? strstr(p, "<sep>") : NULL;
    size_t n = end ? (size_t)(end - p) : 0;
    if (n >= out_size) n = out_size - 1;
    if (n > 0) memcpy(out, p, n);
    out[n] = '\0';
}

/* The text in the record's field name, cut at the field's end. */
static const char *record_field(const unsigned char *record, const char *name) {
    static char text[34];
    text[0] = '\0';
    for (int i = 0; i < kFieldCount; ++i) {
        if (strcmp(kRecordFields[i].name, name) == 0) {
            memcpy(text, record + kRecordFields[i].offset, kRecordFields[i].width);
            text[kRecordFields[i].width] = '\0';
        }
    }
    return text;
}

/* 1 when every byte past the status field is as the caller left it. */
static int only_status_written(const unsigned char *record) {
    for (size_t i = 33; i < kRecordSize; ++i) {
        if (record[i] != kUntouched) return 0;
    }
    return 1;
}

static void print_escaped(const unsigned char *bytes, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        if (bytes[i] >= 32 && bytes[i] < 127 && bytes[i] != '\\') {
            putchar(bytes[i]);
        } else {
            printf("\\x%02X", bytes[i]);
        }
    }
}

/* Everything the library wrote for one file, in a form to compare. */
static void dump_file(const Api *api, const char *path) {
    char report[VELKOR_REPORT_SIZE];
    unsigned char record[kRecordSize];
    memset(report, kUntouched, sizeof report);
    int32_t result = api->open_mp3_file(path, report, 0);
    printf("== %s\nreport %d: ", path, (int)result);
    print_escaped((const unsigned char *)report, strnlen(report, sizeof report));
    putchar('\n');
    memset(record, kUntouched, sizeof record);
    api->get_sonvex_struct(path, record);
    for (int i = 0; i < kFieldCount; ++i) {
        printf("record %-9s ", kRecordFields[i].name);
        print_escaped(record + kRecordFields[i].offset, kRecordFields[i].width);
        putchar('\n');
    }
}

/* ---- The checks ---------------------------------------------------------- */

static void check_samples(const Api *api) {
    check_int(api->add(2147483647, 1), -2147483647L - 1, "AddNums wraps at 2^31");
    check_int(api->add(-7, 3), -4, "AddNums of mixed signs");
    check_int(api->subtract(-2147483647L - 1, 1), 2147483647L, "SubtractNums wraps below -2^31");
    check_int(api->subtract(3, 10), -7, "SubtractNums below zero");
    check_int(api->multiply(65536, 65536), 0, "MultiplyNums keeps the low 32 bits");
    check_int(api->multiply(-6, 7), -42, "MultiplyNums of mixed signs");
    check_int(api->compare(-5, 3), 3, "CompareNums -5, 3");
    check_int(api->compare(7, 7), 7, "CompareNums 7, 7");
    check_int(api->compare(-2147483647L - 1, -1), -1, "CompareNums compares signed");

    char buffer[40];
    memset(buffer, '#', sizeof buffer);
    buffer[sizeof buffer - 1] = '\0';
    api->fill_string(buffer, 21);
    check(buffer[0] == '#' && buffer[21] == '#', "FillString with 21 leaves the buffer", NULL);
    api->fill_string(buffer, 22);
    check_text(buffer, "Hello from the C DLL!", "FillString with 22");
    check(buffer[22] == '#', "FillString with 22 writes 22 bytes", NULL);

    check_int(api->in_str_rev("a.b.c", '.'), 4, "InStrRev finds the last dot");
    check_int(api->in_str_rev("a.b.c", 'x'), 0, "InStrRev without a match");
    check_int(api->in_str_rev("a.b.c", 0x2E2E), 4, "InStrRev uses the low byte of ch");
    check_int(api->in_str_rev("a.b.c", 0), 6, "InStrRev for the zero byte");

    unsigned char record[kSampleRecordSize + 4];
    memset(record, kUntouched, sizeof record);
    api->my_struct_proc(record);
    check_text((const char *)record, "kvzt482", "MyStructProc first field");
    check_text((const char *)record + 8, "kvzt482", "MyStructProc second field");
    check(record[kSampleRecordSize] == kUntouched, "MyStructProc stays within 16 bytes", NULL);

    {
        const char *text = "by reference";
        forget_notices();
        notice_answer = 7;
        check_int(api->display_by_val("by value"), 7, "DisplayStringByVal passes the answer on");
        check_notice(0, "by value", "Display String ByVal", 0x40, "DisplayStringByVal");
        check_int(api->display_by_ref(&text), 7, "DisplayStringByRef passes the answer on");
        check_notice(1, "by reference", "Display String ByRef", 0x40, "DisplayStringByRef");
        notice_answer = 1;
    }
}

static void check_analysis(const Api *api) {
    char report[VELKOR_REPORT_SIZE];
    char item[64];
    unsigned char record[kRecordSize];

    forget_notices();
    check_int(api->open_mp3_file("caller_tagged.mp3", report, 0x12345678), 1,
              "VkOpenMp3File succeeds");
    check(strncmp(report, "SUCCESS: File opened successfully<sep>", 38) == 0,
          "report starts with the status prefix", report);
    check_int(count_markers(report), 15, "report has fifteen items");
    check(strlen(report) >= 5 && strcmp(report + strlen(report) - 5, "<sep>") == 0,
          "report ends with a marker", report);
    static const struct {
        int index;
        const char *text;
    } kItems[] = {{2, "128 kbps"},        {3, "44100 Hz"},      {6, "Stereo"},
                  {7, "Caller Title"},    {8, "Caller Artist"}, {9, "Caller Album"},
                  {10, "Rock"},           {11, "tab\there \xE9"}, {13, "1999"},
                  {14, "7"}};
    for (size_t i = 0; i < sizeof kItems / sizeof kItems[0]; ++i) {
        char label[48];
        snprintf(label, sizeof label, "report item %d", kItems[i].index);
        report_item(report, kItems[i].index, item, sizeof item);
        check_text(item, kItems[i].text, label);
    }

    memset(record, kUntouched, sizeof record);
    api->get_sonvex_struct("caller_tagged.mp3", record);
    static const struct {
        const char *field, *text;
    } kFields[] = {{"status", "Success"},  {"track", "7"},
                   {"year", "1999"},       {"bitrate", "128"},
                   {"frequency", "44100"}, {"mode", "Stereo"},
                   {"title", "Caller Title"}, {"artist", "Caller Artist"},
                   {"album", "Caller Album"}, {"genre", "17"},
                   {"comment", "tab here  "}};
    for (size_t i = 0; i < sizeof kFields / sizeof kFields[0]; ++i) {
        char label[48];
        snprintf(label, sizeof label, "record %s", kFields[i].field);
        check_text(record_field(record, kFields[i].field), kFields[i].text, label);
    }
    check_int(notice_count, 0, "no notice for a good file");

    /* The longest report must leave room in a VELKOR_REPORT_SIZE buffer. */
    char wide[VELKOR_REPORT_SIZE + 256];
    memset(wide, kUntouched, sizeof wide);
    check_int(api->open_mp3_file("caller_long.mp3", wide, 0), 1, "VkOpenMp3File of long texts");
    check(strnlen(wide, sizeof wide) < VELKOR_REPORT_SIZE, "longest report fits VELKOR_REPORT_SIZE", NULL);
    report_item(wide, 11, item, sizeof item);
    check_text(item, "CCCCCCCCCCCCCCCCCCCCCCCCCCCCCC", "report keeps a 30-character comment");
    memset(record, kUntouched, sizeof record);
    api->get_sonvex_struct("caller_long.mp3", record);
    check_text(record_field(record, "title"), "TTTTTTTTTTTTTTTTTTTTTTTTTTTTTT",
               "record keeps a 30-character title");
    check_text(record_field(record, "version"), "MPEG 2.5 Layer III", "record version MPEG 2.5");

    check_int(api->open_mp3_file("caller_no_frame.bin", report, 0), 0,
              "VkOpenMp3File without a frame header fails");
    check_text(report, "Unable to open file", "report without a frame header");
    memset(record, kUntouched, sizeof record);
    api->get_sonvex_struct("caller_no_frame.bin", record);
    check_text((const char *)record, "Unable to open file (4)", "record without a frame header");
    check(only_status_written(record), "record without a frame header: rest untouched", NULL);
    check_int(notice_count, 0, "no notice without a frame header");

    check_int(api->open_mp3_file("caller_missing.mp3", report, 0), 0,
              "VkOpenMp3File of a missing path fails");
    check_text(report, "Unable to open file", "report of a missing path");
    check_notice(0, "You tried to open a file\nthat didn't work", "caller_missing.mp3", 0x1000,
                 "VkOpenMp3File of a missing path");
    memset(record, kUntouched, sizeof record);
    api->get_sonvex_struct("caller_missing.mp3", record);
    check_text((const char *)record, "Unable to open file (2)", "record of a missing path");
    check(only_status_written(record), "record of a missing path: rest untouched", NULL);
    check_notice(1, "You tried to open a file\nthat didn't work", "caller_missing.mp3", 0x1000,
                 "VkGetSonvexStruct of a missing path");
}

static void check_stack(const Api *api) {
    check_loop(loop_int_pair(api->add, 0), "AddNums keeps the stack, many calls");
    check_loop(loop_int_pair(api->subtract, 1), "SubtractNums keeps the stack, many calls");
    check_loop(loop_int_pair(api->multiply, 2), "MultiplyNums keeps the stack, many calls");
    check_loop(loop_int_pair(api->compare, 3), "CompareNums keeps the stack, many calls");
    check_loop(loop_strings(api), "string and record samples keep the stack, many calls");
    check_loop(loop_analysis(api, "caller_tagged.mp3"), "analysis keeps the stack, many calls");

    LoopResult boxes = {0, 0};
    {
        const char *text = "x";
        uintptr_t before, after;
        READ_STACK_POINTER(before);
        for (int i = 0; i < kRounds; ++i) {
            if (api->display_by_val(text) != notice_answer) ++boxes.wrong;
            if (api->display_by_ref(&text) != notice_answer) ++boxes.wrong;
        }
        READ_STACK_POINTER(after);
        boxes.drift = (long)(after - before);
        check_loop(boxes, "DisplayString samples keep the stack, many calls");
    }

#if defined(_WIN32) && defined(__i386__)
    /* The loop must notice a callee of the wrong convention. */
    IntPairFn wrong = (IntPairFn)(void *)cdecl_add;
    LoopResult mismatch = loop_int_pair(wrong, 0);
    char detail[80];
    snprintf(detail, sizeof detail, "moved by %ld bytes", mismatch.drift);
    check(mismatch.drift != 0, "stack check notices a cdecl callee", detail);
#endif
}

#if defined(_WIN32)
static DWORD WINAPI add_on_thread(LPVOID api) { return (DWORD)((const Api *)api)->add(40, 2); }

/* The entry point must accept every notification, or loading, a second
 * thread or unloading fails. */
typedef BOOL(WINAPI *EntryPointFn)(HINSTANCE, DWORD, LPVOID);

static void check_entry_point(HMODULE library, const Api *api, const char *path) {
    EntryPointFn entry = (EntryPointFn)(void *)GetProcAddress(library, "DllMain");
    check(entry != NULL && entry(library, DLL_THREAD_ATTACH, NULL) == TRUE,
          "DllMain is exported by its plain name and accepts a notification", NULL);
    DWORD code = 0;
    HANDLE thread = CreateThread(NULL, 0, add_on_thread, (LPVOID)api, 0, NULL);
    check(thread != NULL && WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0 &&
              GetExitCodeThread(thread, &code) && code == 42,
          "a second thread calls in (thread attach and detach)", NULL);
    if (thread != NULL) CloseHandle(thread);
    check(FreeLibrary(library) != 0, "FreeLibrary unloads the DLL (process detach)", NULL);
    HMODULE again = LoadLibraryA(path);
    check(again != NULL, "LoadLibraryA loads it again", NULL);
    if (again != NULL) FreeLibrary(again);
}
#endif

/* ---- velkor's own interface ----------------------------------------------- */

typedef int32_t(CALLER_CALL *FileOpenFn)(const char *, uint32_t, velkor_file **);
typedef void(CALLER_CALL *FileCloseFn)(velkor_file *);
typedef int32_t(CALLER_CALL *FileFactsFn)(const velkor_file *, velkor_file_facts *);
typedef const char *(CALLER_CALL *FileTextFn)(const velkor_file *, int32_t);
typedef int32_t(CALLER_CALL *WriteId3v1Fn)(const char *, const velkor_id3v1_fields *);

/* The handles, facts, UTF-8 texts and the ID3v1 write, looked up by name;
 * on Windows also a file whose name is in other scripts, by its UTF-16 path. */
static void check_own_interface(LibraryHandle library) {
    FileOpenFn open_file = (FileOpenFn)find_export(library, "velkor_open");
    FileCloseFn close_file = (FileCloseFn)find_export(library, "velkor_close");
    FileFactsFn file_facts = (FileFactsFn)find_export(library, "velkor_facts");
    FileTextFn file_text = (FileTextFn)find_export(library, "velkor_text");
    WriteId3v1Fn write_id3v1 = (WriteId3v1Fn)find_export(library, "velkor_write_id3v1");
    check(open_file && close_file && file_facts && file_text && write_id3v1,
          "velkor's own interface is exported by its plain names", NULL);
    if (!(open_file && close_file && file_facts && file_text && write_id3v1)) return;

    velkor_file *file = NULL;
    check_int(open_file("caller_tagged.mp3", 0, &file), VELKOR_OK, "velkor_open opens a file");
    velkor_file_facts facts;
    memset(&facts, 0, sizeof facts);
    facts.size = sizeof facts;
    check_int(file_facts(file, &facts), VELKOR_OK, "velkor_facts");
    check_int((long)facts.frames, 12, "velkor_file_facts: frames");
    check_int(facts.id3v1, 11, "velkor_file_facts: an ID3v1.1 tag");
    const char *comment = file ? file_text(file, VELKOR_ID3V1_COMMENT) : NULL;
    check(comment != NULL && strcmp(comment, "tab\there \xC3\xA9") == 0,
          "velkor_text: the ID3v1 comment in UTF-8", comment);
    close_file(file);
    check_int(open_file("caller_missing.mp3", 0, &file), VELKOR_ERROR_NOT_FOUND,
              "velkor_open: a missing file is not found, and no notice is shown");
    check_int(open_file("caller_no_frame.bin", 0, &file), VELKOR_ERROR_NO_AUDIO,
              "velkor_open: a file without MPEG audio");

    velkor_id3v1_fields tag;
    memset(&tag, 0, sizeof tag);
    tag.size = sizeof tag;
    tag.fields = VELKOR_FIELD_TITLE;
    tag.title = "Written \xC3\xA9";
    check(write_file("caller_written.mp3", (const unsigned char *)"", 0) &&
              write_id3v1("caller_written.mp3", &tag) == VELKOR_OK &&
              open_file("caller_written.mp3", 0, &file) == VELKOR_ERROR_NO_AUDIO,
          "velkor_write_id3v1 appends a tag", NULL);
#if defined(_WIN32)
    typedef int32_t(CALLER_CALL * FileOpenWFn)(const wchar_t *, uint32_t, velkor_file **);
    typedef int32_t(CALLER_CALL * FileGetTextWFn)(const velkor_file *, int32_t, wchar_t *, int32_t);
    FileOpenWFn open_wide = (FileOpenWFn)find_export(library, "velkor_open_w");
    FileGetTextWFn text_wide = (FileGetTextWFn)find_export(library, "velkor_get_text_w");
    static const wchar_t kName[] = L"caller_\x00fc\x0431\x65e5\x672c.mp3";
    const char *kNameUtf8 = "caller_\xC3\xBC\xD0\xB1\xE6\x97\xA5\xE6\x9C\xAC.mp3";
    check(CopyFileW(L"caller_tagged.mp3", kName, FALSE) != 0, "a file named in several scripts", NULL);
    wchar_t title[32] = {0};
    check(open_wide && text_wide && open_wide(kName, 0, &file) == VELKOR_OK &&
              text_wide(file, VELKOR_ID3V1_TITLE, title, 32) == 13 && wcscmp(title, L"Caller Title") == 0,
          "velkor_open_w and velkor_get_text_w", NULL);
    if (close_file) close_file(file);
    check_int(open_file(kNameUtf8, 0, &file), VELKOR_OK, "velkor_open: the same name in UTF-8");
    close_file(file);
    DeleteFileW(kName);
#endif
}

static int find_api(LibraryHandle library, Api *api) {
    static const char *const kNames[] = {
        "VkOpenMp3File", "VkGetSonvexStruct", "AddNums", "SubtractNums",
        "MultiplyNums", "CompareNums", "FillString", "InStrRev",
        "DisplayStringByRef", "DisplayStringByVal", "MyStructProc"};
    void *found[sizeof kNames / sizeof kNames[0]];
    int all = 1;
    for (size_t i = 0; i < sizeof kNames / sizeof kNames[0]; ++i) {
        found[i] = find_export(library, kNames[i]);
        if (found[i] == NULL) {
            printf("FAILED export %s not found\n", kNames[i]);
            all = 0;
        }
    }
    if (!all) return 0;
    api->open_mp3_file = (OpenMp3FileFn)found[0];
    api->get_sonvex_struct = (GetSonvexStructFn)found[1];
    api->add = (IntPairFn)found[2];
    api->subtract = (IntPairFn)found[3];
    api->multiply = (IntPairFn)found[4];
    api->compare = (IntPairFn)found[5];
    api->fill_string = (FillStringFn)found[6];
    api->in_str_rev = (InStrRevFn)found[7];
    api->display_by_ref = (DisplayByRefFn)found[8];
    api->display_by_val = (DisplayByValFn)found[9];
    api->my_struct_proc = (MyStructProcFn)found[10];
    return 1;
}

int main(int argc, char **argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: %s LIBRARY fixtures|check|dump [FILE...]\n", argv[0]);
        return 2;
    }
    const char *mode = argv[2];
    if (strcmp(mode, "fixtures") == 0) return write_fixtures() ? 0 : 1;

    LibraryHandle library = open_library(argv[1]);
    Api api;
    if (library == NULL) {
        printf("FAILED cannot load %s\n", argv[1]);
        return 1;
    }
    if (!find_api(library, &api)) return 1;
    /* Without the recorder a notice could wait for a person forever. */
    if (!capture_notices(library)) return 1;

    if (strcmp(mode, "dump") == 0) {
        for (int i = 3; i < argc; ++i) dump_file(&api, argv[i]);
        return 0;
    }
    if (strcmp(mode, "check") != 0) {
        fprintf(stderr, "unknown mode %s\n", mode);
        return 2;
    }
    check(write_fixtures(), "test files written", NULL);
    check(offsetof(velkor_info_record, title) == 330 && sizeof(velkor_info_record) == kRecordSize &&
              offsetof(velkor_info_record, genre) == 231,
          "velkor.h's velkor_info_record matches the documented layout", NULL);
    check_samples(&api);
    check_analysis(&api);
    check_stack(&api);
    check_own_interface(library);
#if defined(_WIN32)
    check_entry_point(library, &api, argv[1]);
#endif
    printf("velkor_caller: %d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
