// Matcher: the state of matching one pattern against one text.
//
// It holds its own copy of the text, the bounds of every group, the state of
// every quantified group and the mode that tells the start and end nodes
// whether the whole text must match. It refers to its pattern without owning
// it and must not outlive it. Not thread-safe; one caller at a time.
#ifndef ZRN_REGEX_MATCHER_H_
#define ZRN_REGEX_MATCHER_H_

#include <string>
#include <vector>

#include "regex/position_set.h"

template <class CharT>
class BasicPattern;
template <class CharT>
class BasicNFANode;
template <class CharT>
class BasicNFAQuantifierNode;
template <class CharT>
class BasicNFAGreedyQuantifierNode;
template <class CharT>
class BasicNFALazyQuantifierNode;
template <class CharT>
struct PatternInternals;

template <class CharT>
class BasicMatcher {
 public:
  using String = std::basic_string<CharT>;

  // Mode bit: the start node tries position 0 only and the end node succeeds
  // only at the end of the text.
  static constexpr unsigned long MATCH_WHOLE_TEXT = 1;

  // Bound on the stack that one match operation may use. Every node of an
  // attempt that does not only pass the position on, and every iteration of
  // a group loop or alternative, adds a nested call; an attempt that would
  // use more stack than this fails, and the whole operation then reports no
  // match (never a shorter, false success). Half the usual 8 MiB main stack,
  // counted in bytes, so the bound holds whatever the frames of a build
  // weigh. Repetitions of a single atom and runs of plain characters need no
  // stack per character. A group loop still costs a few calls per
  // iteration; measured, the longest texts that still whole-match are about
  // 15,000 characters for "(a|b)*" and 47,000 for "(?:ab)*" in an optimised
  // (Release) build, and about 10,000 and 29,000 in the RelWithDebInfo build
  // under AddressSanitizer and UndefinedBehaviorSanitizer, in both widths.
  // A longer text reports no match.
  static constexpr long kMaxStackBytes = 4L << 20;

  // The memo. A backtracking search may reach the same node at the same
  // position again and again: nested repetitions (".*a.*b.*c") try the rest
  // of the pattern at every position each of them gives back, and a
  // repetition entered inside a run it has scanned before would scan it
  // again. For the patterns the memo serves, the outcome of "node N at
  // position p" depends on N and p alone, so once it has failed it stays a
  // failure for the rest of the operation.
  //
  // Which patterns: those without back references, quantified groups,
  // look-ahead, atomic groups, "\G" and repetitions of a literal of two or
  // more characters (the parser marks them). Every other node reads nothing
  // but the text, the position and the operation's mode, and an attempt
  // through them that fails puts back every group bound it changed, so
  // skipping it changes nothing a caller can see (the groups after a success
  // are those of the successful path; the start position of a search does
  // not enter the rest of a match). Without cycles in the graph, the
  // successor of each repetition and the node behind each join of
  // alternatives are the only nodes a search can reach at one position along
  // more than one path.
  //
  // What it keeps, for one operation, each in a PositionSet (one bit per
  // position of the text from where the operation starts):
  // - failures: for each such node, the positions where it failed. A call
  //   into the node at a known position fails at once; a repetition steps
  //   over a known stretch of positions in one search instead of trying
  //   them one by one.
  // - runs: for each repetition of one character or class that can take
  //   more than kShortRun characters ("." with DOT_ANY needs none: it holds
  //   everywhere), the positions where its atom is known to hold, so no
  //   character is tested twice and the end of a run is found from any
  //   position inside it.
  // So one operation calls each node at each position at most once (a call
  // answered by the memo costs one step), and a run is scanned once: the
  // steps of an operation stay below kStepBoundConstant + kStepsPerNodePosition
  // x nodes x (text length + 1) (see steps).
  //
  // The depth bound is kept exact: a failure that was tried from one stack
  // depth answers a call from another only where the call could not have hit
  // the bound. With each failure the memo keeps, for its node, the most
  // stack any failed try below it used (or would have used without the
  // memo), and answers only where the caller's depth plus that stays within
  // kMaxStackBytes; otherwise the call runs and meets the bound as it would
  // have without the memo.
  //
  // Memory: nothing is kept until an operation has taken more than
  // kMemoAfterSteps steps, far more than a release file, a version token or
  // a query line of the usual kind ever needs; then a node's or a
  // repetition's set is made the first time something goes into it. For
  // the program's own patterns that is at most 15 sets, under 2 bytes per
  // character of the text (the Emulex line pattern: 14 failure sets and one
  // run set). An operation whose sets could need more than kMaxMemoBytes
  // runs without the memo, with the results it always had and the time a
  // plain backtracking search takes.
  static constexpr long kMemoAfterSteps = 1L << 14;
  static constexpr size_t kMaxMemoBytes = size_t{64} << 20;
  // A repetition that can take at most this many characters (beyond its
  // minimum, and at most this many for its minimum) scans them again rather
  // than keep a run set.
  static constexpr int kShortRun = 8;
  // More than the stack between a repetition's frame and the frames of the
  // calls it makes (a few hundred bytes in every build measured).
  static constexpr long kCallGap = 4L << 10;
  // The bound on steps, for the engine's tests: C0 covers what runs before
  // the memo starts, K the calls, positions and characters per node and
  // position after it.
  static constexpr long kStepBoundConstant = 4 * kMemoAfterSteps;
  static constexpr long kStepsPerNodePosition = 64;

  // A matcher for pattern and a copy of text. Every capturing slot reports
  // start 0 and end 0 until the first match operation.
  BasicMatcher(const BasicPattern<CharT>* pattern, const String& text);
  BasicMatcher(const BasicMatcher&) = delete;
  BasicMatcher& operator=(const BasicMatcher&) = delete;
  ~BasicMatcher();

  // Replaces the text and resets.
  void setText(const String& text);
  // Forgets every previous search: the next findNext starts at position 0.
  void reset();
  // All group bounds and loop counters to -1, lastMatchEnd to 0.
  void clearGroups();

  // True when the pattern covers the whole text; the groups then hold what
  // each group took.
  bool matches();
  // Searches from position 0.
  bool findFirst();
  // The next match after the previous one (an empty match steps one further);
  // starts with findFirst on a fresh matcher or after matches(). Once it has
  // returned false it keeps returning false until reset, setText, findFirst
  // or matches.
  bool findNext();

  // Text of group i; empty for a group that does not exist or is unset.
  String group(int i) const;
  // Bounds of group i; -1 for a group that does not exist.
  int groupStart(int i) const;
  int groupEnd(int i) const;
  // group(i) for every group from 0 (includeWhole) or 1 up.
  std::vector<String> groups(bool includeWhole) const;
  // Group 0 of every successive match, from the start of the text.
  std::vector<String> findAll();
  // The replacement with "\N" turned into group N and "\c" into c.
  String expandReplacement(const String& replacement) const;

  String getText() const { return text; }
  unsigned long getMode() const { return mode; }

 private:
  friend class BasicNFANode<CharT>;
  // The repetitions use the memo directly.
  friend class BasicNFAQuantifierNode<CharT>;
  friend class BasicNFAGreedyQuantifierNode<CharT>;
  friend class BasicNFALazyQuantifierNode<CharT>;
  friend struct PatternInternals<CharT>;

  // Starts one match operation from position start: no depth used, no
  // overflow seen, no step taken, the memo off.
  void beginOperation(int start);
  // After a failed operation every group reads as the empty string: group 0's
  // end is -1 and every other group is unset; group 0's start stays.
  void clearAfterFailure();
  int runHead(int pos);
  // The memo (see kMemoAfterSteps). Nodes count their steps here, which
  // starts the memo once there were more than memoAfterSteps.
  void addSteps(long n) {
    steps += n;
    if (steps > memoStartAt && !memoOn) startMemo();
  }
  __attribute__((noinline, cold)) void startMemo();
  // Whether node slot `slot` is known to fail at pos for a call whose frame
  // lies `depth` bytes down the stack; when it is, the stack the call would
  // have used counts as used.
  bool knownFailure(int slot, int pos, long depth) {
    if (!failureLive[static_cast<size_t>(slot)]) return false;
    if (!failures[static_cast<size_t>(slot)].contains(pos)) return false;
    const long reach = depth + failureDepth[static_cast<size_t>(slot)];
    if (reach > kMaxStackBytes) return false;
    if (reach > peak) peak = reach;
    return true;
  }
  // Node slot `slot` failed at pos, and the try used `extra` bytes of stack
  // beyond the call's own frame.
  void recordFailure(int slot, int pos, long extra);
  // The highest position from at down to floor that slot `slot` is not
  // known to fail at, or floor - 1, for a repetition whose frame lies
  // `depth` bytes down the stack, where that many could be stepped over
  // without reaching the depth bound; else at.
  int skipKnown(int slot, int at, int floor, long depth) {
    if (!failureLive[static_cast<size_t>(slot)]) return at;
    const PositionSet& known = failures[static_cast<size_t>(slot)];
    if (!known.contains(at)) return at;
    const long reach = depth + kCallGap + failureDepth[static_cast<size_t>(slot)];
    if (reach > kMaxStackBytes) return at;
    if (reach > peak) peak = reach;
    return known.lastAbsentAtOrBelow(at, floor);
  }
  // The highest position from at down to floor that slot `slot` is not
  // known to fail at, or floor - 1.
  int lastUnknown(int slot, int at, int floor) const {
    if (!failureLive[static_cast<size_t>(slot)]) return at;
    return failures[static_cast<size_t>(slot)].lastAbsentAtOrBelow(at, floor);
  }
  // The lowest position from at up that slot `slot` is not known to fail at.
  int firstUnknown(int slot, int at) const {
    if (!failureLive[static_cast<size_t>(slot)]) return at;
    return failures[static_cast<size_t>(slot)].firstAbsentAtOrAbove(at);
  }
  // The run set of repetition `slot`, empty the first time it is asked for
  // in an operation.
  PositionSet& runSet(int slot);

  const BasicPattern<CharT>* pattern;
  String text;
  // Each array holds groupCount + nonCapCount values and is addressed by group
  // index from -nonCapCount to groupCount - 1 through the shifted pointers.
  // The five arrays lie one after the other in one block: inside the
  // matcher for patterns with few groups, else on the heap.
  static constexpr size_t kInlineSlots = 8;
  int inlineStore[5 * kInlineSlots];
  std::vector<int> heapStore;
  int* starts;
  int* ends;
  int* loopCounts;
  int* loopPositions;
  int* loopSnapshots;
  int lastMatchEnd;
  int groupCount;
  int nonCapCount;
  int matched;
  unsigned long mode;
  // Set when a search has failed: findNext then returns false without
  // searching, so it never starts at a negative position or past the end.
  bool finished;
  // Stack address at the start of the current operation, and whether an
  // attempt hit kMaxStackBytes (every further node call then fails at once).
  const char* stackBase;
  bool overflow;
  // Values that nodes save while an attempt runs and put back when it fails
  // (see BasicNFAOrNode); empty between operations.
  std::vector<int> scratch;
  // The memo. steps counts node calls, positions a repetition tries or
  // steps over and characters it tests, in this operation; memoStartAt is
  // memoAfterSteps while the memo may start and is not on, else LONG_MAX.
  // memoAfterSteps is kMemoAfterSteps; the engine's own tests change it to
  // compare results with the memo always on and never on.
  long steps;
  long memoStartAt;
  long memoAfterSteps;
  bool memoOn;
  // The pattern lets the memo serve (BasicPattern::memoizable).
  bool memoAllowed;
  // Set by a node call that the memo answered, cleared by one it ran.
  bool answeredFromMemo;
  // The deepest frame, in bytes from stackBase, that the current try has
  // used or would have used without the memo.
  long peak;
  // First position the current operation can reach, and how many follow.
  int memoBase;
  size_t memoCount;
  // Per node slot: the failures, whether they were started in this
  // operation, and the most stack a failed try below the node used.
  std::vector<PositionSet> failures;
  std::vector<char> failureLive;
  std::vector<long> failureDepth;
  std::vector<PositionSet> runs;
  std::vector<char> runLive;
};

using Matcher = BasicMatcher<char>;
using WideMatcher = BasicMatcher<wchar_t>;

#endif  // ZRN_REGEX_MATCHER_H_
