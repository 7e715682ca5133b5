// Appends one line per message to log.txt in the current directory. The file
// is opened and closed for every message; a log that cannot be opened drops
// the message.
#ifndef ORVANEL_PATCH_LOGGER_H_
#define ORVANEL_PATCH_LOGGER_H_

#include <cstdio>

class Logger {
 public:
  Logger();
  ~Logger() = default;
  Logger(const Logger&) = delete;
  Logger& operator=(const Logger&) = delete;

  // printf-style; the formatted text is cut to 1023 characters. Arguments are
  // written as they are (a '%' inside one stays a '%'). A null format writes
  // nothing.
  void Print(const char* format, ...)
#if defined(__GNUC__)
      __attribute__((format(printf, 2, 3)))
#endif
      ;

  char fileName[256];
  FILE* stream = nullptr;
};

// The log the core writes to. Every program that links the core defines it
// (the window program before its DllPatcher, so that the patcher may log).
extern Logger logger;

#endif  // ORVANEL_PATCH_LOGGER_H_
