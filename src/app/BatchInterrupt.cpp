#include "app/BatchInterrupt.h"

#include <atomic>
#include <csignal>

namespace quillon {

namespace {

// Lock-free, so the handler may touch it, and read by the threads a comparison runs.
std::atomic<int> g_interrupts = 0;
static_assert(std::atomic<int>::is_always_lock_free);

void OnInterrupt(int)
{
    g_interrupts.fetch_add(1, std::memory_order_relaxed);
}

} // namespace

void ArmInterrupt()
{
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
}

void CatchInterrupt()
{
    g_interrupts = 0;
    ArmInterrupt();
}

int InterruptCount()
{
    return g_interrupts.load(std::memory_order_relaxed);
}

} // namespace quillon
