// Bridge of qelta.Network: DeMorgan prior belief, parent roles and
// weights, per parent and per temporal order.
#include "qelta_Network.h"

#include <cstring>
#include <string>

#include "base/engine_error.h"
#include "base/status.h"
#include "definitions/qualitative.h"
#include "jni/checks.h"
#include "jni/codes.h"
#include "jni/frame.h"
#include "jni/network_common.h"
#include "network/network.h"
#include "network/node.h"

using qelta::jni::Guarded;
using qelta::jni::Handle;
using qelta::jni::Net;

namespace {

VRN_demorgan& DeMorgan(JNIEnv* env, jobject obj, jint node) {
  return *static_cast<VRN_demorgan*>(GetDeMorganDef(Net(env, obj), node));
}

// Reports a refused DeMorgan parameter of node, saying why: parent is no
// parent's index (of the temporal parents of that order when order > 0), or
// value (a prior or weight, when given) lies outside 0..1.
[[noreturn]] void ReportDeMorganRefusal(JNIEnv* env, jobject obj, jint node, const char* operation,
                                        int status, jint parent, int order = 0,
                                        const char* what = nullptr, double value = 0.0) {
  VRN_network& net = Net(env, obj);
  const VRN_node& target = *net.GetNode(node);
  if (status == qelta::kErrInvalidValue && what != nullptr) {
    qelta::jni::LogReasonIfSilent(net, status, "The %s of node [%s] lies from 0 to 1, not %g", what,
                                  target.GetId(), value);
  } else if (order > 0) {
    qelta::jni::LogReasonIfSilent(net, status, "Node [%s] has no temporal parent of order %d at index %d",
                                  target.GetId(), order, parent);
  } else if (what == nullptr || std::strcmp(what, "prior belief") != 0) {
    qelta::jni::LogReasonIfSilent(net, status, "Node [%s] has no parent at index %d; it has %d",
                                  target.GetId(), parent, target.Parents().GetSize());
  }
  ReportError(operation, status);
}

void SetPriorBelief(JNIEnv* env, jobject obj, jint node, jdouble prior) {
  // A prior outside [0, 1] is refused rather than passed over in silence.
  const int status = DeMorgan(env, obj, node).SetPriorBelief(prior);
  if (status != qelta::kOk) {
    ReportDeMorganRefusal(env, obj, node, "SetPriorBelief", status, 0, 0, "prior belief", prior);
  }
}

jdouble GetPriorBelief(JNIEnv* env, jobject obj, jint node) {
  return DeMorgan(env, obj, node).GetPriorBelief();
}

void SetParentType(JNIEnv* env, jobject obj, jint node, jint parent,
                   jint type) {
  VRN_demorgan& def = DeMorgan(env, obj, node);
  qelta::jni::ValidateCode(qelta::jni::kDeMorganParentTypes, "type", type);
  const int status = def.SetParentType(parent, type);
  if (status != qelta::kOk) ReportDeMorganRefusal(env, obj, node, "SetParentType", status, parent);
}

jint GetParentType(JNIEnv* env, jobject obj, jint node, jint parent) {
  const int type = DeMorgan(env, obj, node).GetParentType(parent);
  if (type < 0) ReportDeMorganRefusal(env, obj, node, "GetParentType", type, parent);
  return type;
}

void SetParentWeight(JNIEnv* env, jobject obj, jint node, jint parent,
                     jdouble weight) {
  const int status = DeMorgan(env, obj, node).SetParentWeight(parent, weight);
  if (status != qelta::kOk) {
    ReportDeMorganRefusal(env, obj, node, "SetParentWeight", status, parent, 0, "parent weight",
                          weight);
  }
}

jdouble GetParentWeight(JNIEnv* env, jobject obj, jint node, jint parent) {
  const double weight = DeMorgan(env, obj, node).GetParentWeight(parent);
  if (weight < 0.0) {
    ReportDeMorganRefusal(env, obj, node, "GetParentWeight", qelta::kErrGeneral, parent);
  }
  return weight;
}

jint GetTemporalParentType(JNIEnv* env, jobject obj, jint node, jint order,
                           jint parent) {
  const int type = DeMorgan(env, obj, node).GetTemporalParentType(order, parent);
  if (type < 0) {
    ReportDeMorganRefusal(env, obj, node, "GetTemporalParentType", type, parent, order);
  }
  return type;
}

void SetTemporalParentType(JNIEnv* env, jobject obj, jint node, jint order,
                           jint parent, jint type) {
  VRN_demorgan& def = DeMorgan(env, obj, node);
  qelta::jni::ValidateCode(qelta::jni::kDeMorganParentTypes, "type", type);
  const int status = def.SetTemporalParentType(order, parent, type);
  if (status != qelta::kOk) {
    ReportDeMorganRefusal(env, obj, node, "SetTemporalParentType", status, parent, order);
  }
}

jdouble GetTemporalParentWeight(JNIEnv* env, jobject obj, jint node,
                                jint order, jint parent) {
  const double weight =
      DeMorgan(env, obj, node).GetTemporalParentWeight(order, parent);
  if (weight < 0.0) {
    ReportDeMorganRefusal(env, obj, node, "GetTemporalParentWeight", qelta::kErrGeneral, parent,
                          order);
  }
  return weight;
}

void SetTemporalParentWeight(JNIEnv* env, jobject obj, jint node, jint order,
                             jint parent, jdouble weight) {
  const int status =
      DeMorgan(env, obj, node).SetTemporalParentWeight(order, parent, weight);
  if (status != qelta::kOk) {
    ReportDeMorganRefusal(env, obj, node, "SetTemporalParentWeight", status, parent, order,
                          "parent weight", weight);
  }
}

}  // namespace

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setDeMorganPriorBelief__ID(JNIEnv* env, jobject obj, jint node, jdouble prior) {
  Guarded(env, [&] {
    SetPriorBelief(env, obj, node, prior);
  });
}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setDeMorganPriorBelief__Ljava_lang_String_2D(JNIEnv* env, jobject obj, jstring node_id, jdouble prior) {
  Guarded(env, [&] {
    SetPriorBelief(env, obj, Handle(env, obj, node_id), prior);
  });
}

extern "C" JNIEXPORT jdouble JNICALL Java_qelta_Network_getDeMorganPriorBelief__I(JNIEnv* env, jobject obj, jint node) {
  return Guarded(env, [&] {
    return GetPriorBelief(env, obj, node);
  });
}

extern "C" JNIEXPORT jdouble JNICALL Java_qelta_Network_getDeMorganPriorBelief__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id) {
  return Guarded(env, [&] {
    return GetPriorBelief(env, obj, Handle(env, obj, node_id));
  });
}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setDeMorganParentType__III(JNIEnv* env, jobject obj, jint node, jint parent, jint type) {
  Guarded(env, [&] {
    SetParentType(env, obj, node, parent, type);
  });
}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setDeMorganParentType__Ljava_lang_String_2II(JNIEnv* env, jobject obj, jstring node_id, jint parent, jint type) {
  Guarded(env, [&] {
    SetParentType(env, obj, Handle(env, obj, node_id), parent, type);
  });
}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setDeMorganParentType__ILjava_lang_String_2I(JNIEnv* env, jobject obj, jint node, jstring parent_id, jint type) {
  Guarded(env, [&] {
    const jint parent = CheckIsChild(env, Net(env, obj), node, parent_id);
    SetParentType(env, obj, node, parent, type);
  });
}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setDeMorganParentType__Ljava_lang_String_2Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring node_id, jstring parent_id, jint type) {
  Guarded(env, [&] {
    const jint h = Handle(env, obj, node_id);
    const jint parent = CheckIsChild(env, Net(env, obj), h, parent_id);
    SetParentType(env, obj, h, parent, type);
  });
}

extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getDeMorganParentType__II(JNIEnv* env, jobject obj, jint node, jint parent) {
  return Guarded(env, [&] {
    return GetParentType(env, obj, node, parent);
  });
}

extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getDeMorganParentType__Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring node_id, jint parent) {
  return Guarded(env, [&] {
    return GetParentType(env, obj, Handle(env, obj, node_id), parent);
  });
}

extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getDeMorganParentType__ILjava_lang_String_2(JNIEnv* env, jobject obj, jint node, jstring parent_id) {
  return Guarded(env, [&] {
    const jint parent = CheckIsChild(env, Net(env, obj), node, parent_id);
    return GetParentType(env, obj, node, parent);
  });
}

extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getDeMorganParentType__Ljava_lang_String_2Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id, jstring parent_id) {
  return Guarded(env, [&] {
    const jint h = Handle(env, obj, node_id);
    const jint parent = CheckIsChild(env, Net(env, obj), h, parent_id);
    return GetParentType(env, obj, h, parent);
  });
}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setDeMorganParentWeight__IID(JNIEnv* env, jobject obj, jint node, jint parent, jdouble weight) {
  Guarded(env, [&] {
    SetParentWeight(env, obj, node, parent, weight);
  });
}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setDeMorganParentWeight__Ljava_lang_String_2ID(JNIEnv* env, jobject obj, jstring node_id, jint parent, jdouble weight) {
  Guarded(env, [&] {
    SetParentWeight(env, obj, Handle(env, obj, node_id), parent, weight);
  });
}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setDeMorganParentWeight__ILjava_lang_String_2D(JNIEnv* env, jobject obj, jint node, jstring parent_id, jdouble weight) {
  Guarded(env, [&] {
    const jint parent = CheckIsChild(env, Net(env, obj), node, parent_id);
    SetParentWeight(env, obj, node, parent, weight);
  });
}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setDeMorganParentWeight__Ljava_lang_String_2Ljava_lang_String_2D(JNIEnv* env, jobject obj, jstring node_id, jstring parent_id, jdouble weight) {
  Guarded(env, [&] {
    const jint h = Handle(env, obj, node_id);
    const jint parent = CheckIsChild(env, Net(env, obj), h, parent_id);
    SetParentWeight(env, obj, h, parent, weight);
  });
}

extern "C" JNIEXPORT jdouble JNICALL Java_qelta_Network_getDeMorganParentWeight__II(JNIEnv* env, jobject obj, jint node, jint parent) {
  return Guarded(env, [&] {
    return GetParentWeight(env, obj, node, parent);
  });
}

extern "C" JNIEXPORT jdouble JNICALL Java_qelta_Network_getDeMorganParentWeight__Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring node_id, jint parent) {
  return Guarded(env, [&] {
    return GetParentWeight(env, obj, Handle(env, obj, node_id), parent);
  });
}

extern "C" JNIEXPORT jdouble JNICALL Java_qelta_Network_getDeMorganParentWeight__ILjava_lang_String_2(JNIEnv* env, jobject obj, jint node, jstring parent_id) {
  return Guarded(env, [&] {
    const jint parent = CheckIsChild(env, Net(env, obj), node, parent_id);
    return GetParentWeight(env, obj, node, parent);
  });
}

extern "C" JNIEXPORT jdouble JNICALL Java_qelta_Network_getDeMorganParentWeight__Ljava_lang_String_2Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id, jstring parent_id) {
  return Guarded(env, [&] {
    const jint h = Handle(env, obj, node_id);
    const jint parent = CheckIsChild(env, Net(env, obj), h, parent_id);
    return GetParentWeight(env, obj, h, parent);
  });
}

extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getDeMorganTemporalParentType__III(JNIEnv* env, jobject obj, jint node, jint order, jint parent) {
  return Guarded(env, [&] {
    return GetTemporalParentType(env, obj, node, order, parent);
  });
}

extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getDeMorganTemporalParentType__Ljava_lang_String_2II(JNIEnv* env, jobject obj, jstring node_id, jint order, jint parent) {
  return Guarded(env, [&] {
    return GetTemporalParentType(env, obj, Handle(env, obj, node_id), order, parent);
  });
}

extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getDeMorganTemporalParentType__IILjava_lang_String_2(JNIEnv* env, jobject obj, jint node, jint order, jstring parent_id) {
  return Guarded(env, [&] {
    const jint parent =
        CheckIsTemporalChild(env, Net(env, obj), node, order, parent_id);
    return GetTemporalParentType(env, obj, node, order, parent);
  });
}

extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getDeMorganTemporalParentType__Ljava_lang_String_2ILjava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id, jint order, jstring parent_id) {
  return Guarded(env, [&] {
    const jint h = Handle(env, obj, node_id);
    const jint parent =
        CheckIsTemporalChild(env, Net(env, obj), h, order, parent_id);
    return GetTemporalParentType(env, obj, h, order, parent);
  });
}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setDeMorganTemporalParentType__IIII(JNIEnv* env, jobject obj, jint node, jint order, jint parent, jint type) {
  Guarded(env, [&] {
    SetTemporalParentType(env, obj, node, order, parent, type);
  });
}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setDeMorganTemporalParentType__Ljava_lang_String_2III(JNIEnv* env, jobject obj, jstring node_id, jint order, jint parent, jint type) {
  Guarded(env, [&] {
    SetTemporalParentType(env, obj, Handle(env, obj, node_id), order, parent, type);
  });
}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setDeMorganTemporalParentType__IILjava_lang_String_2I(JNIEnv* env, jobject obj, jint node, jint order, jstring parent_id, jint type) {
  Guarded(env, [&] {
    const jint parent =
        CheckIsTemporalChild(env, Net(env, obj), node, order, parent_id);
    SetTemporalParentType(env, obj, node, order, parent, type);
  });
}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setDeMorganTemporalParentType__Ljava_lang_String_2ILjava_lang_String_2I(JNIEnv* env, jobject obj, jstring node_id, jint order, jstring parent_id, jint type) {
  Guarded(env, [&] {
    const jint h = Handle(env, obj, node_id);
    const jint parent =
        CheckIsTemporalChild(env, Net(env, obj), h, order, parent_id);
    SetTemporalParentType(env, obj, h, order, parent, type);
  });
}

extern "C" JNIEXPORT jdouble JNICALL Java_qelta_Network_getDeMorganTemporalParentWeight__III(JNIEnv* env, jobject obj, jint node, jint order, jint parent) {
  return Guarded(env, [&] {
    return GetTemporalParentWeight(env, obj, node, order, parent);
  });
}

extern "C" JNIEXPORT jdouble JNICALL Java_qelta_Network_getDeMorganTemporalParentWeight__Ljava_lang_String_2II(JNIEnv* env, jobject obj, jstring node_id, jint order, jint parent) {
  return Guarded(env, [&] {
    return GetTemporalParentWeight(env, obj, Handle(env, obj, node_id), order, parent);
  });
}

extern "C" JNIEXPORT jdouble JNICALL Java_qelta_Network_getDeMorganTemporalParentWeight__IILjava_lang_String_2(JNIEnv* env, jobject obj, jint node, jint order, jstring parent_id) {
  return Guarded(env, [&] {
    const jint parent =
        CheckIsTemporalChild(env, Net(env, obj), node, order, parent_id);
    return GetTemporalParentWeight(env, obj, node, order, parent);
  });
}

extern "C" JNIEXPORT jdouble JNICALL Java_qelta_Network_getDeMorganTemporalParentWeight__Ljava_lang_String_2ILjava_lang_String_2(JNIEnv* env, jobject obj, jstring node_id, jint order, jstring parent_id) {
  return Guarded(env, [&] {
    const jint h = Handle(env, obj, node_id);
    const jint parent =
        CheckIsTemporalChild(env, Net(env, obj), h, order, parent_id);
    return GetTemporalParentWeight(env, obj, h, order, parent);
  });
}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setDeMorganTemporalParentWeight__IIID(JNIEnv* env, jobject obj, jint node, jint order, jint parent, jdouble weight) {
  Guarded(env, [&] {
    SetTemporalParentWeight(env, obj, node, order, parent, weight);
  });
}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setDeMorganTemporalParentWeight__Ljava_lang_String_2IID(JNIEnv* env, jobject obj, jstring node_id, jint order, jint parent, jdouble weight) {
  Guarded(env, [&] {
    SetTemporalParentWeight(env, obj, Handle(env, obj, node_id), order, parent, weight);
  });
}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setDeMorganTemporalParentWeight__IILjava_lang_String_2D(JNIEnv* env, jobject obj, jint node, jint order, jstring parent_id, jdouble weight) {
  Guarded(env, [&] {
    const jint parent =
        CheckIsTemporalChild(env, Net(env, obj), node, order, parent_id);
    SetTemporalParentWeight(env, obj, node, order, parent, weight);
  });
}

extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setDeMorganTemporalParentWeight__Ljava_lang_String_2ILjava_lang_String_2D(JNIEnv* env, jobject obj, jstring node_id, jint order, jstring parent_id, jdouble weight) {
  Guarded(env, [&] {
    const jint h = Handle(env, obj, node_id);
    const jint parent =
        CheckIsTemporalChild(env, Net(env, obj), h, order, parent_id);
    SetTemporalParentWeight(env, obj, h, order, parent, weight);
  });
}
