// PositionSet: a set of text positions, one bit each, that finds the nearest
// position not in the set on either side in a few word operations.
//
// The failure memo keeps one per node and the run memo one per repetition
// (see BasicMatcher::kMemoAfterSteps). Above the bits of the positions lie
// summary levels: a bit of level k + 1 is set when the 64 bits below it, a
// word of level k, are all set. A search walks up while it finds only full
// words and back down to the first clear bit, so it costs one word per
// level: at most six levels for any int position. The summaries add 1/63 of
// the bits. Positions are counted from a base, the first position the
// operation can reach.
#ifndef ZRN_REGEX_POSITION_SET_H_
#define ZRN_REGEX_POSITION_SET_H_

#include <cstddef>
#include <cstdint>
#include <vector>

class PositionSet {
 public:
  // Bytes that a set over `count` positions takes, its summaries included.
  static size_t bytesFor(size_t count);

  // Makes the set empty over positions base to base + count - 1; memory is
  // kept for the next use.
  void reset(int base, size_t count);
  bool empty() const { return words.empty(); }

  bool contains(int position) const {
    const size_t i = static_cast<size_t>(position - base);
    return (words[i >> 6] >> (i & 63)) & 1u;
  }
  void insert(int position);
  // Inserts every position from low to high - 1.
  void insertRange(int low, int high);
  // The highest position not in the set from `position` down to `floor`, or
  // floor - 1 when there is none.
  int lastAbsentAtOrBelow(int position, int floor) const;
  // The lowest position not in the set from `position` up, or one past the
  // last position of the set when there is none.
  int firstAbsentAtOrAbove(int position) const;

 private:
  // Sets bit i of level `level` and, when its word fills up, the bit above.
  void setBit(size_t level, size_t i);

  int base = 0;
  size_t count = 0;
  // Levels one after the other: level 0 (the positions) from offsets[0].
  std::vector<uint64_t> words;
  std::vector<size_t> offsets;
  std::vector<size_t> sizes;
};

#endif  // ZRN_REGEX_POSITION_SET_H_
