// Test plug-in without XrPluginExec: the host must not keep it.
#include <cstring>

#include "lumapix/xr_plugin.h"

extern "C" {

void XrPluginInfo(char* name) { std::strcpy(name, "No exec"); }

int32_t XrPluginQuery(const XrImage*) { return XR_OK; }

}  // extern "C"
