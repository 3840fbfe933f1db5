// Running programs: named-mutex tests and top-level window finders.
#pragma once

#include <windows.h>

// 1 when another holder of the mutex exists (or it cannot be created). With own set, a newly
// created mutex stays owned and open for the life of the process.
int CheckNamedMutex(const char* name, BOOL global, BOOL own);
// The first top-level window whose class (byClass) or title equals text in any case.
HWND FindWindowByText(const char* text, BOOL byClass);
// Kind 1: by class, through the class-named mutex; kind 2: by title. 1 when running.
int FindRunningApplication(int kind, const char* name, HWND* window);
// description "class or title;title;number": fields 1 and 2 go to title and number.
int FindApplicationWindow(int kind, const char* description, HWND* window, char* title, size_t titleSize, int* number);

constexpr int kFindByClass = 1;
constexpr int kFindByTitle = 2;
