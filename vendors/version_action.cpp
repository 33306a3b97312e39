#include "vendors/version_action.h"

std::wstring ActionFor(int comparison) {
  switch (comparison) {
    case 0:
      return L"rewrite";
    case 1:
      return L"upgrade";
    case -1:
      return L"downgrade";
    default:
      return L"unknown";
  }
}
