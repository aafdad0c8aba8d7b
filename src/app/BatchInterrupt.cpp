#include "app/BatchInterrupt.h"

#include <csignal>

namespace quillon {

namespace {

volatile std::sig_atomic_t g_interrupts = 0;

void OnInterrupt(int)
{
    g_interrupts = g_interrupts + 1;
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
    return g_interrupts;
}

} // namespace quillon
