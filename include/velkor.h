/*
 * velkor: technical and descriptive facts of MPEG audio files.
 *
 * The C interface of the library: the exported functions and the record
 * layouts that callers share with it. Usable from C and C++.
 *
 * Calling convention: __stdcall on 32-bit Windows (the functions are
 * exported there by their plain, undecorated names), the platform's default
 * elsewhere. All strings are 8-bit and zero-terminated; all integers are
 * signed 32-bit unless stated otherwise.
 */
#ifndef VELKOR_H
#define VELKOR_H

#include <stdint.h>

#if defined(_WIN32) && !defined(_WIN64)
#define VK_CALL __stdcall
#else
#define VK_CALL
#endif

#if defined(_WIN32)
#if defined(VELKOR_BUILDING)
#define VK_API __declspec(dllexport)
#else
#define VK_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define VK_API __attribute__((visibility("default")))
#else
#define VK_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/*
 * The analysis record filled by VkGetSonvexStruct: 363 bytes of fixed-width
 * text fields, no padding. Every field holds a zero-terminated string of at
 * most its width minus one characters.
 */
typedef struct InfoRecord {
    char status[33];    /* "Success" or "Unable to open file (N)" */
    char track[5];
    char year[9];
    char bitrate[17];   /* kbit/s */
    char size[17];      /* kB (file size / 1024) */
    char frequency[17]; /* Hz */
    char length[17];    /* whole seconds */
    char frames[17];
    char album[33];
    char artist[33];
    char comment[33];   /* bytes outside 32..126 replaced by spaces */
    char genre[33];     /* genre number, -1000 when unknown */
    char mode[33];
    char version[33];
    char title[33];
} InfoRecord;

/* The 16-byte record of the MyStructProc sample: two 8-byte text fields. */
typedef struct SampleRecord {
    char first[8];
    char second[8];
} SampleRecord;

#if defined(__cplusplus)
static_assert(sizeof(InfoRecord) == 363, "InfoRecord must be 363 bytes");
static_assert(sizeof(SampleRecord) == 16, "SampleRecord must be 16 bytes");
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
_Static_assert(sizeof(InfoRecord) == 363, "InfoRecord must be 363 bytes");
_Static_assert(sizeof(SampleRecord) == 16, "SampleRecord must be 16 bytes");
#else
typedef char velkor_info_record_size_check[sizeof(InfoRecord) == 363 ? 1 : -1];
typedef char velkor_sample_record_size_check[sizeof(SampleRecord) == 16 ? 1 : -1];
#endif

/*
 * Room a caller must give VkOpenMp3File's report buffer: the longest report
 * the library can write, zero byte included. Each item below counts with its
 * 5-character "<sep>":
 *   "SUCCESS: File opened successfully<sep>"            38
 *   version "MPEG 2.5 Layer III"                   18 + 5 = 23
 *   bitrate "2147483647 kbps"                      15 + 5 = 20
 *   sampling rate "48000 Hz"                        8 + 5 = 13
 *   length "596523:14:07"                          12 + 5 = 17
 *   size "9007199254740991 kB" (64-bit size)       19 + 5 = 24
 *   mode "Single Channel"                          14 + 5 = 19
 *   title, artist, album: 30 characters each  3 x (30 + 5) = 105
 *   genre "Instrumental Rock"                      17 + 5 = 22
 *   comment: 30 characters                         30 + 5 = 35
 *   frames "2147483647"                            10 + 5 = 15
 *   year: 4 characters of the ID3v1 tag             4 + 5 =  9
 *   track "-2147483648" (from an ID3v2 text)       11 + 5 = 16
 *   zero byte                                                1
 * Figures are never negative and are capped at 2147483647.
 */
#define VK_REPORT_SIZE 357

/* Analysis ------------------------------------------------------------- */

/*
 * Analyses the file at path and writes a report of "<sep>"-closed items into
 * report (at most VK_REPORT_SIZE bytes). Returns 1 when the report was written,
 * 0 when the text "Unable to open file" was written instead. reserved is
 * never read.
 */
VK_API int32_t VK_CALL VkOpenMp3File(const char *path, char *report, int32_t reserved);

/*
 * Analyses the file at path and fills record. On failure only the status
 * field changes ("Unable to open file (2)" or "(4)").
 */
VK_API void VK_CALL VkGetSonvexStruct(const char *path, InfoRecord *record);

/* Interoperability samples --------------------------------------------- */

VK_API int32_t VK_CALL AddNums(int32_t a, int32_t b);
VK_API int32_t VK_CALL SubtractNums(int32_t a, int32_t b);
VK_API int32_t VK_CALL MultiplyNums(int32_t a, int32_t b);
/* The larger of a and b (b when they are equal). */
VK_API int32_t VK_CALL CompareNums(int32_t a, int32_t b);
/* Copies "Hello from the C DLL!" into buffer when size is 22 or more. */
VK_API void VK_CALL FillString(char *buffer, uint32_t size);
/* 1-based position of the last byte equal to the low 8 bits of ch, or 0. */
VK_API int32_t VK_CALL InStrRev(const char *text, int32_t ch);
/* Show text in a notice; return the notice's answer. */
VK_API int32_t VK_CALL DisplayStringByRef(const char **ref);
VK_API int32_t VK_CALL DisplayStringByVal(const char *text);
/* Writes the first 7 characters of "kvzt4821" into both fields. */
VK_API void VK_CALL MyStructProc(SampleRecord *record);

#if !defined(_WIN32)
/* Notices (Linux and other non-Windows systems only) -------------------- */

/*
 * The library shows a notice when a file cannot be opened, and the samples
 * DisplayStringByVal and DisplayStringByRef show one on purpose. Windows
 * shows a message box; elsewhere the default writes one line to stderr
 * ("caption: text") and answers with the default button. A host application
 * may take the notices over instead.
 *
 * style holds the message-box style bits below (buttons in the low four
 * bits, the icon in the next four). The handler returns the answer:
 * VK_ANSWER_OK for a notice with one button, VK_ANSWER_YES or VK_ANSWER_NO
 * for a question. text may hold line feeds. context is the pointer given to
 * VkSetNoticeHandler. The handler runs on the thread that called into the
 * library.
 */
#define VK_NOTICE_BUTTONS_OK 0x0u
#define VK_NOTICE_BUTTONS_YESNO 0x4u
#define VK_NOTICE_ICON_QUESTION 0x20u
#define VK_NOTICE_ICON_WARNING 0x30u
#define VK_NOTICE_ICON_INFORMATION 0x40u
#define VK_NOTICE_SYSTEM_MODAL 0x1000u

#define VK_ANSWER_OK 1
#define VK_ANSWER_YES 6
#define VK_ANSWER_NO 7

typedef int32_t (VK_CALL *VkNoticeHandler)(const char *text, const char *caption,
                                           uint32_t style, void *context);

/*
 * Sends every later notice of the process to handler, with context; NULL
 * restores the default stderr line. Safe to call from any thread.
 */
VK_API void VK_CALL VkSetNoticeHandler(VkNoticeHandler handler, void *context);
#endif

#ifdef __cplusplus
}
#endif

#endif /* VELKOR_H */
