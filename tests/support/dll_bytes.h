// The one generator of DLL stand-in bytes for every test program: bytes that
// differ from position to position and begin with 0x00, 0x0A, 0x0D, 0x1A and
// 0xFF, which a text-mode copy would change. Standard library only, so the
// Windows end-to-end driver uses it too.
#ifndef ORVANEL_TESTS_SUPPORT_DLL_BYTES_H_
#define ORVANEL_TESTS_SUPPORT_DLL_BYTES_H_

#include <cstddef>
#include <string>

inline std::string DllBytes(size_t size, unsigned seed = 1) {
  std::string bytes(size, '\0');
  unsigned state = seed * 2654435761u + 12345u;
  for (size_t i = 0; i < size; ++i) {
    state = state * 1103515245u + 12345u;
    bytes[i] = static_cast<char>(state >> 16);
  }
  static const char kAwkward[] = {0x00, 0x0A, 0x0D, 0x1A, '\xFF', 0x0D, 0x0A};
  for (size_t i = 0; i < sizeof kAwkward && i < size; ++i) bytes[i] = kAwkward[i];
  return bytes;
}

#endif  // ORVANEL_TESTS_SUPPORT_DLL_BYTES_H_
