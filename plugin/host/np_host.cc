#include "plugin/host/np_host.h"

#include <dlfcn.h>
#include <stdlib.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <sstream>

#include "platform/kernel/module.h"
#include "platform/kernel/resources.h"
#include "platform/wm/winuser.h"

namespace qsm {

namespace {

constexpr WORD kVersionResource = 16;

// Browser functions that only count their calls.
NPError GetURL(NPP, const char*, const char*) {
    return ++TPluginHost::Calls()["geturl"], NPERR_NO_ERROR;
}
void Status(NPP, const char*) {
    ++TPluginHost::Calls()["status"];
}
const char* UserAgent(NPP) {
    ++TPluginHost::Calls()["uagent"];
    return "QSM test host";
}
void* MemAlloc(uint32 size) {
    ++TPluginHost::Calls()["memalloc"];
    return malloc(size);
}
void MemFree(void* p) {
    ++TPluginHost::Calls()["memfree"];
    free(p);
}
JRIEnv* GetJavaEnv() {
    return ++TPluginHost::Calls()["getJavaEnv"], nullptr;
}
bool Windowless = true;
NPError GetValue(NPP, NPNVariable variable, void* value) {
    ++TPluginHost::Calls()["getvalue"];
    if (variable == NPNVSupportsWindowless) {
        *static_cast<NPBool*>(value) = Windowless ? 1 : 0;
        return NPERR_NO_ERROR;
    }
    if (variable == NPNVSupportsXEmbedBool) {
        *static_cast<NPBool*>(value) = 1;
        return NPERR_NO_ERROR;
    }
    return NPERR_GENERIC_ERROR;
}
NPError SetValue(NPP, NPPVariable variable, void* value) {
    if (variable == NPPVpluginWindowBool && value == nullptr) ++TPluginHost::Calls()["setvalue windowless"];
    return NPERR_NO_ERROR;
}
void InvalidateRect(NPP, NPRect*) {
    ++TPluginHost::Calls()["invalidaterect"];
}
std::mutex AsyncLock;
std::condition_variable AsyncAsked;
std::vector<std::pair<void (*)(void*), void*>> AsyncCalls;
void AsyncCall(NPP, void (*func)(void*), void* data) {
    {
        std::lock_guard<std::mutex> lock(AsyncLock);
        AsyncCalls.emplace_back(func, data);
    }
    AsyncAsked.notify_all();
}
NPSetWindowCallbackStruct NoDisplay{};

}  // namespace

TPluginHost::TPluginHost() {
    char folder[] = "/tmp/qsm-np-cache-XXXXXX";
    if (mkdtemp(folder) != nullptr) Cache_ = folder;
}

TPluginHost::~TPluginHost() {
    Unload();
    if (!Cache_.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(Cache_, ec);
    }
}

std::map<std::string, int>& TPluginHost::Calls() {
    static std::map<std::string, int> calls;
    return calls;
}

bool TPluginHost::Load(const char* path) {
    Unload();
    Handle_ = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (Handle_ == nullptr) {
        const char* why = dlerror();
        Error_ = why != nullptr ? why : "cannot load";
        return false;
    }
    GetEntryPoints_ = reinterpret_cast<NP_GetEntryPointsFunc>(dlsym(Handle_, "NP_GetEntryPoints"));
    Initialize_ = reinterpret_cast<NP_InitializeUnixFunc>(dlsym(Handle_, "NP_Initialize"));
    Shutdown_ = reinterpret_cast<NP_ShutdownFunc>(dlsym(Handle_, "NP_Shutdown"));
    if (GetEntryPoints_ == nullptr || Initialize_ == nullptr || Shutdown_ == nullptr) {
        Error_ = "an entry point is missing";
        Unload();
        return false;
    }
    Module_ = ModuleOfAddress(reinterpret_cast<const void*>(GetEntryPoints_));
    return true;
}

void TPluginHost::Unload() {
    if (Handle_ != nullptr) dlclose(Handle_);
    Handle_ = nullptr;
    Module_ = nullptr;
    GetEntryPoints_ = nullptr;
    Initialize_ = nullptr;
    Shutdown_ = nullptr;
}

void* TPluginHost::Symbol(const char* name) const {
    return Handle_ != nullptr ? dlsym(Handle_, name) : nullptr;
}

std::map<std::string, std::string> TPluginHost::VersionStrings() const {
    std::map<std::string, std::string> values;
    HRSRC res = FindResourceA(Module_, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(kVersionResource));
    if (res == nullptr) return values;
    const char* data = static_cast<const char*>(LockResource(LoadResource(Module_, res)));
    std::istringstream lines(std::string(data, SizeofResource(Module_, res)));
    std::string line;
    while (std::getline(lines, line)) {
        size_t tab = line.find('\t');
        if (tab != std::string::npos) values[line.substr(0, tab)] = line.substr(tab + 1);
    }
    return values;
}

std::vector<std::string> TPluginHost::MimeTypes() const {
    std::vector<std::string> types;
    std::istringstream list(VersionStrings()["MIMEType"]);
    std::string type;
    while (std::getline(list, type, '|'))
        if (!type.empty()) types.push_back(type);
    return types;
}

NPError TPluginHost::GetEntryPoints(uint16 size) {
    Plugin_ = NPPluginFuncs{};
    Plugin_.size = size;
    return GetEntryPoints_(&Plugin_);
}

NPError TPluginHost::Initialize(uint16 version) {
    Browser_ = NPNetscapeFuncs{};
    Browser_.size = sizeof Browser_;
    Browser_.version = version;
    Browser_.geturl = GetURL;
    Browser_.status = Status;
    Browser_.uagent = UserAgent;
    Browser_.memalloc = MemAlloc;
    Browser_.memfree = MemFree;
    Browser_.getJavaEnv = GetJavaEnv;
    // The Windows form: the plug-in's table came with NP_GetEntryPoints, none comes here.
    return Initialize_(&Browser_, nullptr);
}

NPError TPluginHost::InitializeUnix(uint16 version, bool windowless) {
    Windowless = windowless;
    Plugin_ = NPPluginFuncs{};
    Plugin_.size = sizeof Plugin_;
    Browser_ = NPNetscapeFuncs{};
    Browser_.size = sizeof Browser_;
    Browser_.version = version;
    Browser_.uagent = UserAgent;
    Browser_.memalloc = MemAlloc;
    Browser_.memfree = MemFree;
    Browser_.getvalue = GetValue;
    Browser_.setvalue = SetValue;
    Browser_.invalidaterect = InvalidateRect;
    Browser_.pluginthreadasynccall = AsyncCall;
    return Initialize_(&Browser_, &Plugin_);
}

int TPluginHost::RunAsyncCalls(bool wait) {
    std::vector<std::pair<void (*)(void*), void*>> calls;
    {
        std::unique_lock<std::mutex> lock(AsyncLock);
        if (wait) AsyncAsked.wait_for(lock, std::chrono::minutes(1), [] { return !AsyncCalls.empty(); });
        calls.swap(AsyncCalls);
    }
    for (auto& [func, data] : calls)
        func(data);
    return static_cast<int>(calls.size());
}

NPError TPluginHost::Shutdown() {
    return Shutdown_();
}

NPError TPluginHost::New(Instance& inst, const char* type, uint16 mode,
                         const std::vector<std::pair<std::string, std::string>>& params) {
    inst.type = type;
    std::vector<char*> names;
    std::vector<char*> values;
    for (const auto& [name, value] : params) {
        names.push_back(const_cast<char*>(name.c_str()));
        values.push_back(const_cast<char*>(value.c_str()));
    }
    return Plugin_.newp(inst.type.data(), &inst.npp, mode, static_cast<int16>(params.size()), names.data(),
                        values.data(), nullptr);
}

NPError TPluginHost::SetWindow(Instance& inst, HWND window) {
    inst.window = NPWindow{};
    inst.window.window = window;
    inst.window.type = NPWindowTypeWindow;
    RECT r{};
    if (window != nullptr && GetClientRect(window, &r)) {
        inst.window.width = static_cast<uint32>(r.right - r.left);
        inst.window.height = static_cast<uint32>(r.bottom - r.top);
        inst.window.clipRect = {0, 0, static_cast<uint16>(inst.window.height),
                                static_cast<uint16>(inst.window.width)};
    }
    return Plugin_.setwindow(&inst.npp, &inst.window);
}

NPError TPluginHost::SetDrawable(Instance& inst, uint32 width, uint32 height) {
    inst.window = NPWindow{};
    inst.window.type = NPWindowTypeDrawable;
    inst.window.width = width;
    inst.window.height = height;
    inst.window.clipRect = {0, 0, static_cast<uint16>(height), static_cast<uint16>(width)};
    return Plugin_.setwindow(&inst.npp, &inst.window);
}

NPError TPluginHost::SetXWindow(Instance& inst, unsigned long socket, uint32 width, uint32 height) {
    inst.window = NPWindow{};
    inst.window.type = NPWindowTypeWindow;
    inst.window.window = reinterpret_cast<void*>(static_cast<uintptr_t>(socket));
    inst.window.width = width;
    inst.window.height = height;
    inst.window.clipRect = {0, 0, static_cast<uint16>(height), static_cast<uint16>(width)};
    // The plug-in opens the display of the environment.
    inst.window.ws_info = &NoDisplay;
    return Plugin_.setwindow(&inst.npp, &inst.window);
}

NPError TPluginHost::Deliver(Instance& inst, const char* sourceFile, uint16* stype) {
    const std::string name = std::filesystem::path(sourceFile).filename().string();
    const std::string url = "http://example.invalid/" + name;
    NPStream stream{};
    stream.url = url.c_str();
    uint16 asked = NP_NORMAL;
    NPError err = Plugin_.newstream(&inst.npp, inst.type.data(), &stream, 0, &asked);
    if (stype != nullptr) *stype = asked;
    if (err != NPERR_NO_ERROR) return err;
    if (asked == NP_ASFILE || asked == NP_ASFILEONLY) {
        // The cache keeps each download in a folder of its own under the file's name.
        std::filesystem::path folder = std::filesystem::path(Cache_) / std::to_string(++Streams_);
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        const std::filesystem::path cached = folder / name;
        std::filesystem::copy_file(sourceFile, cached, std::filesystem::copy_options::overwrite_existing, ec);
        if (ec) return Plugin_.destroystream(&inst.npp, &stream, NPRES_NETWORK_ERR), NPERR_FILE_NOT_FOUND;
        Plugin_.asfile(&inst.npp, &stream, cached.c_str());
    }
    return Plugin_.destroystream(&inst.npp, &stream, NPRES_DONE);
}

NPError TPluginHost::Destroy(Instance& inst) {
    NPSavedData* saved = nullptr;
    return Plugin_.destroy(&inst.npp, &saved);
}

HWND TPluginHost::FindDescendant(HWND window, const char* className) {
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        char name[128] = {};
        GetClassNameA(child, name, sizeof name);
        if (std::strcmp(name, className) == 0) return child;
        if (HWND found = FindDescendant(child, className)) return found;
    }
    return nullptr;
}

}  // namespace qsm
