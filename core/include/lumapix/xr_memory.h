/*
 * The memory and text services the library uses for its own work memory.
 * Thin wrappers over the C runtime, kept behind one door so an embedding
 * program can count or redirect them.
 */
#ifndef LUMAPIX_XR_MEMORY_H
#define LUMAPIX_XR_MEMORY_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

void* XrMemAlloc(size_t bytes);           /* null on failure or for 0 bytes */
void XrMemFree(void* block);              /* null is ignored */
void XrMemCopy(void* destination, const void* source, size_t bytes);
void XrMemMove(void* destination, const void* source, size_t bytes);
void XrMemFill(void* destination, int value, size_t bytes);
int XrMemCompare(const void* a, const void* b, size_t bytes);
char* XrStrDup(const char* text);         /* allocated with XrMemAlloc */
int XrStrCmp(const char* a, const char* b);
int XrFormat(char* destination, size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

/* Diagnostic log hook: accepted and discarded unless a build routes it somewhere. */
void XrLogOpen(const char* fileName);
void XrLogPrint(const char* format, ...) __attribute__((format(printf, 1, 2)));
void XrLogClose(void);

#ifdef __cplusplus
}
#endif

#endif
