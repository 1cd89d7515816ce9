#pragma once
// A file written in a folder under a temporary name and put in place under its final name only
// once complete, so that the final name always holds either its old content or the whole new one.
//
// The data goes to an unnamed file (O_TMPFILE), which the kernel frees if the process dies
// before the end; on file systems without unnamed files, to a hidden ".kxexpand-*.part" file.
// commit() flushes the data to disk, gives the file a temporary name, renames it over the final
// name and flushes the folder. Without commit(), or when commit() fails, nothing is left behind.

#include <string>

#include "file_descriptor.h"

namespace kx::compression {

class AtomicOutput {
  public:
    // Opens the folder and the temporary file. Raises ExpandError when the folder does not
    // exist, is not a folder or cannot be written.
    AtomicOutput(const std::string& folder, const std::string& name);
    ~AtomicOutput();
    AtomicOutput(const AtomicOutput&) = delete;
    AtomicOutput& operator=(const AtomicOutput&) = delete;

    // Raises ExpandError when the data cannot be written (a full disk, for example).
    void write(const char* data, std::size_t size);
    // Puts the file in place; raises ExpandError when it cannot. Call once.
    void commit();

    // folder + "/" + name.
    std::string path() const;

  private:
    void createNamedTemporary();
    void nameTemporary();
    [[noreturn]] void failOnOutput(const char* what) const;

    std::string folder_;
    std::string name_;
    sys::FileDescriptor folderFd_;
    sys::FileDescriptor fd_;
    std::string temporaryName_;  // empty while the file has no name
    bool committed_ = false;
};

}  // namespace kx::compression
