// Message queues: posting and sending from any thread, the retrieval order, translation and dispatch,
// registered messages, timers and the clock.
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>

#include "platform/wm/internal.h"

namespace qsm::wm {
namespace {

std::atomic<bool> g_manual_clock{false};
std::atomic<DWORD> g_manual_now{0};

DWORD RealNow() {
    static const auto start = std::chrono::steady_clock::now();
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    // Starts a little above zero so that "no time yet" (0) is never a real time.
    return static_cast<DWORD>(ms.count() + 1000);
}

// The thread's queue; dropped (and its pending senders released) when the thread ends.
struct QueueHolder {
    std::shared_ptr<ThreadQueue> q;
    ~QueueHolder() {
        if (!q) return;
        {
            State& s = S();
            std::lock_guard<std::mutex> lock(s.m);
            s.queues.erase(q->thread_id);
        }
        std::deque<std::shared_ptr<SentMessage>> sent;
        {
            std::lock_guard<std::mutex> lock(q->m);
            q->alive = false;
            sent.swap(q->sent);
        }
        for (auto& sm : sent) {
            {
                std::lock_guard<std::mutex> lock(sm->m);
                sm->done = true;
                sm->cv.notify_all();
            }
            if (sm->finished) sm->finished();
        }
    }
};
thread_local QueueHolder t_queue;

bool InRange(UINT msg, UINT min, UINT max) {
    return (min == 0 && max == 0) || (msg >= min && msg <= max);
}

bool HwndMatches(HWND msg_hwnd, HWND filter) {
    if (filter == nullptr) return true;
    if (filter == reinterpret_cast<HWND>(static_cast<intptr_t>(-1))) return msg_hwnd == nullptr;
    return msg_hwnd == filter || IsChild(filter, msg_hwnd);
}

void Complete(SentMessage& sm, LRESULT r) {
    {
        std::lock_guard<std::mutex> lock(sm.m);
        sm.result = r;
        sm.done = true;
        sm.cv.notify_all();
    }
    if (sm.finished) sm.finished();
}

// Runs messages other threads sent to this thread's windows.
void ProcessIncomingSends(ThreadQueue& q) {
    for (;;) {
        std::shared_ptr<SentMessage> sm;
        {
            std::lock_guard<std::mutex> lock(q.m);
            if (q.sent.empty()) return;
            sm = q.sent.front();
            q.sent.pop_front();
        }
        LRESULT r = 0;
        if (sm->call) {
            q.in_send++;
            r = sm->call();
            q.in_send--;
        } else if (auto w = Hold(sm->hwnd)) {
            q.in_send++;
            r = Call(w.get(), sm->msg, sm->wparam, sm->lparam);
            q.in_send--;
        }
        Complete(*sm, r);
    }
}

bool TakeFrom(std::deque<MSG>& list, MSG* out, HWND filter, UINT min, UINT max, bool remove) {
    for (auto it = list.begin(); it != list.end();) {
        if (it->hwnd != nullptr && W(it->hwnd) == nullptr) {
            it = list.erase(it);  // for a window that is gone
            continue;
        }
        if (HwndMatches(it->hwnd, filter) && InRange(it->message, min, max)) {
            *out = *it;
            if (remove) list.erase(it);
            return true;
        }
        ++it;
    }
    return false;
}

bool TakeTimer(ThreadQueue& q, MSG* out, HWND filter, UINT min, UINT max, bool remove) {
    if (!InRange(WM_TIMER, min, max) || q.timers.empty()) return false;
    DWORD now = Now();
    for (Timer& t : q.timers) {
        if (static_cast<int32_t>(now - t.due) < 0) continue;
        if (!HwndMatches(t.hwnd, filter)) continue;
        if (t.system) {
            // Internal timers run here and are never seen by the program.
            if (!remove) continue;
            t.due = now + t.interval;
            HWND h = t.hwnd;
            UINT_PTR id = t.id;
            TIMERPROC proc = t.proc;
            if (proc != nullptr && W(h) != nullptr) proc(h, WM_TIMER, id, now);
            return false;
        }
        *out = MSG{t.hwnd, WM_TIMER, t.id, reinterpret_cast<LPARAM>(t.proc), now, S().cursor, 0};
        if (remove) t.due = now + t.interval;
        return true;
    }
    return false;
}

// One pass over the sources in the order sent, posted, input, quit, paint, timers.
bool Fetch(ThreadQueue& q, MSG* out, HWND filter, UINT min, UINT max, bool remove) {
    if (q.backend_thread) CurrentBackend().Pump();
    ProcessIncomingSends(q);
    {
        std::lock_guard<std::mutex> lock(q.m);
        if (TakeFrom(q.posted, out, filter, min, max, remove)) return true;
        if (TakeFrom(q.input, out, filter, min, max, remove)) {
            // Keys go to the window that has the focus when they are taken, not when they arrived: keys
            // typed ahead while a dialog sets its focus reach the control it chose.
            bool key = out->message >= WM_KEYFIRST && out->message <= WM_KEYLAST;
            if (key && filter == nullptr && W(S().focus) != nullptr && out->hwnd != nullptr)
                out->hwnd = S().focus;
            if (remove) TrackKeyState(*out);
            return true;
        }
        if (q.quit && InRange(WM_QUIT, min, max)) {
            *out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q.quit_code), 0, Now(), S().cursor, 0};
            if (remove) q.quit = false;
            return true;
        }
    }
    if (q.windows_to_paint > 0 && InRange(WM_PAINT, min, max)) {
        Window* w = FindWindowToPaint(q);
        if (w != nullptr && HwndMatches(w->handle, filter)) {
            *out = MSG{w->handle, WM_PAINT, 0, 0, Now(), S().cursor, 0};
            return true;
        }
    }
    for (int guard = 0; guard < 8; ++guard) {
        size_t before = q.timers.size();
        if (TakeTimer(q, out, filter, min, max, remove)) return true;
        if (q.timers.size() == before) break;
    }
    if (q.backend_thread) CurrentBackend().Settle();
    return false;
}

DWORD NextTimerWait(ThreadQueue& q) {
    if (q.timers.empty()) return 0xFFFFFFFFu;
    DWORD now = Now();
    int32_t best = 0x7FFFFFFF;
    for (const Timer& t : q.timers)
        best = std::min(best, static_cast<int32_t>(t.due - now));
    return best <= 0 ? 0 : static_cast<DWORD>(best);
}

bool HasWork(ThreadQueue& q) {
    return !q.posted.empty() || !q.input.empty() || !q.sent.empty() || q.quit;
}

void WaitForWork(ThreadQueue& q) {
    DWORD timeout = NextTimerWait(q);
    if (timeout == 0) return;
    if (q.backend_thread && CurrentBackend().OwnsWait()) {
        {
            std::lock_guard<std::mutex> lock(q.m);
            if (HasWork(q)) return;
        }
        CurrentBackend().Wait(g_manual_clock ? 50 : timeout);
        return;
    }
    std::unique_lock<std::mutex> lock(q.m);
    if (HasWork(q)) return;
    if (g_manual_clock || timeout == 0xFFFFFFFFu) {
        // A manual clock only moves when a test advances it (or is switched off), which wakes every queue;
        // with the real clock and no timer only work wakes the queue.
        const bool manual = g_manual_clock;
        DWORD stamp = g_manual_now;
        q.cv.wait(lock, [&] { return HasWork(q) || (manual && (g_manual_now != stamp || !g_manual_clock)); });
        return;
    }
    q.cv.wait_for(lock, std::chrono::milliseconds(timeout), [&] { return HasWork(q); });
}

bool PostTo(ThreadQueue& q, const MSG& m) {
    {
        std::lock_guard<std::mutex> lock(q.m);
        if (!q.alive) return false;
        q.posted.push_back(m);
    }
    WakeQueue(q);
    return true;
}

}  // namespace

DWORD Now() {
    return g_manual_clock ? g_manual_now.load() : RealNow();
}

std::shared_ptr<ThreadQueue> CurrentQueueShared() {
    if (!t_queue.q) {
        auto q = std::make_shared<ThreadQueue>();
        q->thread_id = static_cast<DWORD>(syscall(SYS_gettid));
        State& s = S();
        std::lock_guard<std::mutex> lock(s.m);
        // The first thread that makes a queue is the one the display backend runs on.
        static bool backend_claimed = false;
        if (!backend_claimed) {
            backend_claimed = true;
            q->backend_thread = true;
        }
        s.queues[q->thread_id] = q;
        t_queue.q = q;
    }
    return t_queue.q;
}

ThreadQueue& CurrentQueue() {
    return *CurrentQueueShared();
}

void WakeQueue(ThreadQueue& q) {
    q.cv.notify_all();
    if (q.backend_thread) CurrentBackend().Wake();
}

void WakeAllQueues() {
    std::vector<std::shared_ptr<ThreadQueue>> all;
    {
        State& s = S();
        std::lock_guard<std::mutex> lock(s.m);
        for (auto& [id, q] : s.queues)
            all.push_back(q);
    }
    for (auto& q : all) {
        { std::lock_guard<std::mutex> lock(q->m); }
        WakeQueue(*q);
    }
}

void PostInput(Window* w, UINT msg, WPARAM wparam, LPARAM lparam, DWORD private_data) {
    ThreadQueue& q = *w->queue;
    {
        std::lock_guard<std::mutex> lock(q.m);
        q.input.push_back(MSG{w->handle, msg, wparam, lparam, Now(), S().cursor, private_data});
    }
    WakeQueue(q);
}

void SetManualClock(bool manual, DWORD start_ms) {
    g_manual_now = start_ms;
    g_manual_clock = manual;
    WakeAllQueues();
}

void AdvanceClock(DWORD ms) {
    g_manual_now += ms;
    WakeAllQueues();
}

void KillWindowTimers(HWND hwnd) {
    Window* w = W(hwnd);
    if (w == nullptr) return;
    auto& t = w->queue->timers;
    t.erase(std::remove_if(t.begin(), t.end(), [&](const Timer& x) { return x.hwnd == hwnd; }), t.end());
}

UINT_PTR SetSystemTimer(HWND hwnd, UINT_PTR id, UINT ms, TIMERPROC proc) {
    Window* w = W(hwnd);
    if (w == nullptr) return 0;
    auto& timers = w->queue->timers;
    for (Timer& t : timers) {
        if (t.hwnd == hwnd && t.id == id && t.system) {
            t.interval = ms;
            t.due = Now() + ms;
            t.proc = proc;
            return id;
        }
    }
    timers.push_back(Timer{hwnd, id, ms, Now() + ms, proc, true});
    return id;
}

void KillSystemTimer(HWND hwnd, UINT_PTR id) {
    Window* w = W(hwnd);
    if (w == nullptr) return;
    auto& t = w->queue->timers;
    t.erase(std::remove_if(t.begin(), t.end(),
                           [&](const Timer& x) { return x.hwnd == hwnd && x.id == id && x.system; }),
            t.end());
}

namespace {
LoopHooks g_hooks;
}
void SetLoopHooks(LoopHooks hooks) {
    g_hooks = std::move(hooks);
}
const LoopHooks& GetLoopHooks() {
    return g_hooks;
}

void PumpMessagesOnce() {
    PumpMessages();
}

int PumpMessages() {
    int n = 0;
    MSG m;
    ThreadQueue& q = CurrentQueue();
    while (Fetch(q, &m, nullptr, 0, 0, true)) {
        if (m.message == WM_QUIT) {
            // Leave the quit request for the loop that owns it.
            PostQuitMessage(static_cast<int>(m.wParam));
            break;
        }
        q.last = m;
        ++n;
        if (g_hooks.pre_translate && g_hooks.pre_translate(m)) continue;
        // Inside a dialog's modal loop the dialog's keyboard handling sees the messages, as its loop would.
        HWND modal = InnermostModal();
        if (modal != nullptr && DialogMessageHook(modal, m)) continue;
        TranslateMessage(&m);
        DispatchMessageA(&m);
        if (n > 100000) break;  // a window that never validates its paint
    }
    return n;
}

DWORD NextTimerDue() {
    return NextTimerWait(CurrentQueue());
}

void AnswerIncomingSends() {
    ProcessIncomingSends(CurrentQueue());
}

std::shared_ptr<SentMessage> QueueOnWindowThread(HWND hwnd, std::function<LRESULT()> fn,
                                                 std::function<void()> finished) {
    std::shared_ptr<Window> w = Hold(hwnd);
    if (!w) return nullptr;
    auto sm = std::make_shared<SentMessage>();
    sm->hwnd = hwnd;
    sm->call = std::move(fn);
    sm->finished = std::move(finished);
    ThreadQueue& target = *w->queue;
    {
        std::lock_guard<std::mutex> lock(target.m);
        if (!target.alive) return nullptr;
        target.sent.push_back(sm);
    }
    WakeQueue(target);
    return sm;
}

bool RunOnWindowThread(HWND hwnd, std::function<LRESULT()> fn, LRESULT* result) {
    std::shared_ptr<Window> w = Hold(hwnd);
    if (!w) return false;
    ThreadQueue& me = CurrentQueue();
    if (w->queue.get() == &me) {
        w.reset();
        *result = fn();
        return true;
    }
    auto sm = std::make_shared<SentMessage>();
    sm->hwnd = hwnd;
    auto ran = std::make_shared<bool>(false);
    sm->call = [fn = std::move(fn), ran]() {
        *ran = true;
        return fn();
    };
    ThreadQueue& target = *w->queue;
    {
        std::lock_guard<std::mutex> lock(target.m);
        if (!target.alive) return false;
        target.sent.push_back(sm);
    }
    WakeQueue(target);
    w.reset();
    for (;;) {
        ProcessIncomingSends(me);
        std::unique_lock<std::mutex> lock(sm->m);
        if (sm->cv.wait_for(lock, std::chrono::milliseconds(2), [&] { return sm->done; })) break;
    }
    *result = sm->result;
    return *ran;
}

}  // namespace qsm::wm

using namespace qsm::wm;

DWORD GetCurrentThreadId() {
    return CurrentQueue().thread_id;
}

BOOL PostMessageA(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    if (hwnd == nullptr) return PostTo(CurrentQueue(), MSG{nullptr, msg, wparam, lparam, Now(), POINT{}, 0});
    if (hwnd == HWND_BROADCAST) {
        std::vector<HWND> all;
        for (Window* w : S().toplevels)
            all.push_back(w->handle);
        for (HWND h : all)
            PostMessageA(h, msg, wparam, lparam);
        return TRUE;
    }
    std::shared_ptr<Window> w = Hold(hwnd);
    if (!w) return FALSE;
    return PostTo(*w->queue, MSG{hwnd, msg, wparam, lparam, Now(), POINT{}, 0}) ? TRUE : FALSE;
}

BOOL PostThreadMessageA(DWORD thread_id, UINT msg, WPARAM wparam, LPARAM lparam) {
    std::shared_ptr<ThreadQueue> q;
    {
        State& s = S();
        std::lock_guard<std::mutex> lock(s.m);
        auto it = s.queues.find(thread_id);
        if (it != s.queues.end()) q = it->second;
    }
    if (!q) return FALSE;
    return PostTo(*q, MSG{nullptr, msg, wparam, lparam, Now(), POINT{}, 0}) ? TRUE : FALSE;
}

void PostQuitMessage(int exit_code) {
    ThreadQueue& q = CurrentQueue();
    {
        std::lock_guard<std::mutex> lock(q.m);
        q.quit = true;
        q.quit_code = exit_code;
    }
    WakeQueue(q);
}

LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(hwnd, msg, wparam, lparam, SMTO_NORMAL, 0, &result);
    return static_cast<LRESULT>(result);
}

LRESULT SendMessageTimeoutA(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam, UINT, UINT timeout_ms,
                            DWORD_PTR* result) {
    if (result != nullptr) *result = 0;
    if (hwnd == HWND_BROADCAST) {
        std::vector<HWND> all;
        for (Window* w : S().toplevels)
            all.push_back(w->handle);
        for (HWND h : all)
            SendMessageA(h, msg, wparam, lparam);
        return TRUE;
    }
    std::shared_ptr<Window> w = Hold(hwnd);
    if (!w) {
        LRESULT r = 0;
        if (!IsRemoteWindow(hwnd) || !RemoteSend(hwnd, msg, wparam, lparam, timeout_ms, &r)) return 0;
        if (result != nullptr) *result = static_cast<DWORD_PTR>(r);
        return TRUE;
    }
    ThreadQueue& me = CurrentQueue();
    if (w->queue.get() == &me) {
        LRESULT r = Call(w.get(), msg, wparam, lparam);
        if (result != nullptr) *result = static_cast<DWORD_PTR>(r);
        return TRUE;
    }
    // Another thread's window: its thread runs the message while this one waits, still answering messages
    // sent to its own windows so that two threads sending to each other do not lock up.
    auto sm = std::make_shared<SentMessage>();
    sm->hwnd = hwnd;
    sm->msg = msg;
    sm->wparam = wparam;
    sm->lparam = lparam;
    ThreadQueue& target = *w->queue;
    {
        std::lock_guard<std::mutex> lock(target.m);
        if (!target.alive) return 0;
        target.sent.push_back(sm);
    }
    WakeQueue(target);
    w.reset();
    DWORD start = RealNow();
    for (;;) {
        ProcessIncomingSends(me);
        std::unique_lock<std::mutex> lock(sm->m);
        if (sm->cv.wait_for(lock, std::chrono::milliseconds(2), [&] { return sm->done; })) break;
        if (timeout_ms != 0 && RealNow() - start >= timeout_ms) return 0;
    }
    if (result != nullptr) *result = static_cast<DWORD_PTR>(sm->result);
    return TRUE;
}

BOOL PeekMessageA(LPMSG msg, HWND hwnd, UINT min, UINT max, UINT remove) {
    if (msg == nullptr) return FALSE;
    ThreadQueue& q = CurrentQueue();
    if (!Fetch(q, msg, hwnd, min, max, (remove & PM_REMOVE) != 0)) return FALSE;
    q.last = *msg;
    return TRUE;
}

BOOL GetMessageA(LPMSG msg, HWND hwnd, UINT min, UINT max) {
    if (msg == nullptr) return -1;
    ThreadQueue& q = CurrentQueue();
    for (;;) {
        if (Fetch(q, msg, hwnd, min, max, true)) {
            q.last = *msg;
            return msg->message == WM_QUIT ? FALSE : TRUE;
        }
        WaitForWork(q);
    }
}

BOOL WaitMessage() {
    ThreadQueue& q = CurrentQueue();
    MSG m;
    if (Fetch(q, &m, nullptr, 0, 0, false)) return TRUE;
    WaitForWork(q);
    return TRUE;
}

DWORD GetQueueStatus(UINT flags) {
    ThreadQueue& q = CurrentQueue();
    DWORD bits = 0;
    {
        std::lock_guard<std::mutex> lock(q.m);
        if (!q.posted.empty()) bits |= QS_POSTMESSAGE;
        if (!q.sent.empty()) bits |= QS_SENDMESSAGE;
        for (const MSG& m : q.input) {
            if (m.message >= WM_KEYFIRST && m.message <= WM_KEYLAST)
                bits |= QS_KEY;
            else if (m.message == WM_MOUSEMOVE || m.message == WM_NCMOUSEMOVE)
                bits |= QS_MOUSEMOVE;
            else
                bits |= QS_MOUSEBUTTON;
        }
    }
    if (q.windows_to_paint > 0) bits |= QS_PAINT;
    DWORD now = Now();
    for (const Timer& t : q.timers)
        if (!t.system && static_cast<int32_t>(now - t.due) >= 0) bits |= QS_TIMER;
    bits &= flags;
    return (bits << 16) | bits;
}

BOOL InSendMessage() {
    return CurrentQueue().in_send > 0 ? TRUE : FALSE;
}
LONG GetMessageTime() {
    return static_cast<LONG>(CurrentQueue().last.time);
}
DWORD GetMessagePos() {
    const MSG& m = CurrentQueue().last;
    return static_cast<DWORD>(MAKELONG(static_cast<WORD>(m.pt.x), static_cast<WORD>(m.pt.y)));
}
LPARAM GetMessageExtraInfo() {
    return 0;
}

UINT RegisterWindowMessageA(LPCSTR name) {
    if (name == nullptr || *name == 0) return 0;
    std::string key = name;
    for (char& c : key)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    State& s = S();
    std::lock_guard<std::mutex> lock(s.m);
    auto it = s.registered.find(key);
    if (it != s.registered.end()) return it->second;
    if (s.next_registered > 0xFFFF) return 0;
    UINT id = s.next_registered++;
    s.registered[key] = id;
    return id;
}

BOOL TranslateMessage(const MSG* msg) {
    if (msg == nullptr) return FALSE;
    if (msg->message != WM_KEYDOWN && msg->message != WM_SYSKEYDOWN) return FALSE;
    if (msg->lPrivate == 0) return FALSE;
    UINT char_msg = msg->message == WM_KEYDOWN ? WM_CHAR : WM_SYSCHAR;
    Window* w = W(msg->hwnd);
    if (w == nullptr) return FALSE;
    ThreadQueue& q = *w->queue;
    {
        std::lock_guard<std::mutex> lock(q.m);
        // The character goes ahead of everything else so that it follows its key press.
        q.posted.push_front(
            MSG{msg->hwnd, char_msg, msg->lPrivate & 0xFF, msg->lParam, msg->time, msg->pt, 0});
    }
    return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (msg == nullptr) return 0;
    if (msg->message == WM_TIMER && msg->lParam != 0) {
        reinterpret_cast<TIMERPROC>(msg->lParam)(msg->hwnd, WM_TIMER, msg->wParam, Now());
        return 0;
    }
    std::shared_ptr<Window> w = Hold(msg->hwnd);
    if (!w) return 0;
    if (msg->message == WM_TIMER) {
        // A timer killed after its message was fetched does not fire.
        bool live = false;
        for (const Timer& t : w->queue->timers)
            live |= t.hwnd == msg->hwnd && t.id == msg->wParam && !t.system;
        if (!live) return 0;
    }
    return Call(w.get(), msg->message, msg->wParam, msg->lParam);
}

LRESULT CallWindowProcA(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
    return proc != nullptr ? proc(hwnd, msg, wparam, lparam) : 0;
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapse_ms, TIMERPROC proc) {
    elapse_ms = std::clamp<UINT>(elapse_ms, 10, 0x7FFFFFFF);
    if (hwnd != nullptr) {
        Window* w = W(hwnd);
        if (w == nullptr) return 0;
        for (Timer& t : w->queue->timers) {
            if (t.hwnd == hwnd && t.id == id && !t.system) {
                t.interval = elapse_ms;
                t.due = Now() + elapse_ms;
                t.proc = proc;
                return 1;
            }
        }
        w->queue->timers.push_back(Timer{hwnd, id, elapse_ms, Now() + elapse_ms, proc, false});
        return 1;
    }
    ThreadQueue& q = CurrentQueue();
    if (id != 0) {
        for (Timer& t : q.timers) {
            if (t.hwnd == nullptr && t.id == id) {
                t.interval = elapse_ms;
                t.due = Now() + elapse_ms;
                t.proc = proc;
                return id;
            }
        }
    }
    static UINT_PTR next_id = 0x7000;
    UINT_PTR nid = ++next_id;
    q.timers.push_back(Timer{nullptr, nid, elapse_ms, Now() + elapse_ms, proc, false});
    return nid;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
    std::vector<Timer>* timers = &CurrentQueue().timers;
    if (hwnd != nullptr) {
        Window* w = W(hwnd);
        if (w == nullptr) return FALSE;
        timers = &w->queue->timers;
    }
    auto it = std::find_if(timers->begin(), timers->end(),
                           [&](const Timer& t) { return t.hwnd == hwnd && t.id == id && !t.system; });
    if (it == timers->end()) return FALSE;
    timers->erase(it);
    return TRUE;
}

DWORD GetTickCount() {
    return Now();
}
UINT GetDoubleClickTime() {
    return 500;
}
