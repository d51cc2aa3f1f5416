#pragma once

// The reader runs on files from elsewhere: a flaw in the library it reads them with must not
// reach past the process. These are plain C++ (no Qt), shared by the reader and its tests.

namespace kb::mdbread {

// Closes every descriptor but standard input, output and error, whatever was inherited.
void closeInheritedDescriptors();

// What confine() achieved.
enum class Confinement {
    Full,     // the allow-list is in force
    NoFilter, // the kernel refused a filter: only no-new-privileges holds
};

// Sets no-new-privileges and, where the kernel allows, a system-call allow-list: reading and
// seeking what is already open, writing to standard output and error, memory (never
// executable), and ending. Opening files, sockets, new processes and everything else fail with
// EPERM. Call it once the file is open and the library has set itself up.
Confinement confine();

} // namespace kb::mdbread
