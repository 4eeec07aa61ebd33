// File and string input/output of VRN_network: the choice of format, the
// speaker made for one call, and the load into a fresh network that this
// network takes over only when the load succeeded.
#include <cassert>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "base/error_log.h"
#include "base/strings.h"
#include "network/network.h"
#include "network/dbn.h"
#include "network/node.h"
#include "base/status.h"
#include "io/format.h"
#include "io/text/ergo.h"
#include "io/text/hugin.h"
#include "io/text/ki.h"
#include "io/text/msbn.h"
#include "io/text/netica.h"
#include "io/text/vrn.h"
#include "io/text/xmlbif.h"
#include "io/xml/xvrn_speaker.h"

namespace {

// Extensions in the order they are tried; the first match wins.
struct FormatName {
  const char* extension;
  int code;
};
constexpr FormatName kFormatNames[] = {
    {"xvrn", qelta::kFormatXvrn},    {"qvrn", qelta::kFormatXvrn},
    {"erg", qelta::kFormatErgo},     {"dne", qelta::kFormatNetica},
    {"dsc", qelta::kFormatMsbn},     {"vrn", qelta::kFormatVrn},
    {"net", qelta::kFormatHugin},    {"dxp", qelta::kFormatKi},
    {"xml03", qelta::kFormatXmlBif},
};

// The text formats, whose speakers are not part of this build yet.
constexpr const char* kTextFormatNames[] = {
    nullptr,       "Ergo",  "Netica",     "MSBN",
    "native text", "Hugin", "XMLBIF 0.3", "KI"};

bool EqualsIgnoringCase(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    unsigned char ca = static_cast<unsigned char>(*a);
    unsigned char cb = static_cast<unsigned char>(*b);
    if (ca >= 'A' && ca <= 'Z') ca = static_cast<unsigned char>(ca - 'A' + 'a');
    if (cb >= 'A' && cb <= 'Z') cb = static_cast<unsigned char>(cb - 'A' + 'a');
    if (ca != cb) return false;
  }
  return *a == *b;
}

// 0 when every node identifier follows the identifier rule; else logs,
// naming the node and the format, that its file could not carry it, and
// answers -103. An identifier made with the at sign skips the rule, and no
// reader takes one back as it is: each drops, renames or refuses it.
int CheckWritableIds(const VRN_network& network, int format,
                     VRN_errorLog* log) {
  for (int h = network.GetFirstNode(); h >= 0; h = network.GetNextNode(h)) {
    const char* id = network.GetNode(h)->GetId();
    if (VRN_IsValidId(id)) continue;
    const char* name = format > qelta::kFormatByName &&
                               format < qelta::kFormatXvrn
                           ? kTextFormatNames[format]
                           : "XML";
    return log->Logf(qelta::kErrFileIo,
                     "Node '%s' cannot be written to the %s file: its "
                     "identifier is not a letter followed by letters, digits "
                     "or '_', and reading would not give it back",
                     id, name);
  }
  return qelta::kOk;
}

int InvalidExtensionWord(VRN_errorLog* log, int word) {
  return log->Logf(qelta::kErrOutOfRange,
                   "Invalid extension word %d: 0 or -1 expected", word);
}

}  // namespace

// ------------------------------------------------------------ the format

int VRN_network::FormatFromName(const char* name) {
  if (name == nullptr) return qelta::kErrOutOfRange;
  const char* dot = nullptr;
  for (const char* p = name; *p != '\0'; ++p) {
    if (*p == '.') dot = p;
  }
  if (dot == nullptr) return qelta::kErrOutOfRange;
  for (const FormatName& entry : kFormatNames) {
    if (EqualsIgnoringCase(dot + 1, entry.extension)) return entry.code;
  }
  return qelta::kErrOutOfRange;
}

VRN_fileFormat* VRN_network::CreateFormat(const char* name, int& format) {
  if (format == qelta::kFormatByName) format = FormatFromName(name);
  if (format == qelta::kFormatXvrn) {
    VRN_fileFormat* speaker = new (std::nothrow) VRN_xvrnSpeaker(this);
    if (speaker == nullptr)
      errorLog_->LogError(qelta::kErrOutOfMemory, nullptr);
    return speaker;
  }
  // Foreign text formats: Hugin, MSBN, XMLBIF.
  if (format == qelta::kFormatHugin || format == qelta::kFormatMsbn ||
      format == qelta::kFormatXmlBif) {
    VRN_fileFormat* speaker = nullptr;
    if (format == qelta::kFormatHugin) {
      speaker = new (std::nothrow) VRN_huginSpeaker(this);
    } else if (format == qelta::kFormatMsbn) {
      speaker = new (std::nothrow) VRN_microsoftSpeaker(this);
    } else {
      speaker = new (std::nothrow) VRN_xmlSpeaker(this);
    }
    if (speaker == nullptr)
      errorLog_->LogError(qelta::kErrOutOfMemory, nullptr);
    return speaker;
  }
  if (format == qelta::kFormatVrn) {
    VRN_fileFormat* speaker = new (std::nothrow) VRN_vrnSpeaker(this);
    if (speaker == nullptr)
      errorLog_->LogError(qelta::kErrOutOfMemory, nullptr);
    return speaker;
  }
  // Foreign text formats: Netica, Ergo, KI.
  if (format == qelta::kFormatNetica || format == qelta::kFormatErgo ||
      format == qelta::kFormatKi) {
    VRN_fileFormat* speaker = nullptr;
    if (format == qelta::kFormatNetica) {
      speaker = new (std::nothrow) VRN_neticaSpeaker(this);
    } else if (format == qelta::kFormatKi) {
      speaker = new (std::nothrow) VRN_kiSpeaker(this);
    } else {
      speaker = new (std::nothrow) VRN_ergoSpeaker(this);
    }
    if (speaker == nullptr)
      errorLog_->LogError(qelta::kErrOutOfMemory, nullptr);
    return speaker;
  }
  if (format >= qelta::kFormatErgo && format <= qelta::kFormatKi) {
    errorLog_->Logf(qelta::kErrOutOfRange,
                    "The %s file format is not available in this build",
                    kTextFormatNames[format]);
    return nullptr;
  }
  errorLog_->LogError(qelta::kErrOutOfRange, "Unknown File Format");
  return nullptr;
}

// ------------------------------------------------------------------ reads

int VRN_network::ReadFile(const char* name, int format, int extension) {
  qelta::FormatExtension choice;
  if (!qelta::FormatExtension::FromWord(extension, &choice)) {
    return InvalidExtensionWord(errorLog_, extension);
  }
  return Load(name, nullptr, format, choice);
}

int VRN_network::ReadFile(const char* name, int format,
                          IXmlBinding* extension) {
  return Load(name, nullptr, format,
              qelta::FormatExtension::ForReading(extension));
}

int VRN_network::ReadString(const char* text, int extension) {
  qelta::FormatExtension choice;
  if (!qelta::FormatExtension::FromWord(extension, &choice)) {
    return InvalidExtensionWord(errorLog_, extension);
  }
  return Load(nullptr, text == nullptr ? "" : text, qelta::kFormatXvrn, choice);
}

int VRN_network::ReadString(const char* text, IXmlBinding* extension) {
  return Load(nullptr, text == nullptr ? "" : text, qelta::kFormatXvrn,
              qelta::FormatExtension::ForReading(extension));
}

int VRN_network::Load(const char* name, const char* text, int format,
                      const qelta::FormatExtension& extension) {
  VRN_network fresh;
  {
    // The fresh network logs into this network's log (and its redirect)
    // while it loads; the loan ends before the take-over.
    struct LogLoan {
      VRN_network* owner;
      VRN_network* borrower;
      ~LogLoan() { std::swap(owner->errorLog_, borrower->errorLog_); }
    } loan{this, &fresh};
    std::swap(errorLog_, fresh.errorLog_);

    std::unique_ptr<VRN_fileFormat> speaker;
    if (text != nullptr) {
      speaker = std::make_unique<VRN_xvrnSpeaker>(&fresh);
    } else {
      speaker.reset(fresh.CreateFormat(name, format));
      if (speaker == nullptr) return qelta::kErrOutOfRange;
    }
    speaker->SetExtension(extension);
    (void)fresh.PrepareLoad(*speaker);
    const int status =
        text != nullptr
            ? static_cast<VRN_xvrnSpeaker*>(speaker.get())->ReadString(text)
            : speaker->Read(name);
    speaker.reset();
    fresh.loadFlags_ = 0;
    if (status != qelta::kOk) return status;
  }
  TakeOver(fresh);
  return qelta::kOk;
}

int VRN_network::PrepareLoad(const VRN_fileFormat& speaker) {
  // The network was emptied by whoever made it fresh for this load.
  const int saved = relevanceOptions_;
  relevanceOptions_ = 0;  // no relevance hook while the file builds nodes
  loadFlags_ = qelta::kLoadLoading;
  if (speaker.GuaranteesUniqueIds())
    loadFlags_ |= qelta::kLoadAllowDuplicateIds;
  if (speaker.GuaranteesAcyclic()) loadFlags_ |= qelta::kLoadSkipAcyclicity;
  return saved;
}

void VRN_network::TakeOver(const VRN_network& loaded) {
  assert(&loaded != this);
  // Everything is the loaded network's except the error log (with its
  // redirect) and the relevance options, which stay this network's.
  const int relevance = relevanceOptions_;
  VRN_errorLog* log = errorLog_;
  errorLog_ = nullptr;
  try {
    Copy(loaded, 0);
  } catch (...) {
    delete errorLog_;
    errorLog_ = log;
    throw;
  }
  delete errorLog_;
  errorLog_ = log;
  relevanceOptions_ = relevance;
  loadFlags_ = 0;
}

// ----------------------------------------------------------------- writes

int VRN_network::WriteFile(const char* name, int format, int extension) {
  qelta::FormatExtension choice;
  if (!qelta::FormatExtension::FromWord(extension, &choice)) {
    return InvalidExtensionWord(errorLog_, extension);
  }
  return Save(name, nullptr, format, choice);
}

int VRN_network::WriteFile(const char* name, int format,
                           IXmlWriterExtension* extension) {
  return Save(name, nullptr, format,
              qelta::FormatExtension::ForWriting(extension));
}

int VRN_network::WriteString(std::string& out, int extension) {
  out.clear();
  qelta::FormatExtension choice;
  if (!qelta::FormatExtension::FromWord(extension, &choice)) {
    return InvalidExtensionWord(errorLog_, extension);
  }
  return Save(nullptr, &out, qelta::kFormatXvrn, choice);
}

int VRN_network::WriteString(std::string& out, IXmlWriterExtension* extension) {
  out.clear();
  return Save(nullptr, &out, qelta::kFormatXvrn,
              qelta::FormatExtension::ForWriting(extension));
}

int VRN_network::Save(const char* name, std::string* text, int format,
                      const qelta::FormatExtension& extension) {
  if (text != nullptr) {
    const int ids = CheckWritableIds(*this, qelta::kFormatXvrn, errorLog_);
    if (ids != qelta::kOk) return ids;
    VRN_xvrnSpeaker speaker(this);
    speaker.SetExtension(extension);
    return speaker.WriteString(text);
  }
  // Only the explicit code is refused: a "dxp" name picks the KI speaker,
  // which writes the native text layout.
  if (format == qelta::kFormatKi) {
    return errorLog_->LogError(qelta::kErrOutOfRange,
                               "Writing to KI file format not supported.");
  }
  std::unique_ptr<VRN_fileFormat> speaker(CreateFormat(name, format));
  if (speaker == nullptr) return qelta::kErrOutOfRange;
  const int ids = CheckWritableIds(*this, format, errorLog_);
  if (ids != qelta::kOk) return ids;
  speaker->SetExtension(extension);
  return speaker->Write(name);
}

// --------------------------------------------- temporal data the files use

int VRN_network::GetNumberOfSlices() const {
  return dbn_ != nullptr ? dbn_->GetNumberOfSlices() : 0;
}

int VRN_network::GetTemporalType(int handle) const {
  const VRN_node* node = GetNode(handle);
  if (node == nullptr) return qelta::kErrOutOfRange;
  return node->GetTemporalType();
}
