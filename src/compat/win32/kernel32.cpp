// kernel32 events, waits, critical sections and threads over the C++ standard library, and the
// lock-step mode that capture uses to make the audio thread's passes happen at fixed points.
//
// Handles point at private records kept alive by a table of shared pointers; a thread that still
// waits on an event when its handle is closed holds its own reference, so nothing dangles.
#include <cstddef>  // kernel32.h uses size_t without including it

#include "compat/win32/kernel32.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "compat/win32/lockstep.h"

namespace {

using Clock = std::chrono::steady_clock;

enum class Kind { Event, Thread };

struct KernelObject {
  explicit KernelObject(Kind k) : kind(k) {}
  virtual ~KernelObject() = default;
  const Kind kind;
};

struct ThreadState;

struct EventObject final : KernelObject {
  EventObject(bool manual, bool initial) : KernelObject(Kind::Event), manualReset(manual), signalled(initial) {}

  std::mutex mutex;
  std::condition_variable changed;
  const bool manualReset;
  bool signalled;
  // Lock-step bookkeeping, kept in every mode so the mode can be switched at any time.
  uint64_t taken = 0;                 // signals taken by waiters so far
  const ThreadState* owedBy = nullptr;  // took the last signal and has not yet come back to wait
  int liveWaiters = 0;                // threads that have waited on this event and not ended
};

struct ThreadObject final : KernelObject {
  ThreadObject() : KernelObject(Kind::Thread) {}
  ~ThreadObject() override {
    // The handle was never closed (process exit): leave the thread to the system.
    if (thread.joinable()) thread.detach();
  }

  std::thread thread;
  std::mutex mutex;
  std::condition_variable changed;
  bool ended = false;
  bool settled = false;  // lock-step: has reached its first wait on an event, or ended
  DWORD exitCode = 0;
};

// Every handle the process holds. Never destroyed, so threads still running at exit find it intact.
struct HandleTable {
  std::mutex mutex;
  std::unordered_map<HANDLE, std::shared_ptr<KernelObject>> objects;
};

HandleTable& handles() {
  static HandleTable* table = new HandleTable;
  return *table;
}

HANDLE addHandle(std::shared_ptr<KernelObject> object) {
  HANDLE handle = object.get();
  HandleTable& table = handles();
  std::lock_guard<std::mutex> lock(table.mutex);
  table.objects.emplace(handle, std::move(object));
  return handle;
}

std::shared_ptr<KernelObject> findHandle(HANDLE handle) {
  HandleTable& table = handles();
  std::lock_guard<std::mutex> lock(table.mutex);
  auto it = table.objects.find(handle);
  return it == table.objects.end() ? nullptr : it->second;
}

std::shared_ptr<EventObject> findEvent(HANDLE handle) {
  std::shared_ptr<KernelObject> object = findHandle(handle);
  if (!object || object->kind != Kind::Event) return nullptr;
  return std::static_pointer_cast<EventObject>(object);
}

std::shared_ptr<ThreadObject> findThread(HANDLE handle) {
  std::shared_ptr<KernelObject> object = findHandle(handle);
  if (!object || object->kind != Kind::Thread) return nullptr;
  return std::static_pointer_cast<ThreadObject>(object);
}

// Lock-step configuration, read by every SetEvent, wait and CreateThread.
struct LockstepConfig {
  std::mutex mutex;
  std::atomic<bool> enabled{false};
  win32compat::WakeHook hook = nullptr;
  void* context = nullptr;
};

LockstepConfig& lockstep() {
  static LockstepConfig* config = new LockstepConfig;
  return *config;
}

void settle(ThreadObject& thread) {
  {
    std::lock_guard<std::mutex> lock(thread.mutex);
    thread.settled = true;
  }
  thread.changed.notify_all();
}

// What the calling thread has to tell the events it waits on: that it waits (again) and that it ends.
struct ThreadState {
  std::vector<std::shared_ptr<EventObject>> waitedOn;
  std::shared_ptr<ThreadObject> self;  // set when CreateThread started this thread
  bool finished = false;

  ~ThreadState() { finish(); }

  // Called with event.mutex held, as the thread begins a wait on the event.
  void beginWait(const std::shared_ptr<EventObject>& event) {
    bool known = false;
    for (const auto& e : waitedOn) known = known || e == event;
    if (!known) {
      waitedOn.push_back(event);
      ++event->liveWaiters;
    }
    if (event->owedBy == this) {
      event->owedBy = nullptr;
      event->changed.notify_all();
    }
    if (self && !self->settled) settle(*self);
  }

  void finish() {
    if (finished) return;
    finished = true;
    for (const auto& event : waitedOn) {
      std::lock_guard<std::mutex> lock(event->mutex);
      --event->liveWaiters;
      if (event->owedBy == this) event->owedBy = nullptr;
      event->changed.notify_all();
    }
    waitedOn.clear();
    if (self) settle(*self);
  }
};

thread_local ThreadState t_thread;

DWORD waitEvent(const std::shared_ptr<EventObject>& event, DWORD milliseconds) {
  const bool forever = milliseconds == INFINITE || lockstep().enabled.load();
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(forever ? 0 : milliseconds);
  std::unique_lock<std::mutex> lock(event->mutex);
  t_thread.beginWait(event);
  auto ready = [&] { return event->signalled; };
  if (forever) {
    event->changed.wait(lock, ready);
  } else if (!event->changed.wait_until(lock, deadline, ready)) {
    return WAIT_TIMEOUT;
  }
  if (!event->manualReset) event->signalled = false;
  ++event->taken;
  event->owedBy = &t_thread;
  event->changed.notify_all();
  return WAIT_OBJECT_0;
}

DWORD waitThread(ThreadObject& thread, DWORD milliseconds) {
  std::unique_lock<std::mutex> lock(thread.mutex);
  auto ended = [&] { return thread.ended; };
  if (milliseconds == INFINITE) {
    thread.changed.wait(lock, ended);
    return WAIT_OBJECT_0;
  }
  return thread.changed.wait_for(lock, std::chrono::milliseconds(milliseconds), ended) ? WAIT_OBJECT_0
                                                                                       : WAIT_TIMEOUT;
}

void runThread(const std::shared_ptr<ThreadObject>& self, LPTHREAD_START_ROUTINE start, LPVOID parameter) {
  t_thread.self = self;
  const DWORD code = start(parameter);
  {
    std::lock_guard<std::mutex> lock(self->mutex);
    self->exitCode = code;
    self->ended = true;
  }
  self->changed.notify_all();
  // Ended before the events hear of it: whoever a lock-step SetEvent lets go sees the thread ended.
  t_thread.finish();
  t_thread.self.reset();
}

}  // namespace

namespace win32compat {

void setLockstepEvents(bool enabled, WakeHook hook, void* context) {
  LockstepConfig& config = lockstep();
  std::lock_guard<std::mutex> lock(config.mutex);
  config.hook = enabled ? hook : nullptr;
  config.context = enabled ? context : nullptr;
  config.enabled.store(enabled);
}

bool lockstepEvents() { return lockstep().enabled.load(); }

}  // namespace win32compat

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES, BOOL manualReset, BOOL initialState, LPCSTR) {
  return addHandle(std::make_shared<EventObject>(manualReset != FALSE, initialState != FALSE));
}

// In lock-step mode the caller also waits until a waiter has taken the signal and come back to wait
// (or ended). Manual-reset events are exempt: their signal stays up, so there is no single pass.
BOOL SetEvent(HANDLE handle) {
  std::shared_ptr<EventObject> event = findEvent(handle);
  if (!event) return FALSE;

  LockstepConfig& config = lockstep();
  bool stepped = false;
  win32compat::WakeHook hook = nullptr;
  void* context = nullptr;
  {
    std::lock_guard<std::mutex> lock(config.mutex);
    stepped = config.enabled.load();
    hook = config.hook;
    context = config.context;
  }
  if (stepped && hook) hook(context);

  std::unique_lock<std::mutex> lock(event->mutex);
  event->signalled = true;
  event->changed.notify_all();
  if (!stepped || event->manualReset || event->liveWaiters == 0) return TRUE;
  const uint64_t target = event->taken + 1;
  event->changed.wait(lock, [&] {
    return event->liveWaiters == 0 || (event->taken >= target && event->owedBy == nullptr);
  });
  return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  std::shared_ptr<KernelObject> object = findHandle(handle);
  if (!object) return WAIT_FAILED;
  if (object->kind == Kind::Event) return waitEvent(std::static_pointer_cast<EventObject>(object), milliseconds);
  return waitThread(static_cast<ThreadObject&>(*object), milliseconds);
}

BOOL CloseHandle(HANDLE handle) {
  std::shared_ptr<KernelObject> object;
  {
    HandleTable& table = handles();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto it = table.objects.find(handle);
    if (it == table.objects.end()) return FALSE;
    object = std::move(it->second);
    table.objects.erase(it);
  }
  if (object->kind == Kind::Thread) {
    auto& thread = static_cast<ThreadObject&>(*object);
    bool ended;
    {
      std::lock_guard<std::mutex> lock(thread.mutex);
      ended = thread.ended;
    }
    // An ended thread is joined (it is only unwinding); a running one goes on detached.
    if (thread.thread.joinable()) {
      if (ended && thread.thread.get_id() != std::this_thread::get_id()) {
        thread.thread.join();
      } else {
        thread.thread.detach();
      }
    }
  }
  return TRUE;
}

void InitializeCriticalSection(CRITICAL_SECTION* section) { section->lock = new std::recursive_mutex; }

void EnterCriticalSection(CRITICAL_SECTION* section) {
  static_cast<std::recursive_mutex*>(section->lock)->lock();
}

void LeaveCriticalSection(CRITICAL_SECTION* section) {
  static_cast<std::recursive_mutex*>(section->lock)->unlock();
}

void DeleteCriticalSection(CRITICAL_SECTION* section) {
  delete static_cast<std::recursive_mutex*>(section->lock);
  section->lock = nullptr;
}

// In lock-step mode CreateThread returns once the new thread first waits on an event (or ends), so
// its start-up work, like its later passes, happens at a fixed point of the creator's sequence.
HANDLE CreateThread(LPSECURITY_ATTRIBUTES, size_t, LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD,
                    DWORD* threadId) {
  static std::atomic<DWORD> nextId{1};
  auto object = std::make_shared<ThreadObject>();
  if (threadId) *threadId = nextId.fetch_add(1);
  const bool stepped = lockstep().enabled.load();
  object->thread = std::thread([object, start, parameter] { runThread(object, start, parameter); });
  HANDLE handle = addHandle(object);
  if (stepped) {
    std::unique_lock<std::mutex> lock(object->mutex);
    object->changed.wait(lock, [&] { return object->settled; });
  }
  return handle;
}

// Priorities are a hint the desktop scheduler may refuse to an ordinary user; the thread runs at its
// default priority and the call succeeds for any thread handle.
BOOL SetThreadPriority(HANDLE thread, int) { return findThread(thread) ? TRUE : FALSE; }

void Sleep(DWORD milliseconds) {
  if (milliseconds == 0) {
    std::this_thread::yield();
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
}

DWORD GetTickCount() {
  const auto sinceStart = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch());
  return static_cast<DWORD>(sinceStart.count());
}
