#include "hba/vendor_room.h"

void VendorRoom::CutText(size_t length) {
  bytes_[length < sizeof bytes_ ? length : sizeof bytes_ - 1] = '\0';
}

void VendorRoom::CopyText(char* field, size_t size) const {
  if (field == nullptr || size == 0) return;
  const char* text = reinterpret_cast<const char*>(bytes_);
  size_t length = strnlen(text, sizeof bytes_);
  if (length > size - 1) length = size - 1;
  std::memcpy(field, text, length);
  field[length] = '\0';
}
