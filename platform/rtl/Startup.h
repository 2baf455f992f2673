// Start and stop of the run-time library; main (and each test program's main) calls them.
#pragma once

// Records the calling thread as the main thread: the one that serves TThread::Synchronize and
// TThread::Queue (through CheckSynchronize and TThread::WaitFor). Call first thing in main.
void RtlStartup();
// Waits for the threads that free themselves (TThread::StartFreeOnTerminate) to end, then stops
// serving the main thread's queue: synchronized calls still waiting fail with EThread, queued
// ones are dropped, and the WakeMainThread hook is removed. Call last thing in main.
void RtlShutdown();
