#include "launcher/crash/alternate_stack.h"

#include <dlfcn.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <string>

#include "platform/runtime/run_time_error.h"

namespace kx::crash {

namespace {

// Throwing out of the fault handler runs the unwinder on this stack; sanitizer runtimes need
// room too. Pages never touched cost no memory.
constexpr std::size_t kAltStackSize = 512 * 1024;

std::size_t pageSize() noexcept {
    return static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

// One thread's stack: the mapping (an inaccessible guard page, then the stack) and the alternate
// stack the thread had before, put back when the thread ends.
struct ThreadStack {
    void* mapping = nullptr;
    stack_t previous{};
};

thread_local std::uintptr_t t_stackLow = 0;
thread_local bool t_hasOurStack = false;

pthread_key_t g_stackKey;
bool g_stackKeyMade = false;

void releaseStack(void* value) noexcept {
    auto* stack = static_cast<ThreadStack*>(value);
    stack_t current{};
    const bool ours = sigaltstack(nullptr, &current) == 0 &&
                      current.ss_sp == static_cast<char*>(stack->mapping) + pageSize();
    // Only a stack that is no longer installed may be unmapped.
    if (!ours || sigaltstack(&stack->previous, nullptr) == 0) {
        munmap(stack->mapping, kAltStackSize + pageSize());
    }
    delete stack;
}

void makeStackKey() noexcept {
    g_stackKeyMade = pthread_key_create(&g_stackKey, releaseStack) == 0;
}

void recordStackLow() noexcept {
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) != 0) {
        return;
    }
    void* low = nullptr;
    std::size_t size = 0;
    if (pthread_attr_getstack(&attributes, &low, &size) == 0) {
        t_stackLow = reinterpret_cast<std::uintptr_t>(low);
    }
    pthread_attr_destroy(&attributes);
}

// Installs the calling thread's stack; 0 or the errno of the step that failed.
int tryInstallAlternateStack() noexcept {
    if (t_hasOurStack) {
        return 0;
    }
    static pthread_once_t keyOnce = PTHREAD_ONCE_INIT;
    pthread_once(&keyOnce, makeStackKey);
    const std::size_t page = pageSize();
    void* memory = mmap(nullptr, kAltStackSize + page, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (memory == MAP_FAILED) {
        return errno;
    }
    // The lowest page stays inaccessible, so an overflow of the handler's stack cannot go
    // unnoticed into other memory.
    mprotect(memory, page, PROT_NONE);
    auto* stack = new (std::nothrow) ThreadStack{memory, {}};
    stack_t ours{};
    ours.ss_sp = static_cast<char*>(memory) + page;
    ours.ss_size = kAltStackSize;
    if (stack == nullptr || sigaltstack(&ours, &stack->previous) != 0) {
        const int error = stack == nullptr ? ENOMEM : errno;
        munmap(memory, kAltStackSize + page);
        delete stack;
        return error;
    }
    if (g_stackKeyMade) {
        pthread_setspecific(g_stackKey, stack);
    }
    t_hasOurStack = true;
    recordStackLow();
    return 0;
}

struct StartRequest {
    void* (*start)(void*);
    void* argument;
};

void* startWithAlternateStack(void* raw) {
    const StartRequest request = *static_cast<StartRequest*>(raw);
    delete static_cast<StartRequest*>(raw);
    tryInstallAlternateStack();
    return request.start(request.argument);
}

using PthreadCreate = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);

PthreadCreate libraryPthreadCreate() noexcept {
    static const auto next = reinterpret_cast<PthreadCreate>(dlsym(RTLD_NEXT, "pthread_create"));
    return next;
}

}  // namespace

void installAlternateStack() {
    if (const int error = tryInstallAlternateStack(); error != 0) {
        raiseError(
            vberr::kInvalidProcedureCall, "qtrInstallFilter",
            std::string("Cannot install the alternate signal stack: ") + std::strerror(error));
    }
}

std::uintptr_t threadStackLow() noexcept {
    return t_stackLow;
}

}  // namespace kx::crash

// Every thread the process starts, whoever starts it, comes through here (see alternate_stack.h).
extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attributes,
                              void* (*start)(void*), void* argument) noexcept {
    const kx::crash::PthreadCreate next = kx::crash::libraryPthreadCreate();
    if (next == nullptr) {
        return EAGAIN;
    }
    auto* request = new (std::nothrow) kx::crash::StartRequest{start, argument};
    if (request == nullptr) {
        return next(thread, attributes, start, argument);
    }
    const int result = next(thread, attributes, kx::crash::startWithAlternateStack, request);
    if (result != 0) {
        delete request;
    }
    return result;
}
