#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstddef>

#include "compat/win32/kernel32.h"
#include "compat/win32/lockstep.h"

namespace {

using Clock = std::chrono::steady_clock;

// Polls `done` for up to two seconds; true once it holds.
template <typename Predicate>
bool eventually(Predicate done) {
  const auto deadline = Clock::now() + std::chrono::seconds(2);
  while (!done()) {
    if (Clock::now() > deadline) return false;
    Sleep(1);
  }
  return true;
}

struct Waiter {
  HANDLE event;
  std::atomic<int> passes{0};
  std::atomic<bool> stop{false};
  DWORD timeout = INFINITE;
};

// Counts one pass per signal taken until told to stop.
DWORD WINAPI waitLoop(LPVOID parameter) {
  auto* waiter = static_cast<Waiter*>(parameter);
  for (;;) {
    const DWORD result = WaitForSingleObject(waiter->event, waiter->timeout);
    if (waiter->stop.load()) return 0;
    if (result == WAIT_OBJECT_0) waiter->passes.fetch_add(1);
  }
}

TEST(Kernel32Events, AutoResetPassesOneWaitPerSignal) {
  HANDLE event = CreateEventA(nullptr, FALSE, TRUE, nullptr);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);  // created signalled
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);   // and reset by that wait

  Waiter a{event};
  Waiter b{event};
  HANDLE ta = CreateThread(nullptr, 0, waitLoop, &a, 0, nullptr);
  HANDLE tb = CreateThread(nullptr, 0, waitLoop, &b, 0, nullptr);
  for (int signal = 1; signal <= 3; ++signal) {
    SetEvent(event);
    EXPECT_TRUE(eventually([&] { return a.passes + b.passes == signal; }));
    Sleep(20);
    EXPECT_EQ(a.passes + b.passes, signal) << "one SetEvent let two waits through";
  }
  a.stop = b.stop = true;
  EXPECT_TRUE(eventually([&] {
    SetEvent(event);
    return WaitForSingleObject(ta, 0) == WAIT_OBJECT_0 && WaitForSingleObject(tb, 0) == WAIT_OBJECT_0;
  }));
  CloseHandle(ta);
  CloseHandle(tb);
  CloseHandle(event);
}

TEST(Kernel32Events, WaitTimesOutUnlessManualResetStaysUp) {
  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  const auto start = Clock::now();
  EXPECT_EQ(WaitForSingleObject(event, 30), WAIT_TIMEOUT);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(29));
  SetEvent(event);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);  // manual reset: still signalled
  CloseHandle(event);
}

TEST(Kernel32Handles, ClosedOrUnknownHandlesFail) {
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  EXPECT_TRUE(CloseHandle(event));
  EXPECT_FALSE(CloseHandle(event));
  EXPECT_FALSE(SetEvent(event));
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
  EXPECT_FALSE(SetThreadPriority(nullptr, THREAD_PRIORITY_ABOVE_NORMAL));
}

struct Counter {
  CRITICAL_SECTION section;
  long value = 0;  // deliberately not atomic: the section alone protects it
};

DWORD WINAPI countInSection(LPVOID parameter) {
  auto* counter = static_cast<Counter*>(parameter);
  for (int i = 0; i < 100000; ++i) {
    EnterCriticalSection(&counter->section);
    EnterCriticalSection(&counter->section);  // the owner may enter again
    ++counter->value;
    LeaveCriticalSection(&counter->section);
    LeaveCriticalSection(&counter->section);
  }
  return 0;
}

TEST(Kernel32CriticalSection, ExcludesOtherThreadsAndNests) {
  Counter counter;
  InitializeCriticalSection(&counter.section);
  HANDLE a = CreateThread(nullptr, 0, countInSection, &counter, 0, nullptr);
  HANDLE b = CreateThread(nullptr, 0, countInSection, &counter, 0, nullptr);
  WaitForSingleObject(a, INFINITE);
  WaitForSingleObject(b, INFINITE);
  EXPECT_EQ(counter.value, 200000);
  CloseHandle(a);
  CloseHandle(b);
  DeleteCriticalSection(&counter.section);
}

struct Entry {
  CRITICAL_SECTION* section;
  std::atomic<bool> entered{false};
};

DWORD WINAPI enterOnce(LPVOID parameter) {
  auto* entry = static_cast<Entry*>(parameter);
  EnterCriticalSection(entry->section);
  entry->entered = true;
  LeaveCriticalSection(entry->section);
  return 0;
}

TEST(Kernel32CriticalSection, NestedEntryHoldsUntilTheLastLeave) {
  CRITICAL_SECTION section;
  InitializeCriticalSection(&section);
  EnterCriticalSection(&section);
  EnterCriticalSection(&section);
  Entry entry{&section};
  HANDLE thread = CreateThread(nullptr, 0, enterOnce, &entry, 0, nullptr);
  LeaveCriticalSection(&section);
  Sleep(20);
  EXPECT_FALSE(entry.entered.load());
  LeaveCriticalSection(&section);
  EXPECT_EQ(WaitForSingleObject(thread, 2000), WAIT_OBJECT_0);
  EXPECT_TRUE(entry.entered.load());
  CloseHandle(thread);
  DeleteCriticalSection(&section);
}

struct Gate {
  HANDLE open;
  std::atomic<int> result{0};
};

DWORD WINAPI passGate(LPVOID parameter) {
  auto* gate = static_cast<Gate*>(parameter);
  WaitForSingleObject(gate->open, INFINITE);
  gate->result = 42;
  return 7;
}

TEST(Kernel32Threads, WaitOnThreadHandleJoins) {
  Gate gate{CreateEventA(nullptr, FALSE, FALSE, nullptr)};
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, passGate, &gate, 0, &id);
  ASSERT_NE(thread, nullptr);
  EXPECT_NE(id, 0u);
  EXPECT_TRUE(SetThreadPriority(thread, THREAD_PRIORITY_ABOVE_NORMAL));
  EXPECT_EQ(WaitForSingleObject(thread, 10), WAIT_TIMEOUT);  // still at the gate
  SetEvent(gate.open);
  EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
  EXPECT_EQ(gate.result.load(), 42);
  EXPECT_TRUE(CloseHandle(thread));
  CloseHandle(gate.open);
}

TEST(Kernel32Threads, ClosingARunningThreadLetsItFinish) {
  Gate gate{CreateEventA(nullptr, FALSE, FALSE, nullptr)};
  HANDLE thread = CreateThread(nullptr, 0, passGate, &gate, 0, nullptr);
  EXPECT_TRUE(CloseHandle(thread));
  SetEvent(gate.open);
  EXPECT_TRUE(eventually([&] { return gate.result.load() == 42; }));
  CloseHandle(gate.open);
}

// Lock-step: the hook sees the count before the pass; SetEvent returns after it.
struct Stepper {
  Waiter* waiter;
  int hookCalls = 0;
  int passesAtHook = -1;
};

void recordHook(void* context) {
  auto* stepper = static_cast<Stepper*>(context);
  ++stepper->hookCalls;
  stepper->passesAtHook = stepper->waiter->passes.load();
}

TEST(Kernel32Lockstep, SetEventReturnsAfterTheWaitersPass) {
  Waiter waiter{CreateEventA(nullptr, FALSE, FALSE, nullptr)};
  waiter.timeout = 1;  // would expire constantly if lock-step let it
  Stepper stepper{&waiter};
  win32compat::setLockstepEvents(true, recordHook, &stepper);
  EXPECT_TRUE(win32compat::lockstepEvents());

  HANDLE thread = CreateThread(nullptr, 0, waitLoop, &waiter, 0, nullptr);
  for (int i = 0; i < 50; ++i) {
    SetEvent(waiter.event);
    ASSERT_EQ(stepper.passesAtHook, i);
    ASSERT_EQ(waiter.passes.load(), i + 1);
  }
  Sleep(10);
  EXPECT_EQ(waiter.passes.load(), 50) << "a timed wait expired in lock-step mode";

  // The last wake ends the thread; SetEvent returns all the same.
  waiter.stop = true;
  SetEvent(waiter.event);
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
  EXPECT_EQ(stepper.hookCalls, 51);

  // With nobody waiting any more, SetEvent only signals.
  SetEvent(waiter.event);
  EXPECT_EQ(stepper.hookCalls, 52);

  win32compat::setLockstepEvents(false);
  EXPECT_FALSE(win32compat::lockstepEvents());
  EXPECT_EQ(WaitForSingleObject(waiter.event, 0), WAIT_OBJECT_0);
  CloseHandle(thread);
  CloseHandle(waiter.event);
}

struct Starter {
  HANDLE event;
  std::atomic<int> startedWork{0};
};

DWORD WINAPI workThenWait(LPVOID parameter) {
  auto* starter = static_cast<Starter*>(parameter);
  Sleep(20);
  starter->startedWork = 1;
  WaitForSingleObject(starter->event, INFINITE);
  return 0;
}

TEST(Kernel32Lockstep, CreateThreadReturnsAtTheFirstWait) {
  Starter starter{CreateEventA(nullptr, FALSE, FALSE, nullptr)};
  win32compat::setLockstepEvents(true);
  HANDLE thread = CreateThread(nullptr, 0, workThenWait, &starter, 0, nullptr);
  EXPECT_EQ(starter.startedWork.load(), 1);
  SetEvent(starter.event);  // the thread ends after it
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
  win32compat::setLockstepEvents(false);
  CloseHandle(thread);
  CloseHandle(starter.event);
}

}  // namespace
