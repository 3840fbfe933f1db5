// Small system queries: the program folder, named events and file versions; the stack of the
// library's own threads.
#pragma once

#include <windows.h>

#include <cstddef>

// The stack reservation of the library's watcher and automation threads (pass it with
// STACK_SIZE_PARAM_IS_A_RESERVATION). They keep their lists on the heap; the program's default
// is megabytes, which some systems commit whole for every thread.
constexpr SIZE_T kLibraryThreadStack = 256 * 1024;

// The folder of the process's main program (not of this library), without the trailing
// backslash, converted to the OEM code page. False when it does not fit.
bool ProgramFolder(char* out, size_t capacity);

// Opens a named event, sets it and closes it. 1 when set; 0 when no such event exists.
int SignalNamedEvent(const char* name);

// The FileVersionMS or FileVersionLS (named by `which`, any case) of a file's fixed version
// information. False and *value = 0 when the file has no version resource.
bool FileVersionPart(const char* path, const char* which, DWORD* value);
