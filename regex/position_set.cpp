#include "regex/position_set.h"

namespace {

// Bits 0 to b, and bits b to 63.
uint64_t UpTo(size_t b) { return b == 63 ? ~uint64_t{0} : (uint64_t{1} << (b + 1)) - 1; }
uint64_t From(size_t b) { return ~uint64_t{0} << b; }

int HighestBit(uint64_t w) { return 63 - __builtin_clzll(w); }
int LowestBit(uint64_t w) { return __builtin_ctzll(w); }

}  // namespace

size_t PositionSet::bytesFor(size_t count) {
  size_t words = 0;
  size_t level = (count + 63) / 64;
  if (level == 0) level = 1;
  while (true) {
    words += level;
    if (level == 1) break;
    level = (level + 63) / 64;
  }
  return words * sizeof(uint64_t);
}

void PositionSet::reset(int first, size_t n) {
  base = first;
  count = n;
  offsets.clear();
  sizes.clear();
  size_t total = 0;
  size_t level = (n + 63) / 64;
  if (level == 0) level = 1;
  while (true) {
    offsets.push_back(total);
    sizes.push_back(level);
    total += level;
    if (level == 1) break;
    level = (level + 63) / 64;
  }
  words.assign(total, 0);
  // The bits past the last position (and past the last word of the level
  // below) are set, so no search ever ends on one.
  for (size_t l = 0; l < sizes.size(); ++l) {
    const size_t valid = l == 0 ? n : sizes[l - 1];
    for (size_t i = valid; i < sizes[l] * 64; ++i) setBit(l, i);
  }
}

void PositionSet::setBit(size_t level, size_t i) {
  while (true) {
    uint64_t& word = words[offsets[level] + (i >> 6)];
    const uint64_t before = word;
    word |= uint64_t{1} << (i & 63);
    // Only a word that has just filled up changes the level above.
    if (word != ~uint64_t{0} || before == word || level + 1 == sizes.size()) return;
    ++level;
    i >>= 6;
  }
}

void PositionSet::insert(int position) { setBit(0, static_cast<size_t>(position - base)); }

void PositionSet::insertRange(int low, int high) {
  size_t i = static_cast<size_t>(low - base);
  const size_t end = static_cast<size_t>(high - base);
  while (i < end) {
    const size_t w = i >> 6;
    const size_t last = end - (w << 6) < 64 ? end - (w << 6) : 64;
    uint64_t bits = From(i & 63);
    if (last < 64) bits &= (uint64_t{1} << last) - 1;
    uint64_t& word = words[offsets[0] + w];
    const uint64_t before = word;
    word |= bits;
    if (word == ~uint64_t{0} && before != word && sizes.size() > 1) setBit(1, w);
    i = (w << 6) + last;
  }
}

int PositionSet::lastAbsentAtOrBelow(int position, int floor) const {
  if (position < floor) return floor - 1;
  long j = static_cast<long>(position - base);
  size_t level = 0;
  // Up while the words met are full below the start, then down to the
  // highest clear bit.
  while (true) {
    const uint64_t clear =
        ~words[offsets[level] + (static_cast<size_t>(j) >> 6)] & UpTo(static_cast<size_t>(j) & 63);
    if (clear != 0) {
      j = (j & ~63L) + HighestBit(clear);
      break;
    }
    j = (j >> 6) - 1;
    if (j < 0 || level + 1 == sizes.size()) return floor - 1;
    ++level;
  }
  while (level > 0) {
    --level;
    j = j * 64 + HighestBit(~words[offsets[level] + static_cast<size_t>(j)]);
  }
  const int found = base + static_cast<int>(j);
  return found >= floor ? found : floor - 1;
}

int PositionSet::firstAbsentAtOrAbove(int position) const {
  const int end = base + static_cast<int>(count);
  if (position >= end) return end;
  size_t j = static_cast<size_t>(position - base);
  size_t level = 0;
  while (true) {
    const uint64_t clear = ~words[offsets[level] + (j >> 6)] & From(j & 63);
    if (clear != 0) {
      j = (j & ~size_t{63}) + static_cast<size_t>(LowestBit(clear));
      break;
    }
    j = (j >> 6) + 1;
    if (level + 1 == sizes.size() || j >= sizes[level]) return end;
    ++level;
  }
  while (level > 0) {
    --level;
    j = j * 64 + static_cast<size_t>(LowestBit(~words[offsets[level] + j]));
  }
  return base + static_cast<int>(j);
}
