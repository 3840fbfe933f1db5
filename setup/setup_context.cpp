#include "setup_context.h"

SetupContext g_setup;
char g_className[MAX_PATH];
HWND g_mainWindow;
int g_mutexResult;
