// The helper pipe: its instances, the server thread that reads one record per client and acts
// on it, and the stop record.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "pipe_request.h"
#include "win_handles.h"

struct HelperContext;

// "\\.\pipe\ORVIK_TELVUS_HELPER\V2.0".
std::string ServicePipeName();

// Makes every instance the pipe will have (kPipeInstances, the pipe's instance limit), each open
// to every user for writing records and closed to remote clients. The service must own the
// name: the first instance asks to be the first one, and after each instance the pipe must count
// exactly the instances made so far (Wine makes a "first" instance beside a stranger's). On
// failure none is kept and the error is returned (ERROR_ALREADY_EXISTS: another program holds
// an instance); else ERROR_SUCCESS.
DWORD CreateHelperPipes(const std::string& name, std::vector<qz::FileHandle>* instances);

enum class RecordOutcome { Served, Stop };

// Acts on one record (the table is reached only through messages to the list view).
RecordOutcome HandlePipeRecord(HelperContext& context, const PipeRequest& request);

// Serves the clients of every instance side by side, each for at most the pipe's time-out,
// until the stop record (while stopping) or a broken pipe; then closes the instances and posts
// WM_HELPER_PIPE_ENDED.
DWORD WINAPI PipeServerThread(void* context);

// Writes the stop record to the named pipe, waiting up to 5 s for a busy one. 1 when written.
int SendPipeStop(const std::string& name);
