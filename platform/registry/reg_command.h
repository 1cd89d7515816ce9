#pragma once
// The kxreg tool, in the manner of the Windows reg tool, over the registry stand-in:
//
//   kxreg query  KEY [/v NAME | /ve]
//   kxreg add    KEY [/v NAME | /ve] [/t REG_SZ | REG_EXPAND_SZ] [/d DATA] [/f]
//   kxreg delete KEY [/v NAME | /ve] [/f]
//
// KEY starts with HKLM, HKCU, HKCR or their long names (HKEY_LOCAL_MACHINE, ...), followed by
// "\" and the key path. Switches may also start with "-" and are matched without regard to case.
// A query prints the key on a line after an empty line, then one line per value
// ("    NAME    REG_SZ    DATA", the default value as "(Default)"), then, after an empty line,
// the full path of each subkey. add creates the key (and its parents) and, with /v or /ve, sets
// the value; delete removes the value, or with neither switch the key and everything below it.
// There is no console prompt: add over an existing value and delete proceed whether /f is given
// or not, and /f is accepted for compatibility.
//
// Success exits 0 (add and delete print "The operation completed successfully."); any failure
// prints "ERROR: ..." on the error stream and exits 1.

#include <iosfwd>
#include <string>
#include <vector>

namespace kx::registry {

// Runs one command; `args` are the arguments after the program name.
int runRegCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kx::registry
