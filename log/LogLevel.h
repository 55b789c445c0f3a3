#pragma once
// Levels of the log's lines and directions of its traffic dumps: the numbers
// every writer names, kept apart from the file itself.

enum LogLevel { kLogMost = 0, kLogFlow = 1, kLogWarn = 2, kLogError = 3 };

enum DumpDirection { kDumpSent = 1, kDumpReceived = 2 };
