/* Host memory (libut). */
#ifndef PLATFORM_UT_H
#define PLATFORM_UT_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

void* utMalloc(size_t size); /* null when the host heap refuses */
void utFree(void* block);    /* null is ignored */

#ifdef __cplusplus
}
#endif

#endif
