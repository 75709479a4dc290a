// The Netscape plug-in interface as far as our plug-in and our test host use it: the scalar types, the
// instance, window and stream records, the two function tables, the error codes and the variables of the
// value queries. Layouts are the published ones (C linkage, natural packing), declared here from the
// interface's description; table slots we never call are kept as untyped placeholders, so that the
// fields behind them lie where a browser puts them.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

using int16 = int16_t;
using uint16 = uint16_t;
using int32 = int32_t;
using uint32 = uint32_t;

using NPError = int16;
using NPBool = unsigned char;
using NPReason = int16;
using NPMIMEType = char*;

// The version word is major << 8 | minor.
enum : int { NP_VERSION_MAJOR = 0, NP_VERSION_MINOR = 11 };
// Minor versions of the browser table from which a group of its functions exists.
enum : int { NPVERS_HAS_STREAMOUTPUT = 8, NPVERS_HAS_NOTIFICATION = 9, NPVERS_HAS_LIVECONNECT = 9 };

enum : NPError {
    NPERR_NO_ERROR = 0,
    NPERR_GENERIC_ERROR = 1,
    NPERR_INVALID_INSTANCE_ERROR = 2,
    NPERR_INVALID_FUNCTABLE_ERROR = 3,
    NPERR_MODULE_LOAD_FAILED_ERROR = 4,
    NPERR_OUT_OF_MEMORY_ERROR = 5,
    NPERR_INVALID_PLUGIN_ERROR = 6,
    NPERR_INVALID_PLUGIN_DIR_ERROR = 7,
    NPERR_INCOMPATIBLE_VERSION_ERROR = 8,
    NPERR_INVALID_PARAM = 9,
    NPERR_INVALID_URL = 10,
    NPERR_FILE_NOT_FOUND = 11,
    NPERR_NO_DATA = 12,
    NPERR_STREAM_NOT_SEEKABLE = 13,
};

// Instance modes.
enum : uint16 { NP_EMBED = 1, NP_FULL = 2 };
// Stream delivery types.
enum : uint16 { NP_NORMAL = 1, NP_SEEK = 2, NP_ASFILE = 3, NP_ASFILEONLY = 4 };
// Why a stream ended.
enum : NPReason { NPRES_DONE = 0, NPRES_NETWORK_ERR = 1, NPRES_USER_BREAK = 2 };

// What a plug-in asks the browser (NPN_GetValue).
enum NPNVariable : int {
    NPNVxDisplay = 1,
    NPNVxtAppContext = 2,
    NPNVnetscapeWindow = 3,
    NPNVjavascriptEnabledBool = 4,
    NPNVToolkit = 13,
    NPNVSupportsXEmbedBool = 14,
    NPNVSupportsWindowless = 17,
};
// What the browser asks a plug-in (NPP_GetValue, NP_GetValue) or a plug-in tells the browser (NPN_SetValue).
enum NPPVariable : int {
    NPPVpluginNameString = 1,
    NPPVpluginDescriptionString = 2,
    NPPVpluginWindowBool = 3,
    NPPVpluginTransparentBool = 4,
    NPPVpluginNeedsXEmbed = 14,
    NPPVpluginScriptableNPObject = 15,
};

// One instance: pdata belongs to the plug-in, ndata to the browser.
struct NPP_t {
    void* pdata;
    void* ndata;
};
using NPP = NPP_t*;

struct NPSavedData {
    int32 len;
    void* buf;
};

struct NPRect {
    uint16 top;
    uint16 left;
    uint16 bottom;
    uint16 right;
};

enum : int { NPWindowTypeWindow = 1, NPWindowTypeDrawable = 2 };

// For a window of type NPWindowTypeWindow, window is the browser's window: a window handle of our window
// manager in the Windows form of the interface, an X window id in the Unix form. A windowless plug-in
// (NPWindowTypeDrawable) draws into the X drawable of each expose event at (x, y), inside clipRect.
struct NPWindow {
    void* window;
    int32 x;
    int32 y;
    uint32 width;
    uint32 height;
    NPRect clipRect;
    void* ws_info;
    int type;
};

// The X display data of a window record in the Unix form (ws_info); type is unused.
struct NPSetWindowCallbackStruct {
    int32 type;
    void* display;  // Display*
    void* visual;   // Visual*
    unsigned long colormap;
    unsigned int depth;
};

struct NPStream {
    void* pdata;
    void* ndata;
    const char* url;
    uint32 end;
    uint32 lastmodified;
    void* notifyData;
};

struct NPByteRange {
    int32 offset;
    uint32 length;
    NPByteRange* next;
};

struct NPPrint;  // the platform's print record; passed through, never read
struct JRIEnv;
using JRIGlobalRef = void*;
using jref = void*;

// The plug-in's functions, called by the browser.
using NPP_NewProcPtr = NPError (*)(NPMIMEType type, NPP instance, uint16 mode, int16 argc, char* argn[],
                                   char* argv[], NPSavedData* saved);
using NPP_DestroyProcPtr = NPError (*)(NPP instance, NPSavedData** save);
using NPP_SetWindowProcPtr = NPError (*)(NPP instance, NPWindow* window);
using NPP_NewStreamProcPtr = NPError (*)(NPP instance, NPMIMEType type, NPStream* stream, NPBool seekable,
                                         uint16* stype);
using NPP_DestroyStreamProcPtr = NPError (*)(NPP instance, NPStream* stream, NPReason reason);
using NPP_StreamAsFileProcPtr = void (*)(NPP instance, NPStream* stream, const char* fname);
using NPP_WriteReadyProcPtr = int32 (*)(NPP instance, NPStream* stream);
using NPP_WriteProcPtr = int32 (*)(NPP instance, NPStream* stream, int32 offset, int32 len, void* buffer);
using NPP_PrintProcPtr = void (*)(NPP instance, NPPrint* platformPrint);
using NPP_HandleEventProcPtr = int16 (*)(NPP instance, void* event);
using NPP_URLNotifyProcPtr = void (*)(NPP instance, const char* url, NPReason reason, void* notifyData);
using NPP_GetValueProcPtr = NPError (*)(NPP instance, NPPVariable variable, void* value);
using NPP_SetValueProcPtr = NPError (*)(NPP instance, NPNVariable variable, void* value);
// A table slot that this code never fills or calls.
using NP_UnusedProcPtr = void (*)();

struct NPPluginFuncs {
    uint16 size;
    uint16 version;
    NPP_NewProcPtr newp;
    NPP_DestroyProcPtr destroy;
    NPP_SetWindowProcPtr setwindow;
    NPP_NewStreamProcPtr newstream;
    NPP_DestroyStreamProcPtr destroystream;
    NPP_StreamAsFileProcPtr asfile;
    NPP_WriteReadyProcPtr writeready;
    NPP_WriteProcPtr write;
    NPP_PrintProcPtr print;
    NPP_HandleEventProcPtr event;
    NPP_URLNotifyProcPtr urlnotify;
    JRIGlobalRef javaClass;
    NPP_GetValueProcPtr getvalue;
    NPP_SetValueProcPtr setvalue;
};

// The browser's functions, called by the plug-in.
using NPN_GetURLProcPtr = NPError (*)(NPP instance, const char* url, const char* target);
using NPN_PostURLProcPtr = NPError (*)(NPP instance, const char* url, const char* target, uint32 len,
                                       const char* buf, NPBool file);
using NPN_RequestReadProcPtr = NPError (*)(NPStream* stream, NPByteRange* rangeList);
using NPN_NewStreamProcPtr = NPError (*)(NPP instance, NPMIMEType type, const char* target,
                                         NPStream** stream);
using NPN_WriteProcPtr = int32 (*)(NPP instance, NPStream* stream, int32 len, void* buffer);
using NPN_DestroyStreamProcPtr = NPError (*)(NPP instance, NPStream* stream, NPReason reason);
using NPN_StatusProcPtr = void (*)(NPP instance, const char* message);
using NPN_UserAgentProcPtr = const char* (*)(NPP instance);
using NPN_MemAllocProcPtr = void* (*)(uint32 size);
using NPN_MemFreeProcPtr = void (*)(void* ptr);
using NPN_MemFlushProcPtr = uint32 (*)(uint32 size);
using NPN_ReloadPluginsProcPtr = void (*)(NPBool reloadPages);
using NPN_GetJavaEnvProcPtr = JRIEnv* (*)();
using NPN_GetJavaPeerProcPtr = jref (*)(NPP instance);
using NPN_GetURLNotifyProcPtr = NPError (*)(NPP instance, const char* url, const char* target,
                                            void* notifyData);
using NPN_PostURLNotifyProcPtr = NPError (*)(NPP instance, const char* url, const char* target, uint32 len,
                                             const char* buf, NPBool file, void* notifyData);
using NPN_GetValueProcPtr = NPError (*)(NPP instance, NPNVariable variable, void* value);
using NPN_SetValueProcPtr = NPError (*)(NPP instance, NPPVariable variable, void* value);
using NPN_InvalidateRectProcPtr = void (*)(NPP instance, NPRect* rect);
using NPN_ForceRedrawProcPtr = void (*)(NPP instance);
// Asks the browser to call func(userData) on its plug-in thread; callable from any thread.
using NPN_PluginThreadAsyncCallProcPtr = void (*)(NPP instance, void (*func)(void* userData), void* userData);

struct NPNetscapeFuncs {
    uint16 size;
    uint16 version;
    NPN_GetURLProcPtr geturl;
    NPN_PostURLProcPtr posturl;
    NPN_RequestReadProcPtr requestread;
    NPN_NewStreamProcPtr newstream;
    NPN_WriteProcPtr write;
    NPN_DestroyStreamProcPtr destroystream;
    NPN_StatusProcPtr status;
    NPN_UserAgentProcPtr uagent;
    NPN_MemAllocProcPtr memalloc;
    NPN_MemFreeProcPtr memfree;
    NPN_MemFlushProcPtr memflush;
    NPN_ReloadPluginsProcPtr reloadplugins;
    NPN_GetJavaEnvProcPtr getJavaEnv;
    NPN_GetJavaPeerProcPtr getJavaPeer;
    NPN_GetURLNotifyProcPtr geturlnotify;
    NPN_PostURLNotifyProcPtr posturlnotify;
    NPN_GetValueProcPtr getvalue;
    NPN_SetValueProcPtr setvalue;
    NPN_InvalidateRectProcPtr invalidaterect;
    NP_UnusedProcPtr invalidateregion;
    NPN_ForceRedrawProcPtr forceredraw;
    // The scripting functions (identifiers, objects, variants, exceptions), the pop-up state and the
    // enumeration of an object's properties.
    NP_UnusedProcPtr scripting[22];
    NPN_PluginThreadAsyncCallProcPtr pluginthreadasynccall;
};

// Where a browser of the Unix form puts the entries (every slot is one pointer after the two version words).
static_assert(sizeof(void*) != 8 || offsetof(NPNetscapeFuncs, getvalue) == 8 + 16 * 8);
static_assert(sizeof(void*) != 8 || offsetof(NPNetscapeFuncs, pluginthreadasynccall) == 8 + 43 * 8);
static_assert(sizeof(void*) != 8 || offsetof(NPPluginFuncs, getvalue) == 8 + 12 * 8);

// The entry points a plug-in file exports, as the browser looks them up by name.
using NP_GetEntryPointsFunc = NPError (*)(NPPluginFuncs* pluginFuncs);
// The Windows form passes the browser's table only (after NP_GetEntryPoints); the Unix form passes the
// plug-in's table too, to be filled there, and calls no NP_GetEntryPoints.
using NP_InitializeFunc = NPError (*)(NPNetscapeFuncs* browserFuncs);
using NP_InitializeUnixFunc = NPError (*)(NPNetscapeFuncs* browserFuncs, NPPluginFuncs* pluginFuncs);
using NP_ShutdownFunc = NPError (*)();
// The Unix form's registration: the MIME types as "type:extensions:description" entries separated by
// ';', and the plug-in's name and description through NP_GetValue before any instance exists.
using NP_GetMIMEDescriptionFunc = const char* (*)();
using NP_GetValueFunc = NPError (*)(void* future, NPPVariable variable, void* value);

}  // extern "C"
