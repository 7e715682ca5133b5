#include "patch/logger.h"

#include <cstdarg>
#include <cstring>

#include "io/file_paths.h"

Logger::Logger() {
  std::snprintf(fileName, sizeof fileName, "%s", "log.txt");
}

void Logger::Print(const char* format, ...) {
  if (format == nullptr) return;
  char message[1024];
  va_list arguments;
  va_start(arguments, format);
  int written = std::vsnprintf(message, sizeof message, format, arguments);
  va_end(arguments);
  if (written < 0) return;

  stream = OpenFile(fileName, "a+");
  if (stream == nullptr) return;
  std::fputs(message, stream);
  std::fputs("\n", stream);
  std::fclose(stream);
  stream = nullptr;
}
