#include "hba/wwn_text.h"

#include <cstdio>

std::string WwnText(const uint8_t (&wwn)[8]) {
  char text[24];
  std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X:%02X:%02X",
                static_cast<unsigned>(wwn[0]), static_cast<unsigned>(wwn[1]),
                static_cast<unsigned>(wwn[2]), static_cast<unsigned>(wwn[3]),
                static_cast<unsigned>(wwn[4]), static_cast<unsigned>(wwn[5]),
                static_cast<unsigned>(wwn[6]), static_cast<unsigned>(wwn[7]));
  return text;
}
