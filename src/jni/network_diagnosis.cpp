// Bridge of qelta.Network: diagnostic attributes. Node roles (target,
// observation, auxiliary), the ranked and mandatory flags and the question
// live in the node; fault flags, fix, description and label texts and the
// default outcome live in the per-outcome records of a discrete definition.
// Setters do not examine the engine's answer: a value the engine refuses
// (a label another outcome carries) leaves the attribute as it was.
#include "qelta_Network.h"

#include "base/engine_error.h"
#include "base/status.h"
#include "definitions/discrete_def.h"
#include "definitions/node_def.h"
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

VRN_node& Node(JNIEnv* env, jobject obj, jint node) {
  return *ValidateNodeHandle(Net(env, obj), node);
}

jint Outcome(JNIEnv* env, jobject obj, jint node, jstring outcome_id) {
  return OutcomeIdToIndex(env, Net(env, obj), node, outcome_id);
}

// Every definition with two or more outcomes is discrete; anything else is
// the wrong kind of node for an outcome attribute.
VRN_discDef& AsDiscrete(VRN_nodeDef* definition, const char* operation) {
  auto* discrete = dynamic_cast<VRN_discDef*>(definition);
  if (discrete == nullptr) ReportError(operation, qelta::kErrWrongNodeType);
  return *discrete;
}

VRN_discDef& OutcomeDef(JNIEnv* env, jobject obj, jint node, jint outcome,
                        const char* operation) {
  return AsDiscrete(GetDiscreteDefForOutcome(Net(env, obj), node, outcome),
                    operation);
}

VRN_discDef& NodeDef(JNIEnv* env, jobject obj, jint node,
                     const char* operation) {
  return AsDiscrete(GetDiscreteDef(Net(env, obj), node), operation);
}

// ------------------------------------------------------------ node level

void SetNodeDiagType(JNIEnv* env, jobject obj, jint node, jint type) {
  VRN_node& target = Node(env, obj, node);
  qelta::jni::ValidateCode(qelta::jni::kDiagRoles, "type", type);
  (void)target.SetDiagType(type);
}

jint GetNodeDiagType(JNIEnv* env, jobject obj, jint node) {
  return Node(env, obj, node).GetDiagType();
}

jstring GetNodeQuestion(JNIEnv* env, jobject obj, jint node) {
  const char* question = Node(env, obj, node).GetQuestion();
  return NativeToJavaString(env, question == nullptr ? "" : question);
}

void SetNodeQuestion(JNIEnv* env, jobject obj, jint node, jstring question) {
  JavaStringToNative text(env, question, "Node question");
  Node(env, obj, node).SetQuestion(text.c_str());
}

jboolean IsRanked(JNIEnv* env, jobject obj, jint node) {
  return Node(env, obj, node).IsRanked() ? JNI_TRUE : JNI_FALSE;
}

void SetRanked(JNIEnv* env, jobject obj, jint node, jboolean ranked) {
  Node(env, obj, node).SetRanked(ranked != JNI_FALSE);
}

jboolean IsMandatory(JNIEnv* env, jobject obj, jint node) {
  return Node(env, obj, node).IsMandatory() ? JNI_TRUE : JNI_FALSE;
}

void SetMandatory(JNIEnv* env, jobject obj, jint node, jboolean mandatory) {
  Node(env, obj, node).SetMandatory(mandatory != JNI_FALSE);
}

// ------------------------------------------------------------ outcome texts

// Which text of an outcome's diagnostic record an accessor reaches.
enum class Text { kFix, kDescription, kLabel };

const char* OperationName(Text which, bool set) {
  switch (which) {
    case Text::kFix:
      return set ? "SetOutcomeFix" : "GetOutcomeFix";
    case Text::kDescription:
      return set ? "SetOutcomeDescription" : "GetOutcomeDescription";
    default:
      return set ? "SetOutcomeLabel" : "GetOutcomeLabel";
  }
}

jstring GetText(JNIEnv* env, jobject obj, Text which, jint node,
                jint outcome) {
  const VRN_discDef& def =
      OutcomeDef(env, obj, node, outcome, OperationName(which, false));
  const char* text = which == Text::kFix ? def.GetOutcomeFix(outcome)
                     : which == Text::kDescription
                         ? def.GetOutcomeDescription(outcome)
                         : def.GetOutcomeLabel(outcome);
  if (text != nullptr && *text == '\0') text = nullptr;
  // A label without text reads as an empty string, the other texts as null.
  if (text == nullptr && which == Text::kLabel) text = "";
  return NativeToJavaString(env, text);
}

jstring GetText(JNIEnv* env, jobject obj, Text which, jint node,
                jstring outcome_id) {
  return GetText(env, obj, which, node, Outcome(env, obj, node, outcome_id));
}

void SetText(JNIEnv* env, jobject obj, Text which, jint node, jint outcome,
             jstring value) {
  VRN_discDef& def =
      OutcomeDef(env, obj, node, outcome, OperationName(which, true));
  JavaStringToNative text(env, value,
                          which == Text::kFix           ? "Outcome fix"
                          : which == Text::kDescription ? "Outcome description"
                                                        : "Outcome label");
  switch (which) {
    case Text::kFix:
      (void)def.SetOutcomeFix(outcome, text.c_str());
      break;
    case Text::kDescription:
      (void)def.SetOutcomeDescription(outcome, text.c_str());
      break;
    case Text::kLabel:
      (void)def.SetOutcomeLabel(outcome, text.c_str());
      break;
  }
}

void SetText(JNIEnv* env, jobject obj, Text which, jint node,
             jstring outcome_id, jstring value) {
  SetText(env, obj, which, node, Outcome(env, obj, node, outcome_id), value);
}

jboolean IsFaultOutcome(JNIEnv* env, jobject obj, jint node, jint outcome) {
  return OutcomeDef(env, obj, node, outcome, "IsFaultOutcome")
                 .IsFaultOutcome(outcome)
             ? JNI_TRUE
             : JNI_FALSE;
}

jboolean IsFaultOutcome(JNIEnv* env, jobject obj, jint node,
                        jstring outcome_id) {
  return IsFaultOutcome(env, obj, node, Outcome(env, obj, node, outcome_id));
}

void SetFaultOutcome(JNIEnv* env, jobject obj, jint node, jint outcome,
                     jboolean fault) {
  (void)OutcomeDef(env, obj, node, outcome, "SetFaultOutcome")
      .SetFaultOutcome(outcome, fault != JNI_FALSE);
}

void SetFaultOutcome(JNIEnv* env, jobject obj, jint node, jstring outcome_id,
                     jboolean fault) {
  SetFaultOutcome(env, obj, node, Outcome(env, obj, node, outcome_id), fault);
}

// ------------------------------------------------------------ default outcome

jint GetDefaultOutcome(JNIEnv* env, jobject obj, jint node) {
  return NodeDef(env, obj, node, "GetDefaultOutcome").GetDefaultOutcome();
}

jstring GetDefaultOutcomeId(JNIEnv* env, jobject obj, jint node) {
  const VRN_discDef& def = NodeDef(env, obj, node, "GetDefaultOutcome");
  const int index = def.GetDefaultOutcome();
  if (index < 0 || index >= def.GetNumberOfOutcomes()) return nullptr;
  return NativeToJavaString(env, def.GetOutcomesNames()->Get(index));
}

void SetDefaultOutcome(JNIEnv* env, jobject obj, jint node, jint outcome) {
  VRN_discDef& def = NodeDef(env, obj, node, "SetDefaultOutcome");
  // A negative index is stored as given: it means "no default".
  if (outcome >= 0) ValidateOutcomeIndex(Net(env, obj), node, outcome);
  (void)def.SetDefaultOutcome(outcome);
}

void SetDefaultOutcome(JNIEnv* env, jobject obj, jint node,
                       jstring outcome_id) {
  SetDefaultOutcome(env, obj, node, Outcome(env, obj, node, outcome_id));
}

}  // namespace

/*
 * Class:     qelta_Network
 * Method:    setNodeDiagType
 * Signature: (II)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeDiagType__II(JNIEnv* env, jobject obj, jint a0, jint a1) {
  Guarded(env, [&] { SetNodeDiagType(env, obj, a0, a1); });
}

/*
 * Class:     qelta_Network
 * Method:    setNodeDiagType
 * Signature: (Ljava/lang/String;I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeDiagType__Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring a0, jint a1) {
  Guarded(env, [&] { SetNodeDiagType(env, obj, Handle(env, obj, a0), a1); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeDiagType
 * Signature: (I)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getNodeDiagType__I(JNIEnv* env, jobject obj, jint a0) {
  return Guarded(env, [&] { return GetNodeDiagType(env, obj, a0); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeDiagType
 * Signature: (Ljava/lang/String;)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getNodeDiagType__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring a0) {
  return Guarded(env, [&] { return GetNodeDiagType(env, obj, Handle(env, obj, a0)); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeQuestion
 * Signature: (I)Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getNodeQuestion__I(JNIEnv* env, jobject obj, jint a0) {
  return Guarded(env, [&] { return GetNodeQuestion(env, obj, a0); });
}

/*
 * Class:     qelta_Network
 * Method:    getNodeQuestion
 * Signature: (Ljava/lang/String;)Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getNodeQuestion__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring a0) {
  return Guarded(env, [&] { return GetNodeQuestion(env, obj, Handle(env, obj, a0)); });
}

/*
 * Class:     qelta_Network
 * Method:    setNodeQuestion
 * Signature: (ILjava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeQuestion__ILjava_lang_String_2(JNIEnv* env, jobject obj, jint a0, jstring a1) {
  Guarded(env, [&] { SetNodeQuestion(env, obj, a0, a1); });
}

/*
 * Class:     qelta_Network
 * Method:    setNodeQuestion
 * Signature: (Ljava/lang/String;Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setNodeQuestion__Ljava_lang_String_2Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring a0, jstring a1) {
  Guarded(env, [&] { SetNodeQuestion(env, obj, Handle(env, obj, a0), a1); });
}

/*
 * Class:     qelta_Network
 * Method:    isRanked
 * Signature: (I)Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isRanked__I(JNIEnv* env, jobject obj, jint a0) {
  return Guarded(env, [&] { return IsRanked(env, obj, a0); });
}

/*
 * Class:     qelta_Network
 * Method:    isRanked
 * Signature: (Ljava/lang/String;)Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isRanked__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring a0) {
  return Guarded(env, [&] { return IsRanked(env, obj, Handle(env, obj, a0)); });
}

/*
 * Class:     qelta_Network
 * Method:    setRanked
 * Signature: (IZ)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setRanked__IZ(JNIEnv* env, jobject obj, jint a0, jboolean a1) {
  Guarded(env, [&] { SetRanked(env, obj, a0, a1); });
}

/*
 * Class:     qelta_Network
 * Method:    setRanked
 * Signature: (Ljava/lang/String;Z)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setRanked__Ljava_lang_String_2Z(JNIEnv* env, jobject obj, jstring a0, jboolean a1) {
  Guarded(env, [&] { SetRanked(env, obj, Handle(env, obj, a0), a1); });
}

/*
 * Class:     qelta_Network
 * Method:    isMandatory
 * Signature: (I)Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isMandatory__I(JNIEnv* env, jobject obj, jint a0) {
  return Guarded(env, [&] { return IsMandatory(env, obj, a0); });
}

/*
 * Class:     qelta_Network
 * Method:    isMandatory
 * Signature: (Ljava/lang/String;)Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isMandatory__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring a0) {
  return Guarded(env, [&] { return IsMandatory(env, obj, Handle(env, obj, a0)); });
}

/*
 * Class:     qelta_Network
 * Method:    setMandatory
 * Signature: (IZ)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setMandatory__IZ(JNIEnv* env, jobject obj, jint a0, jboolean a1) {
  Guarded(env, [&] { SetMandatory(env, obj, a0, a1); });
}

/*
 * Class:     qelta_Network
 * Method:    setMandatory
 * Signature: (Ljava/lang/String;Z)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setMandatory__Ljava_lang_String_2Z(JNIEnv* env, jobject obj, jstring a0, jboolean a1) {
  Guarded(env, [&] { SetMandatory(env, obj, Handle(env, obj, a0), a1); });
}

/*
 * Class:     qelta_Network
 * Method:    getOutcomeFix
 * Signature: (II)Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getOutcomeFix__II(JNIEnv* env, jobject obj, jint a0, jint a1) {
  return Guarded(env, [&] { return GetText(env, obj, Text::kFix, a0, a1); });
}

/*
 * Class:     qelta_Network
 * Method:    getOutcomeFix
 * Signature: (Ljava/lang/String;I)Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getOutcomeFix__Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring a0, jint a1) {
  return Guarded(env, [&] { return GetText(env, obj, Text::kFix, Handle(env, obj, a0), a1); });
}

/*
 * Class:     qelta_Network
 * Method:    getOutcomeFix
 * Signature: (ILjava/lang/String;)Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getOutcomeFix__ILjava_lang_String_2(JNIEnv* env, jobject obj, jint a0, jstring a1) {
  return Guarded(env, [&] { return GetText(env, obj, Text::kFix, a0, a1); });
}

/*
 * Class:     qelta_Network
 * Method:    getOutcomeFix
 * Signature: (Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getOutcomeFix__Ljava_lang_String_2Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring a0, jstring a1) {
  return Guarded(env, [&] { return GetText(env, obj, Text::kFix, Handle(env, obj, a0), a1); });
}

/*
 * Class:     qelta_Network
 * Method:    setOutcomeFix
 * Signature: (IILjava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setOutcomeFix__IILjava_lang_String_2(JNIEnv* env, jobject obj, jint a0, jint a1, jstring a2) {
  Guarded(env, [&] { SetText(env, obj, Text::kFix, a0, a1, a2); });
}

/*
 * Class:     qelta_Network
 * Method:    setOutcomeFix
 * Signature: (Ljava/lang/String;ILjava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setOutcomeFix__Ljava_lang_String_2ILjava_lang_String_2(JNIEnv* env, jobject obj, jstring a0, jint a1, jstring a2) {
  Guarded(env, [&] { SetText(env, obj, Text::kFix, Handle(env, obj, a0), a1, a2); });
}

/*
 * Class:     qelta_Network
 * Method:    setOutcomeFix
 * Signature: (ILjava/lang/String;Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setOutcomeFix__ILjava_lang_String_2Ljava_lang_String_2(JNIEnv* env, jobject obj, jint a0, jstring a1, jstring a2) {
  Guarded(env, [&] { SetText(env, obj, Text::kFix, a0, a1, a2); });
}

/*
 * Class:     qelta_Network
 * Method:    setOutcomeFix
 * Signature: (Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setOutcomeFix__Ljava_lang_String_2Ljava_lang_String_2Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring a0, jstring a1, jstring a2) {
  Guarded(env, [&] { SetText(env, obj, Text::kFix, Handle(env, obj, a0), a1, a2); });
}

/*
 * Class:     qelta_Network
 * Method:    getOutcomeDescription
 * Signature: (II)Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getOutcomeDescription__II(JNIEnv* env, jobject obj, jint a0, jint a1) {
  return Guarded(env, [&] { return GetText(env, obj, Text::kDescription, a0, a1); });
}

/*
 * Class:     qelta_Network
 * Method:    getOutcomeDescription
 * Signature: (Ljava/lang/String;I)Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getOutcomeDescription__Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring a0, jint a1) {
  return Guarded(env, [&] { return GetText(env, obj, Text::kDescription, Handle(env, obj, a0), a1); });
}

/*
 * Class:     qelta_Network
 * Method:    getOutcomeDescription
 * Signature: (ILjava/lang/String;)Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getOutcomeDescription__ILjava_lang_String_2(JNIEnv* env, jobject obj, jint a0, jstring a1) {
  return Guarded(env, [&] { return GetText(env, obj, Text::kDescription, a0, a1); });
}

/*
 * Class:     qelta_Network
 * Method:    getOutcomeDescription
 * Signature: (Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getOutcomeDescription__Ljava_lang_String_2Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring a0, jstring a1) {
  return Guarded(env, [&] { return GetText(env, obj, Text::kDescription, Handle(env, obj, a0), a1); });
}

/*
 * Class:     qelta_Network
 * Method:    setOutcomeDescription
 * Signature: (IILjava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setOutcomeDescription__IILjava_lang_String_2(JNIEnv* env, jobject obj, jint a0, jint a1, jstring a2) {
  Guarded(env, [&] { SetText(env, obj, Text::kDescription, a0, a1, a2); });
}

/*
 * Class:     qelta_Network
 * Method:    setOutcomeDescription
 * Signature: (Ljava/lang/String;ILjava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setOutcomeDescription__Ljava_lang_String_2ILjava_lang_String_2(JNIEnv* env, jobject obj, jstring a0, jint a1, jstring a2) {
  Guarded(env, [&] { SetText(env, obj, Text::kDescription, Handle(env, obj, a0), a1, a2); });
}

/*
 * Class:     qelta_Network
 * Method:    setOutcomeDescription
 * Signature: (ILjava/lang/String;Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setOutcomeDescription__ILjava_lang_String_2Ljava_lang_String_2(JNIEnv* env, jobject obj, jint a0, jstring a1, jstring a2) {
  Guarded(env, [&] { SetText(env, obj, Text::kDescription, a0, a1, a2); });
}

/*
 * Class:     qelta_Network
 * Method:    setOutcomeDescription
 * Signature: (Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setOutcomeDescription__Ljava_lang_String_2Ljava_lang_String_2Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring a0, jstring a1, jstring a2) {
  Guarded(env, [&] { SetText(env, obj, Text::kDescription, Handle(env, obj, a0), a1, a2); });
}

/*
 * Class:     qelta_Network
 * Method:    getOutcomeLabel
 * Signature: (II)Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getOutcomeLabel__II(JNIEnv* env, jobject obj, jint a0, jint a1) {
  return Guarded(env, [&] { return GetText(env, obj, Text::kLabel, a0, a1); });
}

/*
 * Class:     qelta_Network
 * Method:    getOutcomeLabel
 * Signature: (Ljava/lang/String;I)Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getOutcomeLabel__Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring a0, jint a1) {
  return Guarded(env, [&] { return GetText(env, obj, Text::kLabel, Handle(env, obj, a0), a1); });
}

/*
 * Class:     qelta_Network
 * Method:    getOutcomeLabel
 * Signature: (ILjava/lang/String;)Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getOutcomeLabel__ILjava_lang_String_2(JNIEnv* env, jobject obj, jint a0, jstring a1) {
  return Guarded(env, [&] { return GetText(env, obj, Text::kLabel, a0, a1); });
}

/*
 * Class:     qelta_Network
 * Method:    getOutcomeLabel
 * Signature: (Ljava/lang/String;Ljava/lang/String;)Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getOutcomeLabel__Ljava_lang_String_2Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring a0, jstring a1) {
  return Guarded(env, [&] { return GetText(env, obj, Text::kLabel, Handle(env, obj, a0), a1); });
}

/*
 * Class:     qelta_Network
 * Method:    setOutcomeLabel
 * Signature: (IILjava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setOutcomeLabel__IILjava_lang_String_2(JNIEnv* env, jobject obj, jint a0, jint a1, jstring a2) {
  Guarded(env, [&] { SetText(env, obj, Text::kLabel, a0, a1, a2); });
}

/*
 * Class:     qelta_Network
 * Method:    setOutcomeLabel
 * Signature: (Ljava/lang/String;ILjava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setOutcomeLabel__Ljava_lang_String_2ILjava_lang_String_2(JNIEnv* env, jobject obj, jstring a0, jint a1, jstring a2) {
  Guarded(env, [&] { SetText(env, obj, Text::kLabel, Handle(env, obj, a0), a1, a2); });
}

/*
 * Class:     qelta_Network
 * Method:    setOutcomeLabel
 * Signature: (ILjava/lang/String;Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setOutcomeLabel__ILjava_lang_String_2Ljava_lang_String_2(JNIEnv* env, jobject obj, jint a0, jstring a1, jstring a2) {
  Guarded(env, [&] { SetText(env, obj, Text::kLabel, a0, a1, a2); });
}

/*
 * Class:     qelta_Network
 * Method:    setOutcomeLabel
 * Signature: (Ljava/lang/String;Ljava/lang/String;Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setOutcomeLabel__Ljava_lang_String_2Ljava_lang_String_2Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring a0, jstring a1, jstring a2) {
  Guarded(env, [&] { SetText(env, obj, Text::kLabel, Handle(env, obj, a0), a1, a2); });
}

/*
 * Class:     qelta_Network
 * Method:    isFaultOutcome
 * Signature: (II)Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isFaultOutcome__II(JNIEnv* env, jobject obj, jint a0, jint a1) {
  return Guarded(env, [&] { return IsFaultOutcome(env, obj, a0, a1); });
}

/*
 * Class:     qelta_Network
 * Method:    isFaultOutcome
 * Signature: (Ljava/lang/String;I)Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isFaultOutcome__Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring a0, jint a1) {
  return Guarded(env, [&] { return IsFaultOutcome(env, obj, Handle(env, obj, a0), a1); });
}

/*
 * Class:     qelta_Network
 * Method:    isFaultOutcome
 * Signature: (ILjava/lang/String;)Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isFaultOutcome__ILjava_lang_String_2(JNIEnv* env, jobject obj, jint a0, jstring a1) {
  return Guarded(env, [&] { return IsFaultOutcome(env, obj, a0, a1); });
}

/*
 * Class:     qelta_Network
 * Method:    isFaultOutcome
 * Signature: (Ljava/lang/String;Ljava/lang/String;)Z
 */
extern "C" JNIEXPORT jboolean JNICALL Java_qelta_Network_isFaultOutcome__Ljava_lang_String_2Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring a0, jstring a1) {
  return Guarded(env, [&] { return IsFaultOutcome(env, obj, Handle(env, obj, a0), a1); });
}

/*
 * Class:     qelta_Network
 * Method:    setFaultOutcome
 * Signature: (IIZ)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setFaultOutcome__IIZ(JNIEnv* env, jobject obj, jint a0, jint a1, jboolean a2) {
  Guarded(env, [&] { SetFaultOutcome(env, obj, a0, a1, a2); });
}

/*
 * Class:     qelta_Network
 * Method:    setFaultOutcome
 * Signature: (Ljava/lang/String;IZ)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setFaultOutcome__Ljava_lang_String_2IZ(JNIEnv* env, jobject obj, jstring a0, jint a1, jboolean a2) {
  Guarded(env, [&] { SetFaultOutcome(env, obj, Handle(env, obj, a0), a1, a2); });
}

/*
 * Class:     qelta_Network
 * Method:    setFaultOutcome
 * Signature: (ILjava/lang/String;Z)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setFaultOutcome__ILjava_lang_String_2Z(JNIEnv* env, jobject obj, jint a0, jstring a1, jboolean a2) {
  Guarded(env, [&] { SetFaultOutcome(env, obj, a0, a1, a2); });
}

/*
 * Class:     qelta_Network
 * Method:    setFaultOutcome
 * Signature: (Ljava/lang/String;Ljava/lang/String;Z)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setFaultOutcome__Ljava_lang_String_2Ljava_lang_String_2Z(JNIEnv* env, jobject obj, jstring a0, jstring a1, jboolean a2) {
  Guarded(env, [&] { SetFaultOutcome(env, obj, Handle(env, obj, a0), a1, a2); });
}

/*
 * Class:     qelta_Network
 * Method:    getDefaultOutcome
 * Signature: (I)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getDefaultOutcome__I(JNIEnv* env, jobject obj, jint a0) {
  return Guarded(env, [&] { return GetDefaultOutcome(env, obj, a0); });
}

/*
 * Class:     qelta_Network
 * Method:    getDefaultOutcome
 * Signature: (Ljava/lang/String;)I
 */
extern "C" JNIEXPORT jint JNICALL Java_qelta_Network_getDefaultOutcome__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring a0) {
  return Guarded(env, [&] { return GetDefaultOutcome(env, obj, Handle(env, obj, a0)); });
}

/*
 * Class:     qelta_Network
 * Method:    getDefaultOutcomeId
 * Signature: (I)Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getDefaultOutcomeId__I(JNIEnv* env, jobject obj, jint a0) {
  return Guarded(env, [&] { return GetDefaultOutcomeId(env, obj, a0); });
}

/*
 * Class:     qelta_Network
 * Method:    getDefaultOutcomeId
 * Signature: (Ljava/lang/String;)Ljava/lang/String;
 */
extern "C" JNIEXPORT jstring JNICALL Java_qelta_Network_getDefaultOutcomeId__Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring a0) {
  return Guarded(env, [&] { return GetDefaultOutcomeId(env, obj, Handle(env, obj, a0)); });
}

/*
 * Class:     qelta_Network
 * Method:    setDefaultOutcome
 * Signature: (II)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setDefaultOutcome__II(JNIEnv* env, jobject obj, jint a0, jint a1) {
  Guarded(env, [&] { SetDefaultOutcome(env, obj, a0, a1); });
}

/*
 * Class:     qelta_Network
 * Method:    setDefaultOutcome
 * Signature: (Ljava/lang/String;I)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setDefaultOutcome__Ljava_lang_String_2I(JNIEnv* env, jobject obj, jstring a0, jint a1) {
  Guarded(env, [&] { SetDefaultOutcome(env, obj, Handle(env, obj, a0), a1); });
}

/*
 * Class:     qelta_Network
 * Method:    setDefaultOutcome
 * Signature: (ILjava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setDefaultOutcome__ILjava_lang_String_2(JNIEnv* env, jobject obj, jint a0, jstring a1) {
  Guarded(env, [&] { SetDefaultOutcome(env, obj, a0, a1); });
}

/*
 * Class:     qelta_Network
 * Method:    setDefaultOutcome
 * Signature: (Ljava/lang/String;Ljava/lang/String;)V
 */
extern "C" JNIEXPORT void JNICALL Java_qelta_Network_setDefaultOutcome__Ljava_lang_String_2Ljava_lang_String_2(JNIEnv* env, jobject obj, jstring a0, jstring a1) {
  Guarded(env, [&] { SetDefaultOutcome(env, obj, Handle(env, obj, a0), a1); });
}
