// Construction, copying, reset and settings of VRN_network.
#include "network/network.h"

#include <cassert>

#include "network/cases.h"
#include "network/dbn.h"
#include "base/error_log.h"
#include "network/node.h"
#include "base/random.h"
#include "base/status.h"
#include "network/submodel.h"
#include "definitions/node_def.h"
#include "equations/ext_functions.h"

bool VRN_episParams::operator==(const VRN_episParams& other) const {
  return proplen == other.proplen && numstates1 == other.numstates1 &&
         numstates2 == other.numstates2 && numstates3 == other.numstates3 &&
         eps1 == other.eps1 && eps2 == other.eps2 && eps3 == other.eps3 &&
         eps4 == other.eps4;
}

VRN_network::VRN_network() { Init(); }

VRN_network::VRN_network(const VRN_network& other, int copyFlags) {
  Init();
  try {
    Copy(other, copyFlags);
  } catch (...) {
    ClearContents();  // no destructor runs for a failed constructor
    delete errorLog_;
    throw;
  }
}

VRN_network& VRN_network::operator=(const VRN_network& other) {
  if (this != &other) Copy(other, 0);
  return *this;
}

VRN_network::~VRN_network() {
  ClearContents();
  delete errorLog_;
}

void VRN_network::Init() {
  if (nodes_.capacity() < 64) nodes_.reserve(64);
  numNodes_ = 0;
  numTargets_ = 0;
  randSeed_ = 0;
  bnAlgorithm_ = 0;
  idAlgorithm_ = 0;
  numSamples_ = 10000;
  numDiscSamples_ = 10000;
  zeroAvoidance_ = 1;
  outlierRejection_ = 0;
  noisyDecomp_ = 0;
  noisyDecompLimit_ = 4;

  submodels_ = new VRN_submodelTable(this);
  // One log for the network's whole life: other logs may forward to it.
  if (errorLog_ == nullptr) {
    errorLog_ = new VRN_errorLog();
  } else {
    *errorLog_ = VRN_errorLog();
  }
  randomGenerator_ = nullptr;
  dbn_ = nullptr;
  tableCache_.reset();
  extFunctions_ = nullptr;

  loadFlags_ = 0;
  flags_ = qelta::kNetRelevance | qelta::kNetEvidencePropagation;
  updating_ = 0;
  batchDepth_ = 0;
  // Every relevance hook is on: values are invalidated by the edits that
  // can change them rather than only by explicit calls.
  relevanceOptions_ = qelta::kRelAllOptions;
  impliedStale_ = false;
  bookkeepingSkipped_ = false;
  orderValid_ = 0;

  freeSlots_.clear();
  idIndex_.clear();
  rank_.clear();
  ranksValid_ = true;
  nextRank_ = 0;
  visitStamp_.clear();
  stamp_ = 0;

  VRN_header* header = Header();
  (void)header->SetId("Unnamed");
  (void)header->SetName("Unnamed");
}

void VRN_network::ClearContents() {
  influenceNodes_ = -1;
  for (VRN_node*& node : nodes_) {
    delete node;
    node = nullptr;
  }
  delete submodels_;
  submodels_ = nullptr;
  delete cases_;
  cases_ = nullptr;
  delete dbn_;
  dbn_ = nullptr;
  delete extFunctions_;
  extFunctions_ = nullptr;
  tableCache_.reset();
  clusteringCache_.reset();
  delete randomGenerator_;
  randomGenerator_ = nullptr;
  evidenceNodes_.clear();
  evidenceListed_.clear();
}

void VRN_network::Reset() {
  ClearContents();
  nodes_.clear();
  order_.Flush();
  userProperties_.Flush();
  documentation_.Flush();
  episParams_ = VRN_episParams();
  annealedMapTuning_ = VRN_annealedMapTuning();
  reserved_ = 5;
  Init();
}

int VRN_network::Copy(const VRN_network& other, int copyFlags) {
  assert(&other != this);
  ClearContents();
  try {
    nodes_.assign(other.nodes_.size(), nullptr);
    for (size_t h = 0; h < other.nodes_.size(); ++h) {
      if (other.nodes_[h] != nullptr) {
        nodes_[h] = new VRN_node(*other.nodes_[h], this, copyFlags);
      }
    }
    numNodes_ = other.numNodes_;
    numTargets_ = other.numTargets_;
    numSamples_ = other.numSamples_;
    numDiscSamples_ = other.numDiscSamples_;
    randSeed_ = other.randSeed_;
    outlierRejection_ = other.outlierRejection_;
    zeroAvoidance_ = other.zeroAvoidance_;
    bnAlgorithm_ = other.bnAlgorithm_;
    idAlgorithm_ = other.idAlgorithm_;
    noisyDecomp_ = other.noisyDecomp_;
    noisyDecompLimit_ = other.noisyDecompLimit_;
    loadFlags_ = other.loadFlags_;
    flags_ = other.flags_;
    // An algorithm edits its copy step by step; an update after each edit
    // would solve the half-built copy, which may start the algorithm again.
    if ((copyFlags & qelta::kCopyWorking) != 0) {
      flags_ &= ~qelta::kNetAutoUpdate;
    }
    relevanceOptions_ = other.relevanceOptions_;
    impliedStale_ = other.impliedStale_;
    bookkeepingSkipped_ = other.bookkeepingSkipped_;
    updating_ = 0;
    batchDepth_ = 0;
    orderValid_ = other.orderValid_;
    if (orderValid_ != 0) order_ = other.order_;

    userProperties_ = other.userProperties_;
    if ((copyFlags & qelta::kCopyNoDocumentation) == 0) {
      documentation_ = other.documentation_;
    }
    annealedMapTuning_ = other.annealedMapTuning_;
    reserved_ = other.reserved_;
    episParams_ = other.episParams_;

    if ((copyFlags & qelta::kCopyEmptyCases) == 0 && other.cases_ != nullptr) {
      cases_ = new VRN_caseList(this, *other.cases_);
      // Without the temporal part no node is a plate node, and the file
      // keeps per-slice evidence only on plate nodes.
      if ((copyFlags & qelta::kCopyNoTemporal) != 0) cases_->DropTimeSlices();
    }
    submodels_ = new VRN_submodelTable(*other.submodels_, this);
    if ((copyFlags & qelta::kCopyNoTemporal) == 0 && other.dbn_ != nullptr) {
      dbn_ = new VRN_dbn(this, *other.dbn_);
    }
    if (other.tableCache_ != nullptr) {
      tableCache_ =
          std::make_unique<std::deque<VRN_tableCacheEntry>>(*other.tableCache_);
    }
    if (other.extFunctions_ != nullptr) {
      extFunctions_ = new VRN_extFunctionContainer(*other.extFunctions_);
      // The copied definitions must call this network's functions, not
      // those of other, which may be deleted first.
      for (VRN_node* node : nodes_) {
        if (node != nullptr) {
          (void)node->Definition()->PatchExtFunctions(extFunctions_);
        }
      }
    }
    if (other.randomGenerator_ != nullptr) {
      randomGenerator_ = new VRN_randomGenerator(*other.randomGenerator_);
    }
    if (errorLog_ == nullptr) {
      errorLog_ = new VRN_errorLog(*other.errorLog_);
    } else {
      *errorLog_ = *other.errorLog_;
    }

    freeSlots_ = other.freeSlots_;
    idIndex_ = other.idIndex_;
    rank_ = other.rank_;
    ranksValid_ = other.ranksValid_;
    nextRank_ = other.nextRank_;
    visitStamp_.assign(nodes_.size(), 0);
    stamp_ = 0;
  } catch (...) {
    // Leave a usable empty network behind rather than a half copy.
    ClearContents();
    nodes_.clear();
    order_.Flush();
    Init();
    throw;
  }
  // Brought up to date under the settings copied, before the caller
  // switches any: a copy with relevance reasoning off would otherwise drop
  // implied evidence the original derives.
  RefreshImpliedEvidence();
  return qelta::kOk;
}

// ---------------------------------------------------------------- settings

int VRN_network::SetDefaultBNAlgorithm(int code) {
  // A code outside 0..12 is refused, not silently taken as success.
  if (static_cast<unsigned>(code) > 12u) return qelta::kErrOutOfRange;
  bnAlgorithm_ = code;
  return code;
}

int VRN_network::SetDefaultIDAlgorithm(int code) {
  if (code != 0 && code != 1) return qelta::kErrOutOfRange;
  // The other solver's values (a policy instead of expected utilities) are
  // not what an update gives now.
  if (code != idAlgorithm_ && IsInfluenceDiagram()) (void)OnStructureChange();
  idAlgorithm_ = code;
  return code;
}

int VRN_network::SetNumberOfSamples(int n) {
  if (n < 1) return qelta::kErrOutOfRange;
  numSamples_ = n;
  return qelta::kOk;
}

int VRN_network::SetNumberOfDiscretizationSamples(int n) {
  if (n < 1) return qelta::kErrOutOfRange;
  numDiscSamples_ = n;
  return qelta::kOk;
}

int VRN_network::SetEpisParams(const VRN_episParams& p) {
  // Written as positive tests so that a NaN fails them.
  bool ok = p.proplen >= 1 && p.numstates1 < p.numstates2 &&
            p.numstates2 < p.numstates3 && p.eps1 >= p.eps2 &&
            p.eps2 >= p.eps3;
  if (!ok) return qelta::kErrOutOfRange;
  episParams_ = p;
  return qelta::kOk;
}

int VRN_network::SetAnnealedMapTuning(const VRN_annealedMapTuning& t) {
  bool ok = t.speed >= 0.5 && t.speed <= 0.99 && t.Tmin > 0 &&
            t.kReheat > 0 && t.Tinit > 0 && t.Tinit > t.Tmin &&
            t.numCycle >= 1 && t.iReheatSteps >= 1 &&
            t.iReheatSteps <= t.iStopSteps;
  if (!ok) return qelta::kErrOutOfRange;
  annealedMapTuning_ = t;
  return qelta::kOk;
}

void VRN_network::SetRelevanceReasoning(bool on) {
  if (on) {
    const bool was_off = (flags_ & qelta::kNetRelevance) == 0;
    // Edits made with it off went without bookkeeping: what they imply is
    // derived again before it is next read.
    if (was_off) SetImpliedEvidenceStale(true);
    flags_ |= qelta::kNetRelevance;
    // Values computed with it off may be indexed by nodes that are implied
    // now (a utility's by a decision's informing node, say).
    if (was_off) {
      (void)InvalidateValues();
    } else {
      DropSkippedValuesIfBooked();
    }
  } else {
    flags_ &= ~qelta::kNetRelevance;
  }
}

void VRN_network::SetLoadFlags(int flags) { loadFlags_ = flags; }

VRN_header* VRN_network::Header() const {
  return &submodels_->GetSubmodel(qelta::kMainSubmodel)->Header();
}

VRN_randomGenerator* VRN_network::GetRandomGenerator() {
  if (randomGenerator_ == nullptr) {
    randomGenerator_ = new VRN_randomGenerator(randSeed_);
  }
  return randomGenerator_;
}

void VRN_network::ReseedRandomGenerator() {
  if (randSeed_ != 0 && randomGenerator_ != nullptr) {
    randomGenerator_->Seed(randSeed_);
  }
}

void VRN_network::EmptyTableCache() {
  if (tableCache_ != nullptr) tableCache_->clear();
}
