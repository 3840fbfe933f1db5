// The service's log file: one time-stamped line for each thing an administrator should know
// (the pipe could not be owned, records were refused). It lives beside the program, where only
// administrators can write.
#pragma once

#include <cstdio>  // the printf flavour that vsnprintf implements
#include <string>

// Where the lines go from now on; an empty path turns the log off.
void SetHelperLogFile(const std::string& path);

// Appends one line. Control characters in the text (which may come from a client's record)
// are written as '?', so that no client can forge lines.
void HelperLog(const char* format, ...) __attribute__((format(__MINGW_PRINTF_FORMAT, 1, 2)));
