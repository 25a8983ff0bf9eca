#pragma once

#include <cstddef>
#include <string>

namespace vobrik {

// Finds a data file by its bare name, in this order:
//   1. the directory of the running program (/proc/self/exe);
//   2. the installed data directory of the program (<prefix>/share/vobrik
//      for a program in <prefix>/bin or <prefix>/libexec/vobrik);
//   3. the current directory;
//   4. each directory of PATH.
// On success the full path is written into buffer and true is returned. A full
// path that does not fit into size bytes (terminating zero included) counts as
// not found.
bool SearchPath(const char* name, char* buffer, size_t size);

// The current directory, however long; empty when it cannot be told.
std::string CurrentDirectory();

// The directory of the running program, empty when it cannot be told.
std::string ProgramDirectory();

// An environment variable's value when it is an absolute path, else empty: the
// base directory rules ignore a relative one.
std::string AbsoluteVariable(const char* variable);
// $HOME when absolute, else the account's own home; empty when there is none.
std::string HomeDirectory();

// The data directory that belongs to a program installed in programDirectory.
std::string InstalledDataDirectory(const std::string& programDirectory);

} // namespace vobrik
