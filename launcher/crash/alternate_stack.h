#pragma once
// Alternate signal stacks for every thread of the process.
//
// A fault handler needs stack to run on. A thread whose own stack has overflowed has none left, so
// the kernel can deliver a fault signal to it only on an alternate stack, and such a stack belongs
// to one thread (two threads faulting at once cannot share one). The launcher therefore gives
// each thread its own:
//   - the thread that prepares the crash capture (the user-interface thread) installs one itself;
//   - every thread started later, by our code or by a library (the toolkit's, libcurl's), gets one
//     from this library's definition of pthread_create, which takes precedence over the C
//     library's in every module of a program that links this library: it starts the thread
//     through a small entry that installs the stack and then runs the thread's own function.
//     The stack is given back when the thread ends (pthread_exit included), and a stack that the
//     thread had before (a sanitizer runtime installs its own) is put back first.
// A thread whose stack cannot be mapped runs without one: its faults are still handled, but a
// stack overflow on it ends the process by the signal.

#include <cstdint>

namespace kx::crash {

// Gives the calling thread an alternate signal stack of ours unless it has one already. Raises a
// RuntimeError when the stack cannot be made.
void installAlternateStack();

// Lowest address of the calling thread's stack as recorded when its alternate stack was
// installed; 0 when unknown. Async-signal-safe.
std::uintptr_t threadStackLow() noexcept;

}  // namespace kx::crash
