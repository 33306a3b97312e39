// Memory the program hands to a vendor library to write into.
//
// A vendor library (an FC-HBA library or a management library) writes names
// and records into the caller's memory without being told how large it is.
// One that writes past its contract, a name longer than the caller's buffer
// or a record of a later and larger layout, must not reach anything else of
// the program's. So every such call writes into a VendorRoom: a zero-filled
// block far larger than any contract, the text or record at its start; the
// program copies out what it keeps, bounded by its own field or record.
//
// A room does not protect against a library that writes at random; nothing
// in the caller's process can. It owns its block; it is not copyable.
#ifndef ZRN_HBA_VENDOR_ROOM_H_
#define ZRN_HBA_VENDOR_ROOM_H_

#include <cstddef>
#include <cstring>
#include <type_traits>

// The largest thing a vendor is meant to write is the extension record of
// 2199 bytes; the longest text, a management library's name of at most 1023
// characters. 64 KiB is some thirty times the first, so a name that runs on
// or a record grown by a later version of the interface still lands here.
constexpr size_t kVendorRoomSize = 64 * 1024;

class VendorRoom {
 public:
  VendorRoom() = default;
  VendorRoom(const VendorRoom&) = delete;
  VendorRoom& operator=(const VendorRoom&) = delete;

  // The block zero-filled again and handed out as a `T` for the vendor to
  // fill. Every call that writes into the room starts from this.
  template <typename T>
  [[nodiscard]] T* Fresh() {
    static_assert(std::is_trivially_copyable_v<T> && sizeof(T) <= kVendorRoomSize,
                  "a plain record that fits the room");
    std::memset(bytes_, 0, sizeof bytes_);
    return reinterpret_cast<T*>(bytes_);
  }
  // The block zero-filled again, for a text.
  [[nodiscard]] char* FreshText() { return Fresh<char>(); }

  // The `T` at the start of the block, as the vendor left it.
  template <typename T>
  [[nodiscard]] T Take() const {
    static_assert(std::is_trivially_copyable_v<T> && sizeof(T) <= kVendorRoomSize,
                  "a plain record that fits the room");
    T value;
    std::memcpy(&value, bytes_, sizeof value);
    return value;
  }

  // Ends the text at the start of the block after at most `length`
  // characters, so that what is handed on is what the contract allows.
  void CutText(size_t length);
  // Copies the text at the start of the block into `field` of `size` bytes
  // (at least 1): at most `size` - 1 characters, always terminated.
  void CopyText(char* field, size_t size) const;
  // The block, for a vendor call that takes a writable text already there
  // (CutText or a copy put it there).
  [[nodiscard]] char* text() { return reinterpret_cast<char*>(bytes_); }

 private:
  alignas(std::max_align_t) unsigned char bytes_[kVendorRoomSize] = {};
};

#endif  // ZRN_HBA_VENDOR_ROOM_H_
