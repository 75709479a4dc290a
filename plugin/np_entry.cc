#include "plugin/np_entry.h"

#include <cstddef>
#include <new>
#include <optional>

#include "core/sys_info.h"
#include "platform/framework/window.h"
#include "platform/kernel/module.h"
#include "platform/wm/winuser.h"
#include "plugin/plugin.h"
#include "render/hooks.h"
#include "render/music_fonts.h"

namespace {

HINSTANCE ModuleHandle = nullptr;
std::optional<TModule> ModuleStorage;
TModule* Module = nullptr;
TApplication* Application = nullptr;
NPPluginFuncs* PluginFuncs = nullptr;
NPNetscapeFuncs* BrowserFuncs = nullptr;

// What loading the library does: the module handle and the framework's module object over it.
struct TModuleAttach {
    TModuleAttach() {
        ModuleHandle = qsm::ModuleOfAddress(reinterpret_cast<const void*>(&NP_GetEntryPoints));
        ModuleStorage.emplace("NPQSMW32.DLL", ModuleHandle);
        Module = &*ModuleStorage;
    }
};
const TModuleAttach attach;

// True when a table of the given size holds the field that ends at the given offset.
bool Holds(uint16 size, size_t fieldEnd) {
    return fieldEnd <= size;
}

#define QSM_FIELD_END(type, field) (offsetof(type, field) + sizeof(type::field))

int BrowserMinor() {
    return BrowserFuncs != nullptr ? BrowserFuncs->version & 0xFF : 0;
}

// The Java class of the plug-in, registered with the browser's Java environment when there is one.
JRIGlobalRef QueryJavaClass() {
    JRIGlobalRef cls = NPP_GetJavaClass();
    if (cls != nullptr) NPN_GetJavaEnv();
    return cls;
}

CPlugin* PluginOf(NPP instance) {
    return static_cast<CPlugin*>(instance->pdata);
}

void DeletePlugin(NPP instance) {
    CPlugin* plugin = PluginOf(instance);
    plugin->Shut();
    delete plugin;
    instance->pdata = nullptr;
}

}  // namespace

// ---- exports ----

NPError NP_GetEntryPoints(NPPluginFuncs* pluginFuncs) {
    if (pluginFuncs == nullptr) return NPERR_INVALID_FUNCTABLE_ERROR;
    // The table must hold every entry filled here; a smaller one would be written past its end.
    if (!Holds(pluginFuncs->size, QSM_FIELD_END(NPPluginFuncs, event))) return NPERR_INVALID_FUNCTABLE_ERROR;
    pluginFuncs->version = (NP_VERSION_MAJOR << 8) | NP_VERSION_MINOR;
    pluginFuncs->newp = NPP_New;
    pluginFuncs->destroy = NPP_Destroy;
    pluginFuncs->setwindow = NPP_SetWindow;
    pluginFuncs->newstream = NPP_NewStream;
    pluginFuncs->destroystream = NPP_DestroyStream;
    pluginFuncs->asfile = NPP_StreamAsFile;
    pluginFuncs->writeready = NPP_WriteReady;
    pluginFuncs->write = NPP_Write;
    pluginFuncs->print = NPP_Print;
    pluginFuncs->event = nullptr;
    PluginFuncs = pluginFuncs;
    return NPERR_NO_ERROR;
}

NPError NP_Initialize(NPNetscapeFuncs* browserFuncs) {
    if (browserFuncs == nullptr) return NPERR_INVALID_FUNCTABLE_ERROR;
    BrowserFuncs = browserFuncs;
    qsm::InstallScoreHooks();
    if ((browserFuncs->version >> 8) > NP_VERSION_MAJOR) return NPERR_INCOMPATIBLE_VERSION_ERROR;
    if ((browserFuncs->version & 0xFF) >= NPVERS_HAS_NOTIFICATION && PluginFuncs != nullptr) {
        // Only into the table kept by NP_GetEntryPoints, and only as far as the browser made it.
        if (Holds(PluginFuncs->size, QSM_FIELD_END(NPPluginFuncs, urlnotify)))
            PluginFuncs->urlnotify = NPP_URLNotify;
        if (Holds(PluginFuncs->size, QSM_FIELD_END(NPPluginFuncs, javaClass)))
            PluginFuncs->javaClass = QueryJavaClass();
    }
    return NPP_Initialize();
}

NPError NP_Shutdown() {
    NPP_Shutdown();
    BrowserFuncs = nullptr;
    return NPERR_NO_ERROR;
}

// ---- process ----

NPError NPP_Initialize() {
    if (Application == nullptr)
        Application = new TApplication("ALIAS", Module != nullptr ? Module->GetInstance() : nullptr);
    SysInfo.SetNames("QuillStave Software", "QuillStave Composer 2 Viewer");
    return NPERR_NO_ERROR;
}

void NPP_Shutdown() {
    delete Application;
    Application = nullptr;
}

JRIGlobalRef NPP_GetJavaClass() {
    return nullptr;
}

// ---- instances ----

NPError NPP_New(NPMIMEType, NPP instance, uint16 mode, int16 argc, char* argn[], char* argv[], NPSavedData*) {
    if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
    if (!TMusicFonts::IsFontInstalled(nullptr)) {
        MessageBoxA(nullptr,
                    "The QSM true-type font (qsm2stda.ttf) cannot be found on the system.\n\n"
                    "Please install the font, then try again.",
                    "Font Error", MB_TASKMODAL | MB_ICONEXCLAMATION);
        return NPERR_INVALID_INSTANCE_ERROR;
    }
    CPlugin* plugin = new (std::nothrow) CPlugin(Application, ModuleHandle, instance, mode, argc, argn, argv);
    if (plugin == nullptr) return NPERR_OUT_OF_MEMORY_ERROR;
    instance->pdata = plugin;
    return NPERR_NO_ERROR;
}

NPError NPP_Destroy(NPP instance, NPSavedData**) {
    if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
    if (PluginOf(instance) != nullptr) DeletePlugin(instance);
    return NPERR_NO_ERROR;
}

NPError NPP_SetWindow(NPP instance, NPWindow* window) {
    if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
    CPlugin* plugin = PluginOf(instance);
    if (plugin == nullptr) return NPERR_GENERIC_ERROR;
    HWND hwnd = window != nullptr ? static_cast<HWND>(window->window) : nullptr;
    if (hwnd != nullptr && IsWindow(hwnd)) {
        if (!plugin->IsInitialised() && !plugin->Init(hwnd, "NPQSMW32"))
            return NPERR_MODULE_LOAD_FAILED_ERROR;
        plugin->Resize();
    } else {
        DeletePlugin(instance);
    }
    return NPERR_NO_ERROR;
}

NPError NPP_NewStream(NPP instance, NPMIMEType, NPStream*, NPBool, uint16* stype) {
    if (instance == nullptr || PluginOf(instance) == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
    if (stype != nullptr) *stype = NP_ASFILEONLY;
    return NPERR_NO_ERROR;
}

NPError NPP_DestroyStream(NPP, NPStream*, NPReason) {
    return NPERR_NO_ERROR;
}

void NPP_StreamAsFile(NPP instance, NPStream*, const char* fname) {
    if (instance == nullptr || PluginOf(instance) == nullptr || fname == nullptr || *fname == '\0') return;
    PluginOf(instance)->OnStreamAsFile(fname);
}

int32 NPP_WriteReady(NPP, NPStream*) {
    return 0;
}

int32 NPP_Write(NPP, NPStream*, int32, int32, void*) {
    return 0;
}

void NPP_Print(NPP instance, NPPrint* platformPrint) {
    if (instance != nullptr && PluginOf(instance) != nullptr) PluginOf(instance)->Print(platformPrint);
}

void NPP_URLNotify(NPP, const char*, NPReason, void*) {}

// ---- the browser's functions ----

void NPN_Version(int* pluginMajor, int* pluginMinor, int* browserMajor, int* browserMinor) {
    *pluginMajor = NP_VERSION_MAJOR;
    *pluginMinor = NP_VERSION_MINOR;
    *browserMajor = BrowserFuncs != nullptr ? BrowserFuncs->version >> 8 : 0;
    *browserMinor = BrowserMinor();
}

// A missing browser table or function answers as a browser too old for it.
#define QSM_BROWSER_CALL(field, gate, refusal, ...)                                               \
    do {                                                                                          \
        if (BrowserMinor() < (gate) || BrowserFuncs == nullptr || BrowserFuncs->field == nullptr) \
            return refusal;                                                                       \
        return BrowserFuncs->field(__VA_ARGS__);                                                  \
    } while (false)

NPError NPN_GetURLNotify(NPP instance, const char* url, const char* target, void* notifyData) {
    QSM_BROWSER_CALL(geturlnotify, NPVERS_HAS_NOTIFICATION, NPERR_INCOMPATIBLE_VERSION_ERROR, instance, url,
                     target, notifyData);
}

NPError NPN_GetURL(NPP instance, const char* url, const char* target) {
    QSM_BROWSER_CALL(geturl, NPVERS_HAS_STREAMOUTPUT, NPERR_INCOMPATIBLE_VERSION_ERROR, instance, url,
                     target);
}

NPError NPN_PostURLNotify(NPP instance, const char* url, const char* target, uint32 len, const char* buf,
                          NPBool file, void* notifyData) {
    QSM_BROWSER_CALL(posturlnotify, NPVERS_HAS_NOTIFICATION, NPERR_INCOMPATIBLE_VERSION_ERROR, instance, url,
                     target, len, buf, file, notifyData);
}

NPError NPN_PostURL(NPP instance, const char* url, const char* target, uint32 len, const char* buf,
                    NPBool file) {
    QSM_BROWSER_CALL(posturl, NPVERS_HAS_STREAMOUTPUT, NPERR_INCOMPATIBLE_VERSION_ERROR, instance, url,
                     target, len, buf, file);
}

NPError NPN_RequestRead(NPStream* stream, NPByteRange* rangeList) {
    QSM_BROWSER_CALL(requestread, NPVERS_HAS_STREAMOUTPUT, NPERR_INCOMPATIBLE_VERSION_ERROR, stream,
                     rangeList);
}

NPError NPN_NewStream(NPP instance, NPMIMEType type, const char* target, NPStream** stream) {
    QSM_BROWSER_CALL(newstream, NPVERS_HAS_STREAMOUTPUT, NPERR_INCOMPATIBLE_VERSION_ERROR, instance, type,
                     target, stream);
}

int32 NPN_Write(NPP instance, NPStream* stream, int32 len, void* buffer) {
    QSM_BROWSER_CALL(write, NPVERS_HAS_STREAMOUTPUT, -1, instance, stream, len, buffer);
}

NPError NPN_DestroyStream(NPP instance, NPStream* stream, NPReason reason) {
    QSM_BROWSER_CALL(destroystream, NPVERS_HAS_STREAMOUTPUT, NPERR_INCOMPATIBLE_VERSION_ERROR, instance,
                     stream, reason);
}

void NPN_Status(NPP instance, const char* message) {
    if (BrowserFuncs != nullptr && BrowserFuncs->status != nullptr) BrowserFuncs->status(instance, message);
}

const char* NPN_UserAgent(NPP instance) {
    QSM_BROWSER_CALL(uagent, 0, nullptr, instance);
}

void* NPN_MemAlloc(uint32 size) {
    QSM_BROWSER_CALL(memalloc, 0, nullptr, size);
}

void NPN_MemFree(void* ptr) {
    if (BrowserFuncs != nullptr && BrowserFuncs->memfree != nullptr) BrowserFuncs->memfree(ptr);
}

uint32 NPN_MemFlush(uint32 size) {
    QSM_BROWSER_CALL(memflush, 0, 0, size);
}

void NPN_ReloadPlugins(NPBool reloadPages) {
    if (BrowserFuncs != nullptr && BrowserFuncs->reloadplugins != nullptr)
        BrowserFuncs->reloadplugins(reloadPages);
}

JRIEnv* NPN_GetJavaEnv() {
    QSM_BROWSER_CALL(getJavaEnv, 0, nullptr);
}

jref NPN_GetJavaPeer(NPP instance) {
    QSM_BROWSER_CALL(getJavaPeer, 0, nullptr, instance);
}
