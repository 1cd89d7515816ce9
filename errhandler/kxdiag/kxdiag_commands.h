#pragma once
// The support tool kxdiag: prints what an error report would say about this machine, masks text
// the way reports do, reads file versions, and posts report items to a server.
//
//   kxdiag                    the diagnostics block of a report's context, CR LF line ends
//   kxdiag mask               standard input, masked, to standard output
//   kxdiag version FILE...    GetFileVersion of each file, one per line ("" when none)
//   kxdiag post URL ITEM...   posts the "name:value" items as a report's form, then prints the
//                             status code, the status text and the server's answer
//   kxdiag --help             the usage text
//
// Exit codes: 0 done; 1 the post failed (no answer, or a status other than 2xx) or the input was
// too large; 2 the command line was wrong.

#include <iosfwd>
#include <string>
#include <vector>

namespace kx::errhandler {

inline constexpr int kKxdiagOk = 0;
inline constexpr int kKxdiagFailed = 1;
inline constexpr int kKxdiagUsage = 2;

// Standard input larger than this is refused by "mask".
inline constexpr std::size_t kKxdiagMaxInputBytes = 64u * 1024 * 1024;

// Runs one command; `args` are the words after the program name.
int runKxdiag(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
              std::ostream& err);

}  // namespace kx::errhandler
