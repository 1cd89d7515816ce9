#pragma once
// The Internet transfer control of the launcher window (Inet1): one asynchronous HTTP(S) GET at a
// time, its progress reported as state events on the window's thread.
//
// Execute starts the request on a transfer thread and returns at once. When the response headers
// are complete the control raises icResponseCompleted (12) on the window's thread, through the
// UiThreadPoster; inside that event GetHeader reads the headers and GetChunk the body, which
// streams through a bounded buffer (the body never lies in memory as a whole). A request that
// fails before its headers are complete raises icError (11) instead. A body that breaks off after
// the headers ends early: GetChunk then returns its empty chunk and ResponseCode tells the cause.
// Whatever the state-12 handler leaves unread when it returns is dropped and the transfer ends.
//
// StillExecuting stays true until the transfer has ended and its events have been delivered, so
// a caller that waits for it (processing window events meanwhile) sees the events first.
//
// Settings as the old control named them, plus the download limits of this system: RequestTimeout
// (seconds without a byte after which the request fails; default 60), CAFile (PEM file of trusted
// authorities for https; "" at first, the system's store), a receive-rate limit in bytes per
// second (0 at first, meaning none), used to watch a download in slow motion, and the redirects
// followed (none at first).
//
// Every member is called on the window's thread.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/inet/http_get.h"
#include "platform/inet/ui_thread_poster.h"

namespace kx::inet {

// The state codes of the old control's StateChanged event.
namespace state {
inline constexpr std::int16_t icNone = 0;
inline constexpr std::int16_t icError = 11;
inline constexpr std::int16_t icResponseCompleted = 12;
}  // namespace state

// GetChunk's data type for a byte array.
inline constexpr std::int16_t icByteArray = 1;

class Inet {
  public:
    using StateChangedHandler = std::function<void(std::int16_t State)>;

    explicit Inet(UiThreadPoster& poster);
    ~Inet();  // stops a running transfer and waits for its thread
    Inet(const Inet&) = delete;
    Inet& operator=(const Inet&) = delete;

    void setStateChanged(StateChangedHandler handler) { stateChanged_ = std::move(handler); }
    // Called while GetChunk waits for data, about every 16 ms, so the window stays live.
    void setWaitHook(std::function<void()> hook) { waitHook_ = std::move(hook); }

    // Starts `Operation` (only "GET" is supported; anything else raises run-time error 5) of
    // `URL` with the extra request headers (lines separated by CR LF). A request still running is
    // stopped first. Raises run-time error 5 for an empty URL.
    void Execute(const std::string& URL, const std::string& Operation, const std::string& InputData,
                 const std::string& InputHdrs);
    bool StillExecuting();
    // Blocks until a state event is waiting to be delivered, the transfer ended, or `wait`
    // passed; lets a caller wait for the request without spinning.
    void waitForProgress(std::chrono::milliseconds wait);

    // All response headers as the server sent them, one per line ending in CR LF, the status
    // line first; or the value of header `name` (letter case ignored), "" when absent.
    std::string GetHeader(const std::string& name = {}) const;
    // The next 1 to `Size` bytes of the body, waiting for them; empty once the body is over (or
    // outside a response). `DataType` must be icByteArray (else run-time error 5).
    std::vector<std::uint8_t> GetChunk(std::int32_t Size, std::int16_t DataType);
    // The same into `chunk`, whose memory is reused from call to call.
    void GetChunk(std::vector<std::uint8_t>& chunk, std::int32_t Size, std::int16_t DataType);
    const std::string& URL() const { return url_; }
    // 0 until the transfer has ended; then 0 when it completed cleanly, else its failure code (a
    // body that broke off, a time-out) with the text in ResponseInfo. Known as soon as GetChunk
    // has returned the empty chunk.
    std::int32_t ResponseCode() const;
    std::string ResponseInfo() const;

    // Whether requests started from now on digest their body (SHA-256) on the transfer thread,
    // and the digest of a body that completed cleanly (64 lower-case hex digits), known as soon
    // as GetChunk has returned the empty chunk; "" otherwise.
    void setDigestBody(bool digest) { digestBody_ = digest; }
    std::string BodyDigest() const;

    std::int32_t RequestTimeout() const { return requestTimeout_; }
    void setRequestTimeout(std::int32_t seconds);
    const std::string& CAFile() const { return caFile_; }
    void setCAFile(std::string path) { caFile_ = std::move(path); }
    std::int64_t rateLimit() const { return rateLimit_; }
    void setRateLimit(std::int64_t bytesPerSecond) { rateLimit_ = bytesPerSecond; }
    // How many redirects a request follows (http_get.h has the rules); 0 at first: none. URL
    // stays the address that Execute was given.
    int maxRedirects() const { return maxRedirects_; }
    void setMaxRedirects(int count) { maxRedirects_ = count; }

    // The largest set of response headers accepted, and the size of the body buffer.
    static constexpr std::size_t kMaxHeaderBytes = 64 * 1024;
    static constexpr std::size_t kBodyBufferBytes = 1024 * 1024;

  private:
    struct Transfer;
    void stop();
    void run(const std::shared_ptr<Transfer>& transfer, const GetRequest& request);
    void announceResponse(const std::shared_ptr<Transfer>& transfer, bool& announced);
    void post(const std::shared_ptr<Transfer>& transfer, std::int16_t state);
    void deliver(const std::shared_ptr<Transfer>& transfer, std::int16_t state);
    void finishEvent(Transfer& transfer);

    UiThreadPoster& poster_;
    std::shared_ptr<Inet*> self_;  // cleared on destruction, for events still queued
    StateChangedHandler stateChanged_;
    std::function<void()> waitHook_;
    std::shared_ptr<Transfer> transfer_;
    std::string url_;
    std::int32_t requestTimeout_ = 60;
    std::string caFile_;
    std::int64_t rateLimit_ = 0;
    int maxRedirects_ = 0;
    bool digestBody_ = false;
};

}  // namespace kx::inet
