// The helper pipe: its creation, the server thread that reads one record per client and acts
// on it, and the stop record.
#pragma once

#include <windows.h>

#include <string>

#include "pipe_request.h"
#include "win_handles.h"

struct HelperContext;

// "\\.\pipe\ORVIK_TELVUS_HELPER\V2.0".
std::string ServicePipeName();

// The server end of the pipe, with the rights to change its own DACL and owner.
qz::FileHandle CreateHelperPipe(const std::string& name);

enum class RecordOutcome { Served, Stop };

// Acts on one record (the table is reached only through messages to the list view).
RecordOutcome HandlePipeRecord(HelperContext& context, const PipeRequest& request);

// Serves clients one at a time until the stop record (while stopping) or a broken pipe; then
// closes the pipe and posts WM_HELPER_PIPE_ENDED.
DWORD WINAPI PipeServerThread(void* context);

// Writes the stop record to the named pipe, waiting up to 5 s for a busy one. 1 when written.
int SendPipeStop(const std::string& name);
