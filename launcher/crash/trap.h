#pragma once
// The error trap that every launcher procedure carries.
//
// A trapped procedure declares its locals, then a Frame that names its module and itself and
// registers those locals and its parameters by reference, and runs its body through `trapped`.
// The body numbers its statements with `frame.line(n)`; the line reported is the last number set
// before the failure (0 when none was set).
//
// A RuntimeError, or any other std::exception (taken as a run-time error by asRuntimeError),
// raised in the body is reported by the innermost frame before the stack unwinds past it: the
// error with the frame's locals, module and parameters goes to qtrReportError and the process
// ends (endLauncherProcess). No trap resumes. Hardware faults arrive as run-time errors through
// the exception filter (exception_filter.h).
//
// A failure on the error path ends the process without a second report: an error raised by the
// error library is written to standard error; an error trapped while a report is in progress, or
// a hardware fault while reporting, ends the process at once.
//
// Frames are per thread; the launcher traps on its one user-interface thread.
//
// Which faults reach the trap depends on the compiler. GCC with -fnon-call-exceptions (passed on
// by this library) lets any faulting instruction of our code throw. Clang accepts the option but
// still treats functions without calls as unable to throw: there a fault reaches the trap only if
// no function between it and the trap has something to clean up (a local with a destructor) or
// if the faulting code is entered through platformCall.

#include <cstdint>
#include <exception>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "launcher/crash/variable.h"

namespace kx::crash {

class Frame {
  public:
    // `moduleName` and `procedureName` are literal texts.
    Frame(std::string_view moduleName, std::string_view procedureName) noexcept;
    ~Frame();
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;

    // A local variable, read when the dump is made.
    template <Dumpable T>
    Frame& local(std::string_view name, const T& value) {
        locals_.push_back(Variable::of(name, value));
        return *this;
    }
    template <Dumpable T>
    Frame& local(std::string_view name, const T&& value) = delete;  // would dangle
    // A local of a record type declared in the launcher, and of an outside record type.
    Frame& record(std::string_view name, std::string_view typeName);
    Frame& externalRecord(std::string_view name);
    // A parameter, in the procedure's parameter order.
    template <Dumpable T>
    Frame& param(std::string_view name, const T& value) {
        parameters_.push_back(Variable::of(name, value));
        return *this;
    }
    template <Dumpable T>
    Frame& param(std::string_view name, const T&& value) = delete;  // would dangle

    void line(std::int32_t number) noexcept { line_ = number; }
    std::int32_t currentLine() const noexcept { return line_; }
    std::string_view moduleName() const noexcept { return moduleName_; }
    std::string_view procedureName() const noexcept { return procedureName_; }

    // The innermost frame of the calling thread, or null. Async-signal-safe.
    static const Frame* innermost() noexcept;

    // The trap's work for `failure` raised in this frame's body; never returns.
    [[noreturn]] void reportAndEnd(const std::exception& failure) const;

  private:
    std::string_view moduleName_;
    std::string_view procedureName_;
    volatile std::int32_t line_ = 0;  // read after a fault, written right before risky statements
    std::vector<Variable> locals_;
    std::vector<Variable> parameters_;
    Frame* outer_;
};

namespace detail {
// Calls invoke(context) from a function the compiler cannot see into, so that the call site in
// the caller may throw.
void callOpaque(void (*invoke)(void*), void* context);
}  // namespace detail

// Runs `call` so that a hardware fault inside it reaches the trap as a run-time error; returns
// what `call` returns (a default-constructible value, not a reference). Calls into C libraries
// need it: their declarations promise not to throw (glibc marks its functions noexcept), so the
// compiler gives such a call no exception-handling entry and a fault inside it would end in
// std::terminate instead of the trap.
template <typename Call>
decltype(auto) platformCall(Call&& call) {
    using Result = decltype(call());
    if constexpr (std::is_void_v<Result>) {
        detail::callOpaque([](void* c) { (*static_cast<std::remove_reference_t<Call>*>(c))(); },
                           &call);
    } else {
        Result result{};
        auto store = [&] { result = call(); };
        detail::callOpaque([](void* c) { (*static_cast<decltype(store)*>(c))(); }, &store);
        return result;
    }
}

// Runs `body` under the trap of `frame`; returns what the body returns. The body is entered
// through an opaque call, so that even a compiler that does not let faulting instructions throw
// (clang ignores -fnon-call-exceptions) sees a call that may throw here.
template <typename Body>
decltype(auto) trapped(Frame& frame, Body&& body) {
    try {
        return platformCall(std::forward<Body>(body));
    } catch (const std::exception& failure) {
        frame.reportAndEnd(failure);
    }
}

// Whether a report is being made in this process. Async-signal-safe.
bool reportInProgress() noexcept;

}  // namespace kx::crash
