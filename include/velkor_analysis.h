/*
 * velkor's analysis exports: the two fixed functions that existing desktop
 * applications call (VkOpenMp3File, VkGetSonvexStruct) with their 8-bit
 * record and report, the interoperability samples, and the notices they
 * show. Their layouts and behaviour are fixed; velkor's own interface is
 * velkor.h.
 *
 * Strings are zero-terminated 8-bit texts; buffers and records belong to
 * the caller.
 */
#ifndef VELKOR_ANALYSIS_H
#define VELKOR_ANALYSIS_H

#include <stddef.h>
#include <stdint.h>

#include "velkor_api.h"

#ifdef __cplusplus
extern "C" {
#endif

/*
 * The analysis record filled by VkGetSonvexStruct: 363 bytes of fixed-width
 * text fields, no padding. Every field holds a zero-terminated string of at
 * most its width minus one characters.
 */
typedef struct velkor_info_record {
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
} velkor_info_record;

/* The 16-byte record of the MyStructProc sample: two 8-byte text fields. */
typedef struct velkor_sample_record {
    char first[8];
    char second[8];
} velkor_sample_record;

#if defined(__cplusplus)
static_assert(sizeof(velkor_info_record) == 363, "velkor_info_record must be 363 bytes");
static_assert(sizeof(velkor_sample_record) == 16, "velkor_sample_record must be 16 bytes");
#elif defined(__STDC_VERSION__) && __STDC_VERSION__ >= 201112L
_Static_assert(sizeof(velkor_info_record) == 363, "velkor_info_record must be 363 bytes");
_Static_assert(sizeof(velkor_sample_record) == 16, "velkor_sample_record must be 16 bytes");
#else
typedef char velkor_info_record_size_check[sizeof(velkor_info_record) == 363 ? 1 : -1];
typedef char velkor_sample_record_size_check[sizeof(velkor_sample_record) == 16 ? 1 : -1];
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
#define VELKOR_REPORT_SIZE 357

/* Analysis ------------------------------------------------------------- */

/*
 * Analyses the file at path and writes a report of "<sep>"-closed items into
 * report (at most VELKOR_REPORT_SIZE bytes). Returns 1 when the report was written,
 * 0 when the text "Unable to open file" was written instead. reserved is
 * never read.
 */
VELKOR_API int32_t VELKOR_CALL VkOpenMp3File(const char *path, char *report, int32_t reserved);

/*
 * Analyses the file at path and fills record. On failure only the status
 * field changes ("Unable to open file (2)" or "(4)").
 */
VELKOR_API void VELKOR_CALL VkGetSonvexStruct(const char *path, velkor_info_record *record);

/* Interoperability samples --------------------------------------------- */

VELKOR_API int32_t VELKOR_CALL AddNums(int32_t a, int32_t b);
VELKOR_API int32_t VELKOR_CALL SubtractNums(int32_t a, int32_t b);
VELKOR_API int32_t VELKOR_CALL MultiplyNums(int32_t a, int32_t b);
/* The larger of a and b (b when they are equal). */
VELKOR_API int32_t VELKOR_CALL CompareNums(int32_t a, int32_t b);
/* Copies "Hello from the C DLL!" into buffer when size is 22 or more. */
VELKOR_API void VELKOR_CALL FillString(char *buffer, uint32_t size);
/* 1-based position of the last byte equal to the low 8 bits of ch, or 0. */
VELKOR_API int32_t VELKOR_CALL InStrRev(const char *text, int32_t ch);
/* Show text in a notice; return the notice's answer. */
VELKOR_API int32_t VELKOR_CALL DisplayStringByRef(const char **ref);
VELKOR_API int32_t VELKOR_CALL DisplayStringByVal(const char *text);
/* Writes the first 7 characters of "kvzt4821" into both fields. */
VELKOR_API void VELKOR_CALL MyStructProc(velkor_sample_record *record);

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
 * VELKOR_ANSWER_OK for a notice with one button, VELKOR_ANSWER_YES or VELKOR_ANSWER_NO
 * for a question. text may hold line feeds. context is the pointer given to
 * velkor_set_notice_handler. The handler runs on the thread that called into the
 * library.
 */
#define VELKOR_NOTICE_BUTTONS_OK 0x0u
#define VELKOR_NOTICE_BUTTONS_YESNO 0x4u
#define VELKOR_NOTICE_ICON_QUESTION 0x20u
#define VELKOR_NOTICE_ICON_WARNING 0x30u
#define VELKOR_NOTICE_ICON_INFORMATION 0x40u
#define VELKOR_NOTICE_SYSTEM_MODAL 0x1000u

#define VELKOR_ANSWER_OK 1
#define VELKOR_ANSWER_YES 6
#define VELKOR_ANSWER_NO 7

typedef int32_t (VELKOR_CALL *velkor_notice_handler)(const char *text, const char *caption,
                                           uint32_t style, void *context);

/*
 * Sends every later notice of the process to handler, with context; NULL
 * restores the default stderr line. Safe to call from any thread.
 */
VELKOR_API void VELKOR_CALL velkor_set_notice_handler(velkor_notice_handler handler, void *context);
#endif

#ifdef __cplusplus
}
#endif

#endif /* VELKOR_ANALYSIS_H */
