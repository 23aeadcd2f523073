#pragma once
// Hands the heap's free pages back to the system. Start-up reads whole files (a str.ini of
// megabytes is read line by line into small strings) and frees them again; the C library keeps
// such freed memory resident for later allocations, for the life of the process.

namespace vm31::linux_platform {

void ReturnFreedMemory();

}  // namespace vm31::linux_platform
