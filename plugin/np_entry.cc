#include "plugin/np_entry.h"

#include <stdlib.h>

#include <cstddef>
#include <filesystem>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <sstream>
#include <string>

#include "core/sys_info.h"
#include "platform/framework/window.h"
#include "platform/kernel/files.h"
#include "platform/kernel/module.h"
#include "platform/kernel/resources.h"
#include "platform/mm/recording_env.h"
#include "platform/npapi/x11_embed.h"
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
// The plug-in's table came with NP_Initialize: the browser speaks the interface's Unix form.
bool UnixForm = false;
// The sites of the instances of a browser of the Unix form, by instance.
std::map<NPP, std::unique_ptr<qsm::np::TPluginSite>> Sites;

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
    Sites.erase(instance);
}

// A string value of the plug-in's version resource ("MIMEType", "FileExtents" ...), or "".
std::string VersionString(const char* name) {
    HRSRC res = FindResourceA(ModuleHandle, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16));
    if (res == nullptr) return {};
    const char* data = static_cast<const char*>(LockResource(LoadResource(ModuleHandle, res)));
    if (data == nullptr) return {};
    std::istringstream lines(std::string(data, SizeofResource(ModuleHandle, res)));
    std::string line;
    const std::string key = std::string(name) + '\t';
    while (std::getline(lines, line))
        if (line.compare(0, key.size(), key) == 0) return line.substr(key.size());
    return {};
}

// The answers to the name and description queries; false for other variables.
bool RegistrationValue(NPPVariable variable, void* value) {
    static std::string name, description;
    if (variable == NPPVpluginNameString) {
        name = VersionString("ProductName");
        *static_cast<const char**>(value) = name.c_str();
        return true;
    }
    if (variable == NPPVpluginDescriptionString) {
        description = VersionString("FileDescription");
        *static_cast<const char**>(value) = description.c_str();
        return true;
    }
    return false;
}

// A browser of the Unix form: the instance draws through a site of its own, into the drawable of a
// windowless record or into a window of its own in the XEmbed socket of a windowed one.
bool IsSiteRecord(const NPWindow* window) {
    return UnixForm && qsm::np::BrowserLoopRunning() && window != nullptr &&
           (window->type == NPWindowTypeDrawable ||
            (window->type == NPWindowTypeWindow && window->window != nullptr));
}

// The drawing model the browser offers the instance: windowless first, else windowed through XEmbed.
bool OffersWindowless(NPP instance) {
    NPBool offered = 0;
    return NPN_GetValue(instance, NPNVSupportsWindowless, &offered) == NPERR_NO_ERROR && offered;
}
bool OffersXEmbed(NPP instance) {
    NPBool offered = 0;
    return NPN_GetValue(instance, NPNVSupportsXEmbedBool, &offered) == NPERR_NO_ERROR && offered;
}

// The folder of this process's copies of delivered files, made on first use; removed at NP_Shutdown.
std::string CopiesFolder;
int Copies = 0;

// A browser of the Unix form deletes the file it delivered as soon as the stream ends, while the player
// hands the file over later (save a copy, open in the viewer). The instance keeps a copy of its own, under
// the name the file has in its URL, as long as the plug-in is loaded; "" when no copy could be made.
std::string KeepDeliveredFile(const char* fname, const char* url) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (CopiesFolder.empty()) {
        char folder[MAX_PATH];
        if (GetTempPathA(sizeof folder, folder) == 0) return {};
        std::string pattern = (fs::path(folder) / "qsm-plugin-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) return {};
        CopiesFolder = pattern;
    }
    std::string name = url != nullptr ? url : "";
    name = name.substr(0, name.find_first_of("?#"));
    name = name.substr(name.find_last_of('/') + 1);
    if (name.empty() || name == "." || name == "..") name = fs::path(fname).filename().string();
    const fs::path folder = fs::path(CopiesFolder) / std::to_string(++Copies);
    fs::create_directories(folder, ec);
    const fs::path copy = folder / name;
    if (ec || !fs::copy_file(fname, copy, fs::copy_options::overwrite_existing, ec) || ec) return {};
    return copy.string();
}

void InvalidateThrough(NPP instance, NPRect* rect) {
    NPN_InvalidateRect(instance, rect);
}

}  // namespace

// ---- exports ----

namespace {

void FillEntries(NPPluginFuncs* pluginFuncs) {
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
}

}  // namespace

NPError NP_GetEntryPoints(NPPluginFuncs* pluginFuncs) {
    if (pluginFuncs == nullptr) return NPERR_INVALID_FUNCTABLE_ERROR;
    // The table must hold every entry filled here; a smaller one would be written past its end.
    if (!Holds(pluginFuncs->size, QSM_FIELD_END(NPPluginFuncs, event))) return NPERR_INVALID_FUNCTABLE_ERROR;
    FillEntries(pluginFuncs);
    PluginFuncs = pluginFuncs;
    return NPERR_NO_ERROR;
}

NPError NP_Initialize(NPNetscapeFuncs* browserFuncs, NPPluginFuncs* pluginFuncs) {
    if (browserFuncs == nullptr) return NPERR_INVALID_FUNCTABLE_ERROR;
    BrowserFuncs = browserFuncs;
    qsm::InstallScoreHooks();
    if ((browserFuncs->version >> 8) > NP_VERSION_MAJOR) return NPERR_INCOMPATIBLE_VERSION_ERROR;
    if (PluginFuncs == nullptr && pluginFuncs != nullptr) {
        // The Unix form: the table to fill comes here, with room for the entries of that form.
        if (!Holds(pluginFuncs->size, QSM_FIELD_END(NPPluginFuncs, event)))
            return NPERR_INVALID_FUNCTABLE_ERROR;
        FillEntries(pluginFuncs);
        pluginFuncs->event = NPP_HandleEvent;
        if (Holds(pluginFuncs->size, QSM_FIELD_END(NPPluginFuncs, getvalue)))
            pluginFuncs->getvalue = NPP_GetValue;
        PluginFuncs = pluginFuncs;
        UnixForm = true;
    }
    if ((browserFuncs->version & 0xFF) >= NPVERS_HAS_NOTIFICATION && PluginFuncs != nullptr) {
        // Only into the table kept by NP_GetEntryPoints, and only as far as the browser made it.
        if (Holds(PluginFuncs->size, QSM_FIELD_END(NPPluginFuncs, urlnotify)))
            PluginFuncs->urlnotify = NPP_URLNotify;
        if (Holds(PluginFuncs->size, QSM_FIELD_END(NPPluginFuncs, javaClass)))
            PluginFuncs->javaClass = QueryJavaClass();
    }
    const NPError result = NPP_Initialize();
    // A browser of the Unix form runs its own event loop: the window manager runs from it, and the
    // plug-in's dialogs and message boxes show on the display.
    if (result == NPERR_NO_ERROR && UnixForm) {
        // As the viewer does at its start: a test names a file that records what is played.
        static const bool recording = qsm::mm::InstallTestRecorderFromEnvironment();
        (void)recording;
        NPN_PluginThreadAsyncCallProcPtr async = nullptr;
        if (Holds(browserFuncs->size, QSM_FIELD_END(NPNetscapeFuncs, pluginthreadasynccall)))
            async = browserFuncs->pluginthreadasynccall;
        qsm::np::StartBrowserLoop(async);
    }
    return result;
}

NPError NP_Shutdown() {
    Sites.clear();
    if (!CopiesFolder.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(CopiesFolder, ec);
        CopiesFolder.clear();
    }
    qsm::np::StopBrowserLoop();
    NPP_Shutdown();
    BrowserFuncs = nullptr;
    if (UnixForm) {
        // The browser may load the plug-in anew and hand over another table.
        PluginFuncs = nullptr;
        UnixForm = false;
    }
    return NPERR_NO_ERROR;
}

const char* NP_GetMIMEDescription() {
    // "type:extension:description" for each type; the description is the file type's name without the
    // pattern list, whose ';' would end the entry.
    static std::string description;
    std::string name = VersionString("FileOpenName");
    const size_t pattern = name.find(" (");
    if (pattern != std::string::npos) name.resize(pattern);
    std::istringstream types(VersionString("MIMEType"));
    std::istringstream extensions(VersionString("FileExtents"));
    std::string type, extension;
    description.clear();
    while (std::getline(types, type, '|')) {
        if (!std::getline(extensions, extension, '|')) extension.clear();
        if (type.empty()) continue;
        if (!description.empty()) description += ';';
        description += type + ':' + extension + ':' + name;
    }
    return description.c_str();
}

NPError NP_GetValue(void*, NPPVariable variable, void* value) {
    if (value == nullptr) return NPERR_INVALID_PARAM;
    return RegistrationValue(variable, value) ? NPERR_NO_ERROR : NPERR_GENERIC_ERROR;
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
    // Windowless where the browser offers it: its window records are then drawables, which a site shows.
    if (UnixForm && qsm::np::BrowserLoopRunning() && OffersWindowless(instance)) {
        NPN_SetValue(instance, NPPVpluginWindowBool, nullptr);
        NPN_SetValue(instance, NPPVpluginTransparentBool, nullptr);
    }
    qsm::np::PumpBrowserLoop();
    return NPERR_NO_ERROR;
}

NPError NPP_Destroy(NPP instance, NPSavedData**) {
    if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
    if (PluginOf(instance) != nullptr) DeletePlugin(instance);
    qsm::np::PumpBrowserLoop();
    return NPERR_NO_ERROR;
}

NPError NPP_SetWindow(NPP instance, NPWindow* window) {
    if (instance == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
    CPlugin* plugin = PluginOf(instance);
    if (plugin == nullptr) return NPERR_GENERIC_ERROR;
    HWND hwnd = window != nullptr ? static_cast<HWND>(window->window) : nullptr;
    if (IsSiteRecord(window)) {
        // The instance's rectangle on the page: its site stands for the browser's window.
        std::unique_ptr<qsm::np::TPluginSite>& site = Sites[instance];
        if (!site) site = std::make_unique<qsm::np::TPluginSite>(instance, InvalidateThrough);
        hwnd = site->SetWindow(*window) ? site->GetHandle() : nullptr;
    }
    if (hwnd != nullptr && IsWindow(hwnd)) {
        if (!plugin->IsInitialised() && !plugin->Init(hwnd, "NPQSMW32"))
            return NPERR_MODULE_LOAD_FAILED_ERROR;
        plugin->Resize();
    } else {
        DeletePlugin(instance);
    }
    qsm::np::PumpBrowserLoop();
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

void NPP_StreamAsFile(NPP instance, NPStream* stream, const char* fname) {
    if (instance == nullptr || PluginOf(instance) == nullptr || fname == nullptr || *fname == '\0') return;
    std::string kept;
    if (UnixForm) kept = KeepDeliveredFile(fname, stream != nullptr ? stream->url : nullptr);
    PluginOf(instance)->OnStreamAsFile(kept.empty() ? fname : kept.c_str());
    qsm::np::PumpBrowserLoop();
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

int16 NPP_HandleEvent(NPP instance, void* event) {
    if (instance == nullptr || event == nullptr) return 0;
    auto site = Sites.find(instance);
    if (site == Sites.end() || !site->second) return 0;
    return site->second->HandleEvent(event) ? 1 : 0;
}

NPError NPP_GetValue(NPP instance, NPPVariable variable, void* value) {
    if (value == nullptr) return NPERR_INVALID_PARAM;
    if (RegistrationValue(variable, value)) return NPERR_NO_ERROR;
    if (variable == NPPVpluginNeedsXEmbed) {
        // Windowed only where the browser offers no windowless drawing, and then through XEmbed.
        *static_cast<NPBool*>(value) =
            UnixForm && instance != nullptr && !OffersWindowless(instance) && OffersXEmbed(instance);
        return NPERR_NO_ERROR;
    }
    return NPERR_GENERIC_ERROR;
}

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

NPError NPN_GetValue(NPP instance, NPNVariable variable, void* value) {
    if (BrowserFuncs == nullptr || !Holds(BrowserFuncs->size, QSM_FIELD_END(NPNetscapeFuncs, getvalue)) ||
        BrowserFuncs->getvalue == nullptr)
        return NPERR_GENERIC_ERROR;
    return BrowserFuncs->getvalue(instance, variable, value);
}

NPError NPN_SetValue(NPP instance, NPPVariable variable, void* value) {
    if (BrowserFuncs == nullptr || !Holds(BrowserFuncs->size, QSM_FIELD_END(NPNetscapeFuncs, setvalue)) ||
        BrowserFuncs->setvalue == nullptr)
        return NPERR_GENERIC_ERROR;
    return BrowserFuncs->setvalue(instance, variable, value);
}

void NPN_InvalidateRect(NPP instance, NPRect* rect) {
    if (BrowserFuncs != nullptr &&
        Holds(BrowserFuncs->size, QSM_FIELD_END(NPNetscapeFuncs, invalidaterect)) &&
        BrowserFuncs->invalidaterect != nullptr)
        BrowserFuncs->invalidaterect(instance, rect);
}
