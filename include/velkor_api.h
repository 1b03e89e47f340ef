/*
 * The calling convention and the export marks shared by velkor's headers
 * (velkor.h, velkor_analysis.h): __stdcall on 32-bit Windows, where the
 * functions are exported by their plain, undecorated names; the platform's
 * default elsewhere.
 */
#ifndef VELKOR_API_H
#define VELKOR_API_H

#if defined(_WIN32) && !defined(_WIN64)
#define VELKOR_CALL __stdcall
#else
#define VELKOR_CALL
#endif

#if defined(_WIN32)
#if defined(VELKOR_BUILDING)
#define VELKOR_API __declspec(dllexport)
#else
#define VELKOR_API __declspec(dllimport)
#endif
#elif defined(__GNUC__)
#define VELKOR_API __attribute__((visibility("default")))
#else
#define VELKOR_API
#endif

#endif /* VELKOR_API_H */
