// The writer side of the printer helper service's pipe: one fixed record per connection,
// no reply.
#pragma once

#include <cstddef>
#include <cstdint>

#include "helper_pipe_record.h"

// How long to wait once for a busy pipe.
constexpr unsigned kHelperPipeBusyWaitMs = 5000;

// The pipe's name: "\\.\pipe\ORVIK_TELVUS_HELPER\V2.0".
const char* HelperPipeName();

// Fills a record. False (record untouched) for null texts or texts that do not fit their
// fields with the terminator.
bool BuildHelperPipeRecord(uint16_t code, const char* driver, const char* port, HelperPipeRecord* record);

// Opens the pipe, waiting up to 5 s in all for a busy one, writes one record, flushes and
// closes; a record not sent is logged.
// 1 on success; 0 when the pipe cannot be opened or written (a missing helper service is
// normal) or the texts do not fit.
int HelperPipeSend(uint16_t code, const char* driver, const char* port);

// Tells the helper service to forget every pair (once per process, at initialisation).
int HelperPipeClearPairs();
