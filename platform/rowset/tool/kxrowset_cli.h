#pragma once
// The kxrowset command:
//   kxrowset show FILE [--filter EXPR]   prints the schema and the (filtered) rows as JSON
//   kxrowset show - [--filter EXPR]      reads the document from standard input
//   kxrowset --help                      the usage line, on standard output
// Exit codes: 0 success, 1 the document or the filter could not be used (the error's
// description on the error stream), 2 a usage error.

#include <iosfwd>
#include <string>
#include <vector>

namespace kx::rowset {

int runKxRowset(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                std::ostream& err);

}  // namespace kx::rowset
