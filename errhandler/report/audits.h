#pragma once
// The component audits: fixed lists of class registrations, registry values and files, each
// checked against the version or value the product was tested with. A check returns "" when all
// is well, else one line starting with "** " and ending in CR LF; an audit is its header followed
// by the lines of its failing checks, so a sound machine yields the header lines only.
//
// What the checks read:
//  - class registrations: the default value of HKEY_CLASSES_ROOT\CLSID\{id}\InProcServer32 in
//    the registry stand-in (the registered file's path);
//  - registry values: keys under HKEY_LOCAL_MACHINE in the registry stand-in;
//  - files: S stands for the system folder + "/" and C for the common-files folder + "/System/"
//    (sys::systemDirectory, sys::commonFilesDirectory). The Windows sub-paths below C keep their
//    folder names with "/" in place of "\" ("ole db\oledb32r.dll" is C + "ole db/oledb32r.dll").
// Registry key paths keep their "\" separators, in the checks and in the lines they write.

#include <string>

namespace kx::errhandler {

// "** Registry Value Missing: HKEY_CLASSES_ROOT\CLSID\{id}\InProcServer32 - label" when the class
// has no registered file; "** File [path] is out of version, is v, Should Be - expected label"
// when the file's version is older than expected.
std::string CheckCLSID(const std::string& id, const std::string& expected,
                       const std::string& label);

// "** Error - HKEY_LOCAL_MACHINE\key\name -- value" when the value read differs from `expected`
// (exact comparison; a missing key or value reads as "").
std::string CheckRegValue(const std::string& key, const std::string& name,
                          const std::string& expected);

// "** File Needs Update: path -- version" when the file's version is older than expected (a
// missing file has the version "").
std::string CheckFileVersion(const std::string& path, const std::string& expected);

// The data-access components: header "MDAC CHECK", 36 class checks, the data-access files, 100
// registry values.
std::string CheckMDAC();

// The report, grid and runtime components: header "Crystal + VSFlex Checks", their class checks
// and two registry values, then "VBRuntime Checks" with six runtime files and one class.
std::string CheckCrystalVSFlex();

}  // namespace kx::errhandler
