// The Netscape plug-in interface as far as our plug-in and our test host use it: the scalar types, the
// instance, window and stream records, the two function tables and the error codes. Layouts are the
// published ones (C linkage, natural packing), declared here from the interface's description.
#pragma once

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

// window is a window handle of our window manager.
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
};

// The entry points a plug-in file exports, as the browser looks them up by name.
using NP_GetEntryPointsFunc = NPError (*)(NPPluginFuncs* pluginFuncs);
using NP_InitializeFunc = NPError (*)(NPNetscapeFuncs* browserFuncs);
using NP_ShutdownFunc = NPError (*)();

}  // extern "C"
