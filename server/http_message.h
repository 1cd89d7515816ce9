#pragma once
// A request as kxserver's handlers see it once it is whole, and the reply they give: what passes
// between the HTTP connection and the code that answers.

#include <unistd.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kx::server {

// What the router needs of a request whose body has been read.
struct HttpRequest {
    std::string method;
    std::string path;  // decoded, without the query
    std::string contentType;
    std::string range;    // the Range header, "" when absent
    std::string ifRange;  // the If-Range header, "" when absent
    std::string clientAddress;
    std::string body;
    std::string query{};   // what follows the "?" of the address, not decoded; "" when none
    std::string cookie{};  // the Cookie header, "" when absent
    std::string origin{};  // the Origin header, "" when absent
    std::string host{};    // the Host header, "" when absent
};

// An open install file, closed when the last reply that sends it goes away.
struct OpenFile {
    explicit OpenFile(int descriptor) : fd(descriptor) {}
    ~OpenFile() {
        if (fd >= 0) {
            close(fd);
        }
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int fd;
};

struct HttpReply {
    int status = 200;
    std::string contentType;
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers{};
    // When set, the answer's body is this part of the file instead of `body`.
    std::shared_ptr<OpenFile> file{};
    std::uint64_t fileOffset = 0;
    std::uint64_t fileLength = 0;
};

}  // namespace kx::server
