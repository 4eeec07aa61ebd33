// Change guards of network edits and small helpers shared across the engine.
//
// VRN_autoUpdateGuard batches the network's automatic belief update: while
// the network's auto-update flag is set, each guard takes a ticket, and the
// release of the outermost guard runs one UpdateBeliefs. Guards nest freely.
// VRN_relevanceOffGuard switches relevance reasoning off for one scope whose
// edits its owner books afterwards.
// VRN_impliedEvidenceKeeper keeps the implied evidence through edits that
// cannot change it. All are scope objects bound to one network; they must
// not outlive it.
//
// The helpers: VRN_Fopen (open a file named in UTF-8), the default outcome
// names of new discrete definitions, a uniform table for a node, clock
// readings, and the arithmetic of distributions over intervals (a continuous
// variable discretized into n intervals, the outer ones possibly unbounded
// and then modelled as half-normal tails).
//
// Thread use: guards assume one thread per network. The default outcome
// lists may be asked for from several threads at once (each network on its
// own thread).
#ifndef QELTA_NETWORK_CHANGE_GUARDS_H_
#define QELTA_NETWORK_CHANGE_GUARDS_H_

#include <cstdint>
#include <cstdio>
#include <ctime>

#include "base/intervals.h"

class VRN_network;
class VRN_idArray;
class VRN_matrix;
class VRN_randomGenerator;

class VRN_autoUpdateGuard {
 public:
  // Takes a ticket when the network is not updating and automatic update is
  // on. runUpdate: whether the release of the outermost guard updates.
  explicit VRN_autoUpdateGuard(VRN_network* network, bool runUpdate = true);
  // Gives the ticket back; the last one out runs UpdateBeliefs (its result
  // is ignored) when runUpdate is set.
  ~VRN_autoUpdateGuard();

  VRN_autoUpdateGuard(const VRN_autoUpdateGuard&) = delete;
  VRN_autoUpdateGuard& operator=(const VRN_autoUpdateGuard&) = delete;

  // -1 when this guard took no part in batching.
  int Ticket() const { return ticket_; }

 private:
  VRN_network* network_;
  int ticket_;
  std::uint8_t runUpdate_;
};

class VRN_relevanceOffGuard {
 public:
  // Clears relevance reasoning, remembering whether it was on.
  explicit VRN_relevanceOffGuard(VRN_network* network);
  // Switches it on again when it was on; the edits of the scope leave the
  // network's skipped-bookkeeping mark as the scope found it.
  ~VRN_relevanceOffGuard();

  VRN_relevanceOffGuard(const VRN_relevanceOffGuard&) = delete;
  VRN_relevanceOffGuard& operator=(const VRN_relevanceOffGuard&) = delete;

 private:
  VRN_network* network_;
  std::uint8_t wasOn_;
  std::uint8_t skipped_;
};

// For edits that cannot change what evidence implies, such as a solver's own
// utility node and the arcs it draws between decisions (implied outcomes
// never reach a decision or a utility). Skipped bookkeeping would mark the
// implied evidence to be derived again, and with relevance reasoning off
// that drops it: the keeper puts the mark back as the scope found it.
class VRN_impliedEvidenceKeeper {
 public:
  explicit VRN_impliedEvidenceKeeper(VRN_network* network);
  // Restore().
  ~VRN_impliedEvidenceKeeper();

  VRN_impliedEvidenceKeeper(const VRN_impliedEvidenceKeeper&) = delete;
  VRN_impliedEvidenceKeeper& operator=(const VRN_impliedEvidenceKeeper&) =
      delete;

  // The mark as it was when the keeper was made.
  void Restore();

 private:
  VRN_network* network_;
  bool stale_;
};

// Opens a file whose name is UTF-8. Names of plain ASCII bytes go to the
// narrow open as they are; others go through UTF-16 and the wide open where
// the platform names files in UTF-16 (elsewhere the UTF-8 bytes are the
// name). Null for a null name or mode, or when the open fails; the caller
// closes the stream.
std::FILE* VRN_Fopen(const char* name, const char* mode);

// Default outcome identifiers of new discrete definitions: prefix + "0",
// prefix + "1" ("State0", "State1" for a null prefix). The list for each
// prefix is built once and shared; never modify it.
const VRN_idArray& VRN_DefaultOutcomeIds(const char* prefix = nullptr);

// Sizes table to node h's parents' outcome counts as children see them, in
// parent order, followed by count (just count when h is not a live node),
// and fills every item with 1/count. Answers 0, -2 for count < 1 or a
// parent without outcomes, or the matrix's refusal (-2, -42) for a table
// that does not fit.
int VRN_SetUniformTable(VRN_network* network, int handle, int count,
                        VRN_matrix& table);

// The runtime's processor clock and calendar time.
std::clock_t VRN_Clock();
std::time_t VRN_Time();

#endif  // QELTA_NETWORK_CHANGE_GUARDS_H_
