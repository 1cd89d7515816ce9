#pragma once
// The one catalog connection of a running server and the lock that serialises its use. Work that
// needs no catalog (a password hash, reading an install file) is done outside the lock.

#include <chrono>
#include <filesystem>
#include <mutex>

#include "server/catalog.h"

namespace kx::server {

class SharedCatalog {
  public:
    // Opens the catalog of `dir` (CatalogError when there is none) in write-ahead-log mode.
    SharedCatalog(const std::filesystem::path& dir, std::chrono::milliseconds busyTimeout)
        : catalog_(dir, busyTimeout) {
        catalog_.useWriteAheadLog();
    }

    // The catalog, held for as long as this object lives.
    class Locked {
      public:
        Locked(std::mutex& mutex, Catalog& catalog) : lock_(mutex), catalog_(catalog) {}
        Catalog* operator->() { return &catalog_; }
        Catalog& operator*() { return catalog_; }

      private:
        std::unique_lock<std::mutex> lock_;
        Catalog& catalog_;
    };

    Locked lock() { return Locked(mutex_, catalog_); }
    // Makes a step waiting for a busy catalog give up now; the server is stopping. Any thread.
    void interrupt() { catalog_.database().interrupt(); }

  private:
    std::mutex mutex_;
    Catalog catalog_;
};

}  // namespace kx::server
