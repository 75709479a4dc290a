// The entry layer of the browser plug-in: the exports the browser finds by name, the instance functions it
// calls through the table the plug-in fills, and the wrappers of the browser's own functions.
#pragma once

#include "platform/npapi/npapi.h"

#define QSM_PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))

QSM_PLUGIN_EXPORT NPError NP_GetEntryPoints(NPPluginFuncs* pluginFuncs);
// One function for both forms of the interface. The Windows form calls NP_GetEntryPoints first and passes
// only the browser's table; the plug-in's table is then never read here. The Unix form calls no
// NP_GetEntryPoints and passes the plug-in's table to be filled, with the entries the Unix form adds.
QSM_PLUGIN_EXPORT NPError NP_Initialize(NPNetscapeFuncs* browserFuncs, NPPluginFuncs* pluginFuncs);
QSM_PLUGIN_EXPORT NPError NP_Shutdown();
// The Unix form's registration, read from the version resource: the MIME types with their extensions and
// description, and the plug-in's name and description.
QSM_PLUGIN_EXPORT const char* NP_GetMIMEDescription();
QSM_PLUGIN_EXPORT NPError NP_GetValue(void* future, NPPVariable variable, void* value);

NPError NPP_Initialize();
void NPP_Shutdown();
JRIGlobalRef NPP_GetJavaClass();

NPError NPP_New(NPMIMEType type, NPP instance, uint16 mode, int16 argc, char* argn[], char* argv[],
                NPSavedData* saved);
NPError NPP_Destroy(NPP instance, NPSavedData** save);
NPError NPP_SetWindow(NPP instance, NPWindow* window);
NPError NPP_NewStream(NPP instance, NPMIMEType type, NPStream* stream, NPBool seekable, uint16* stype);
NPError NPP_DestroyStream(NPP instance, NPStream* stream, NPReason reason);
void NPP_StreamAsFile(NPP instance, NPStream* stream, const char* fname);
int32 NPP_WriteReady(NPP instance, NPStream* stream);
int32 NPP_Write(NPP instance, NPStream* stream, int32 offset, int32 len, void* buffer);
void NPP_Print(NPP instance, NPPrint* platformPrint);
void NPP_URLNotify(NPP instance, const char* url, NPReason reason, void* notifyData);
// The Unix form's additions: the browser's X events for a windowless instance, and the value queries.
int16 NPP_HandleEvent(NPP instance, void* event);
NPError NPP_GetValue(NPP instance, NPPVariable variable, void* value);

void NPN_Version(int* pluginMajor, int* pluginMinor, int* browserMajor, int* browserMinor);
NPError NPN_GetURLNotify(NPP instance, const char* url, const char* target, void* notifyData);
NPError NPN_GetURL(NPP instance, const char* url, const char* target);
NPError NPN_PostURLNotify(NPP instance, const char* url, const char* target, uint32 len, const char* buf,
                          NPBool file, void* notifyData);
NPError NPN_PostURL(NPP instance, const char* url, const char* target, uint32 len, const char* buf,
                    NPBool file);
NPError NPN_RequestRead(NPStream* stream, NPByteRange* rangeList);
NPError NPN_NewStream(NPP instance, NPMIMEType type, const char* target, NPStream** stream);
int32 NPN_Write(NPP instance, NPStream* stream, int32 len, void* buffer);
NPError NPN_DestroyStream(NPP instance, NPStream* stream, NPReason reason);
void NPN_Status(NPP instance, const char* message);
const char* NPN_UserAgent(NPP instance);
void* NPN_MemAlloc(uint32 size);
void NPN_MemFree(void* ptr);
uint32 NPN_MemFlush(uint32 size);
void NPN_ReloadPlugins(NPBool reloadPages);
JRIEnv* NPN_GetJavaEnv();
jref NPN_GetJavaPeer(NPP instance);
// Browser functions of the Unix form; a browser whose table lacks them answers NPERR_GENERIC_ERROR (or
// nothing happens).
NPError NPN_GetValue(NPP instance, NPNVariable variable, void* value);
NPError NPN_SetValue(NPP instance, NPPVariable variable, void* value);
void NPN_InvalidateRect(NPP instance, NPRect* rect);
