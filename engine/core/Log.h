#pragma once

#include <string>

// The run's log: "logfile.txt", created by that relative name in whatever folder is current
// at the first message of the run (truncating the previous run's file) and appended to
// after that, one line per message, no prefix and no time stamp.
void WriteLog(const char* text);
void WriteLog(const std::string& text);

// Forgets the open log so that the next message starts a new run's file. Only tests need
// this: a real run opens the log once.
void ResetLogForNextRun();
