// Trace points at the entry and exit of every COM method. The band writes no
// log: the text is formatted and dropped, so a debugger can break here.
#pragma once

void TraceMessage(const char* format, ...);
