/*
 * Filter plug-in interface.
 *
 * A filter is a shared object in the folder plg_filter beside the program. The
 * program loads every such file at start-up and offers each as one command of
 * its PLUGINS menu. A plug-in exports three C functions:
 *
 *   XrPluginInfo   writes its menu name (UTF-8, NUL-terminated, at most
 *                  XR_PLUGIN_NAME_SIZE bytes including the NUL) into name.
 *   XrPluginQuery  returns 0 when it can process the image; any other value
 *                  greys its command.
 *   XrPluginExec   filters the image in place; 0 on success. On any other
 *                  value the program puts back the image as it was before the
 *                  call, so a failing filter need not undo its own changes.
 *
 * Inside XrPluginExec a plug-in may:
 *   - change the record's pixels and palette in place;
 *   - change its size or mode: free the record's buffers with ImageFree, set
 *     up the new header and allocate with ImageAlloc (lumapix/xr_image.h). The
 *     program frees the record later, so the buffers must come from the C heap
 *     that those functions use, never from new or a private pool;
 *   - read params->saved, the image as it was before the call (a source that
 *     stays untouched while the record changes); never change or free it;
 *   - call params->refresh to redisplay the record, for example to preview
 *     steps of a filter. The record must be consistent whenever it is called.
 *     It is valid only during XrPluginExec and on the calling thread;
 *   - parent dialogs to params->owner, the program's main window (a QWidget*
 *     in the Qt viewer; may be null).
 * Nothing from the record or the block may be kept after returning.
 *
 * Link lumapix_core statically for the record functions, and export only the
 * three functions (build with hidden visibility; XR_PLUGIN_EXPORT marks them).
 */
#ifndef LUMAPIX_XR_PLUGIN_H
#define LUMAPIX_XR_PLUGIN_H

#include <stdint.h>

#include "lumapix/xr_image.h"

#ifdef __cplusplus
extern "C" {
#endif

#define XR_PLUGIN_NAME_SIZE 256

#if defined(__GNUC__)
#define XR_PLUGIN_EXPORT __attribute__((visibility("default")))
#else
#define XR_PLUGIN_EXPORT
#endif

/* Built by the program for one XrPluginExec call. */
typedef struct XrPluginParams {
    void* owner;            /* main window, for dialogs; may be null */
    void (*refresh)(void);  /* redisplays the image being filtered; never null */
    XrImage saved;          /* copy of the image taken just before the call */
} XrPluginParams;

typedef void (*XrPluginInfoFn)(char* name);
typedef int32_t (*XrPluginQueryFn)(const XrImage* image);
typedef int32_t (*XrPluginExecFn)(XrImage* image, const XrPluginParams* params);

XR_PLUGIN_EXPORT void XrPluginInfo(char* name);
XR_PLUGIN_EXPORT int32_t XrPluginQuery(const XrImage* image);
XR_PLUGIN_EXPORT int32_t XrPluginExec(XrImage* image, const XrPluginParams* params);

#ifdef __cplusplus
}
#endif

#endif
