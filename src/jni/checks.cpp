#include "jni/checks.h"

#include <cstdint>
#include <stdexcept>
#include <string>

#include "base/engine_error.h"
#include "base/error_log.h"
#include "base/arrays.h"
#include "base/matrix.h"
#include "base/status.h"
#include "network/dbn.h"
#include "network/network.h"
#include "network/node.h"
#include "base/strings.h"
#include "network/submodel.h"
#include "definitions/node_def.h"
#include "definitions/node_val.h"
#include "jni/frame.h"
#include "jni/codes.h"

using qelta::jni::GetArrayElement;
using qelta::jni::GetObjectClass;
using qelta::jni::GetFieldId;
using qelta::jni::LocalRef;

namespace {

// Definition type codes the kind checks look for.
constexpr int kTypeEquation = 4;
constexpr int kTypeDeMorgan = 82;
constexpr int kTypeNoisyMax = 146;
constexpr int kTypeMau = 520;

constexpr const char* kNoisyMaxSizeHint =
    "(the type of this node is NoisyMax -- you need to pass noisy weights as "
    "parameter, including constrained columns)";

std::string NodeId(const VRN_node& node) {
  const char* id = node.GetId();
  return id != nullptr ? id : "";
}

// The node's outcome count; definitions without outcomes answer a negative
// status, which counts as none here.
int OutcomeCount(const VRN_node& node) {
  const int count = node.Definition()->GetNumberOfOutcomes();
  return count > 0 ? count : 0;
}

VRN_nodeDef* DefinitionOfKind(const VRN_network& network, int handle,
                              int type, const char* kind) {
  VRN_node* node = ValidateNodeHandle(network, handle);
  VRN_nodeDef* definition = node->Definition();
  if (definition->GetType() != type) {
    throw std::invalid_argument("Node '" + NodeId(*node) +
                                "' must be of type " + kind);
  }
  return definition;
}

// The Java int field `name` of obj, through its own class.
jint IntField(JNIEnv* env, jobject obj, jclass cls, const char* name) {
  return env->GetIntField(obj, GetFieldId(env, cls, name, "I"));
}

// The Java String field `name` of obj, owned by the returned reference.
LocalRef<jstring> StringField(JNIEnv* env, jobject obj, jfieldID field) {
  return LocalRef<jstring>(
      env, static_cast<jstring>(env->GetObjectField(obj, field)));
}

// Centre coordinate of a top-left based edge, wrapping like the int
// arithmetic it stands for instead of overflowing.
int Centre(int edge, int size) {
  return static_cast<int>(static_cast<std::int64_t>(edge) + size / 2);
}

int Edge(int centre, int size) {
  return static_cast<int>(static_cast<std::int64_t>(centre) - size / 2);
}

// Exchanges the red and the blue byte and drops the top byte.
int SwapRedBlue(int colour) {
  const std::uint32_t c = static_cast<std::uint32_t>(colour);
  return static_cast<int>(((c >> 16) & 0xFFu) | ((c & 0xFFu) << 16) |
                          (c & 0xFF00u));
}

}  // namespace

// ---------------------------------------------------------------- nodes

VRN_node* ValidateNodeHandle(const VRN_network& network, int handle) {
  VRN_node* node = network.GetNode(handle);
  if (node == nullptr) {
    throw std::invalid_argument("Invalid node handle: " +
                                std::to_string(handle));
  }
  return node;
}

int NodeIdToHandle(JNIEnv* env, const VRN_network& network, jstring id) {
  if (id == nullptr) {
    throw std::invalid_argument("Invalid node identifier: null");
  }
  JavaStringToNative text(env, id, "Node identifier");
  const int handle = network.FindNode(text.c_str());
  if (handle < 0) {
    throw std::invalid_argument("Invalid node identifier: '" + text.str() +
                                "'");
  }
  return handle;
}

VRN_node* ValidateOutcomeIndex(const VRN_network& network, int handle,
                               int outcome) {
  VRN_node* node = ValidateNodeHandle(network, handle);
  const int count = OutcomeCount(*node);
  if (outcome < 0 || outcome >= count) {
    throw std::invalid_argument(
        "Invalid outcome index " + std::to_string(outcome) + " for node '" +
        NodeId(*node) + "', valid indices are 0.." +
        std::to_string(count - 1));
  }
  return node;
}

int OutcomeIdToIndex(JNIEnv* env, const VRN_network& network, int handle,
                     jstring outcome_id) {
  if (outcome_id == nullptr) {
    throw std::invalid_argument("Invalid outcome identifier: null");
  }
  VRN_node* node = ValidateNodeHandle(network, handle);
  JavaStringToNative text(env, outcome_id, "Outcome identifier");
  const VRN_idArray* names = node->Definition()->GetOutcomesNames();
  const int index = names != nullptr ? names->FindString(text.c_str()) : -1;
  if (index < 0) {
    throw std::invalid_argument("Invalid outcome identifier '" + text.str() +
                                "' for node '" + NodeId(*node) + "'");
  }
  return index;
}

void ValidateSlice(const VRN_network& network, int slice) {
  if (slice < 0) throw std::invalid_argument("Slice cannot be negative");
  const int count = network.GetNumberOfSlices();
  if (slice >= count) {
    throw std::invalid_argument(
        "Slice index must be less than slice count, which is set to " +
        std::to_string(count));
  }
}

VRN_nodeDef* GetDiscreteDef(const VRN_network& network, int handle) {
  VRN_node* node = ValidateNodeHandle(network, handle);
  VRN_nodeDef* definition = node->Definition();
  if (definition->GetNumberOfOutcomes() < 2) {
    const char* type_name = definition->GetTypeName();
    throw std::invalid_argument("Node " + NodeId(*node) +
                                " has invalid definition type: " +
                                (type_name != nullptr ? type_name : ""));
  }
  return definition;
}

VRN_nodeDef* GetDiscreteDefForOutcome(const VRN_network& network, int handle,
                                      int outcome) {
  VRN_nodeDef* definition = GetDiscreteDef(network, handle);
  ValidateOutcomeIndex(network, handle, outcome);
  return definition;
}

void ValidateParentIndex(const VRN_network& network, int handle, int index) {
  VRN_node* node = ValidateNodeHandle(network, handle);
  if (index < 0 || index >= node->Parents().GetSize()) {
    throw std::invalid_argument("Invalid parent index " +
                                std::to_string(index) + " for node " +
                                NodeId(*node));
  }
}

std::string ValidateIdentifier(JNIEnv* env, jstring text, const char* what) {
  JavaStringToNative id(env, text, what);
  if (!VRN_IsValidId(id.c_str())) {
    throw std::invalid_argument(
        "Identifier '" + id.str() +
        "' is invalid - it should start with a letter and contain only "
        "letters, digits and underscores");
  }
  return id.str();
}

void CheckEvidenceSet(const VRN_node& node) {
  if (!node.Value()->HasEvidence()) {
    throw std::runtime_error("Node '" + NodeId(node) + "' has no evidence set");
  }
}

void ValidateDefinitionArraySize(JNIEnv* env, const VRN_node& node,
                                 int expected, jarray array) {
  const jsize length = env->GetArrayLength(array);
  if (length == expected) return;
  std::string message = "Invalid definition array size for node '" +
                        NodeId(node) + "': expected " +
                        std::to_string(expected) + " and got " +
                        std::to_string(length);
  if (node.Definition()->GetType() == kTypeNoisyMax) {
    message += kNoisyMaxSizeHint;
  }
  throw std::invalid_argument(message);
}

int CheckIsChild(JNIEnv* env, const VRN_network& network, int child,
                 jstring parent_id) {
  VRN_node* node = ValidateNodeHandle(network, child);
  const int parent = NodeIdToHandle(env, network, parent_id);
  const int index = node->Parents().FindPosition(parent);
  if (index < 0) {
    JavaStringToNative id(env, parent_id, "Node identifier");
    throw std::invalid_argument("Node '" + NodeId(*node) +
                                "' is not a child of node '" + id.str() + "'");
  }
  return index;
}

VRN_nodeDef* GetNoisyMaxDef(const VRN_network& network, int handle) {
  return DefinitionOfKind(network, handle, kTypeNoisyMax, "NoisyMax");
}

VRN_nodeDef* GetDeMorganDef(const VRN_network& network, int handle) {
  return DefinitionOfKind(network, handle, kTypeDeMorgan, "DeMorgan");
}

VRN_nodeDef* GetEquationDef(const VRN_network& network, int handle) {
  return DefinitionOfKind(network, handle, kTypeEquation, "Equation");
}

VRN_nodeDef* GetMauDef(const VRN_network& network, int handle) {
  return DefinitionOfKind(network, handle, kTypeMau, "MAU");
}

int CheckIsTemporalChild(JNIEnv* env, const VRN_network& network, int child,
                         int order, jstring parent_id) {
  VRN_node* node = ValidateNodeHandle(network, child);
  const int parent = NodeIdToHandle(env, network, parent_id);
  const VRN_dbn* dbn = network.Dbn();
  VRN_intArray parents;
  if (dbn != nullptr &&
      dbn->GetTemporalParents(child, order, parents) == qelta::kOk) {
    const int index = parents.FindPosition(parent);
    if (index >= 0) return index;
  }
  JavaStringToNative id(env, parent_id, "Node identifier");
  throw std::invalid_argument("Node '" + NodeId(*node) +
                              "' is not a temporal child of node '" +
                              id.str() + "' with order " +
                              std::to_string(order));
}

const VRN_doubleArray& GetPlateTemporalDef(const VRN_network& network,
                                           int handle, int order) {
  VRN_node* node = ValidateNodeHandle(network, handle);
  if (node->GetTemporalType() != qelta::kTemporalPlate) {
    throw std::invalid_argument("Only plate nodes have temporal definitions");
  }
  const VRN_nodeDef* definition = node->Definition();
  const VRN_matrix* table = nullptr;
  if (order == 0) {
    if (definition->GetDefinitionConst(&table) != qelta::kOk) table = nullptr;
  } else {
    table = definition->GetTemporalMatrix(order);
  }
  if (table == nullptr) {
    const char* type_name = definition->GetTypeName();
    throw std::runtime_error(
        "Cannot get the temporal definition of type '" +
        std::string(type_name != nullptr ? type_name : "") + "' of node '" +
        NodeId(*node) + "' as an array of doubles for order " +
        std::to_string(order));
  }
  return table->GetItems();
}

// ---------------------------------------------------------------- submodels

int FindMainSubmodel(const VRN_network& network) {
  const VRN_submodelTable* table = network.Submodels();
  for (int h = table->GetFirstSubmodel(); h >= 0;
       h = table->GetNextSubmodel(h)) {
    if (h == qelta::kMainSubmodel) return h;
  }
  throw std::runtime_error("Main submodel not found");
}

VRN_submodel* ValidateSubmodelHandle(const VRN_network& network, int handle) {
  VRN_submodel* submodel = network.Submodels()->GetSubmodel(handle);
  if (submodel == nullptr) {
    throw std::invalid_argument("Invalid submodel handle: " +
                                std::to_string(handle));
  }
  return submodel;
}

int SubmodelIdToHandle(JNIEnv* env, const VRN_network& network, jstring id) {
  JavaStringToNative text(env, id, "Submodel identifier");
  const int handle = network.Submodels()->FindSubmodel(text.c_str());
  if (handle < 0) {
    throw std::invalid_argument("Invalid submodel id: '" + text.str() + "'");
  }
  return handle;
}

VRN_textBox& ValidateTextBoxIndex(const VRN_network& network, int submodel,
                                  int index) {
  std::vector<VRN_textBox>& boxes =
      ValidateSubmodelHandle(network, submodel)->TextBoxes();
  if (index < 0) throw std::invalid_argument("Negative textbox index");
  if (static_cast<std::size_t>(index) >= boxes.size()) {
    throw std::invalid_argument("Invalid textbox index: " +
                                std::to_string(index));
  }
  return boxes[static_cast<std::size_t>(index)];
}

// ---------------------------------------------------------------- arcs

namespace {

// Logs why the network refused the arc (or cost arc) from parent to child
// with status, unless the refusal logged a reason of its own.
void ExplainArcRefusal(VRN_network& network, int parent, int child, int layer,
                       int status) {
  VRN_errorLog& log = *network.ErrorLog();
  if (log.GetNumberOfMessages() > 0) return;
  const VRN_node& from = *network.GetNode(parent);
  const VRN_node& to = *network.GetNode(child);
  const char* a = from.GetId();
  const char* b = to.GetId();
  if (parent == child) {
    log.Logf(status, "Node [%s] cannot be its own parent", a);
  } else if (layer == qelta::kArcLayerCost) {
    if (status == qelta::kErrWrongNumStates) {
      log.Logf(status,
               "A cost arc joins nodes with at least two outcomes each; "
               "node [%s] or [%s] has fewer", a, b);
    } else if (status == qelta::kErrDuplicatedIdentifier) {
      log.Logf(status, "There already is a cost arc from node [%s] to [%s]",
               a, b);
    }
  } else if (status == qelta::kErrCycle) {
    log.Logf(status,
             "An arc from node [%s] to node [%s] would close a cycle: [%s] "
             "already leads to [%s]", a, b, b, a);
  } else if (status == qelta::kErrOutOfRange && network.AreAdjacent(parent, child)) {
    log.Logf(status, "Nodes [%s] and [%s] are already joined by an arc", a, b);
  } else if (status == qelta::kErrWrongNodeType) {
    using qelta::jni::NameOfCode;
    if (!network.TemporalTypesAllowArc(parent, child)) {
      log.Logf(status, "Node [%s] (%s) cannot be a parent of node [%s] (%s)", a,
               NameOfCode(qelta::jni::kTemporalTypes, from.GetTemporalType()).c_str(), b,
               NameOfCode(qelta::jni::kTemporalTypes, to.GetTemporalType()).c_str());
    } else {
      log.Logf(status, "Node [%s] (%s) cannot be a parent of node [%s] (%s)", a,
               NameOfCode(qelta::jni::kNodeTypes, from.Definition()->GetType()).c_str(), b,
               NameOfCode(qelta::jni::kNodeTypes, to.Definition()->GetType()).c_str());
    }
  }
}

}  // namespace

void AddArcOrThrow(VRN_network& network, int parent, int child, int layer) {
  VRN_errorLog* log = network.ErrorLog();
  log->Flush();
  ValidateNodeHandle(network, parent);
  ValidateNodeHandle(network, child);
  const int status = network.AddArc(parent, child, layer);
  if (status != qelta::kOk) {
    ExplainArcRefusal(network, parent, child, layer, status);
    ReportNetworkError("AddArc", status, *log);
  }
}

void RemoveArcOrThrow(VRN_network& network, int parent, int child, int layer) {
  ValidateNodeHandle(network, parent);
  ValidateNodeHandle(network, child);
  const int status = network.RemoveArc(parent, child, layer);
  if (status != qelta::kOk) {
    VRN_errorLog& log = *network.ErrorLog();
    if (status == qelta::kErrOutOfRange && log.GetNumberOfMessages() == 0) {
      log.Logf(status, "There is no %s from node [%s] to node [%s]",
               layer == qelta::kArcLayerCost ? "cost arc" : "arc",
               network.GetNode(parent)->GetId(), network.GetNode(child)->GetId());
    }
    ReportError("RemoveArc", status);
  }
}

// ---------------------------------------------------------------- converters

jintArray NodeIdsToHandleArray(JNIEnv* env, const VRN_network& network,
                               jobjectArray ids) {
  qelta::jni::RequireArray(ids, "Unexpected null Java array.");
  const jsize n = env->GetArrayLength(ids);
  std::vector<jint> handles(static_cast<std::size_t>(n));
  for (jsize i = 0; i < n; ++i) {
    LocalRef<jobject> id = GetArrayElement(env, ids, i);
    handles[static_cast<std::size_t>(i)] =
        NodeIdToHandle(env, network, static_cast<jstring>(id.get()));
  }
  return qelta::jni::NewJavaArray<jint>(env, handles);
}

jobjectArray NodeIdsToJava(JNIEnv* env, const VRN_network& network,
                           const VRN_intArray& handles) {
  const jsize n = handles.GetSize();
  jobjectArray array =
      qelta::jni::NewJavaObjectArray(env, "java/lang/String", n);
  for (jsize i = 0; i < n; ++i) {
    VRN_node* node = ValidateNodeHandle(network, handles[i]);
    LocalRef<jstring> id(env, NativeToJavaString(env, node->GetId()));
    qelta::jni::SetArrayElement(env, array, i, id.get());
  }
  return array;
}

jobjectArray TemporalInfoToJava(JNIEnv* env, const VRN_network& network,
                                const std::vector<std::pair<int, int>>& items) {
  const jsize n = static_cast<jsize>(items.size());
  LocalRef<jclass> cls = qelta::jni::FindClass(env, "qelta/TemporalInfo");
  jmethodID constructor = qelta::jni::GetMethodId(
      env, cls.get(), "<init>", "(ILjava/lang/String;I)V");
  jobjectArray array = env->NewObjectArray(n, cls.get(), nullptr);
  if (array == nullptr) throw qelta::jni::JavaExceptionPending();
  for (jsize i = 0; i < n; ++i) {
    const auto& [handle, order] = items[static_cast<std::size_t>(i)];
    VRN_node* node = ValidateNodeHandle(network, handle);
    LocalRef<jstring> id(env, NativeToJavaString(env, node->GetId()));
    LocalRef<jobject> info(env, env->NewObject(cls.get(), constructor, handle,
                                               id.get(), order));
    qelta::jni::CheckJava(env);
    qelta::jni::SetArrayElement(env, array, i, info.get());
  }
  return array;
}

namespace {

// An array of objects made by a (String, String) constructor from the
// string pairs first[i], second[i].
jobjectArray StringPairsToJava(JNIEnv* env, const char* class_name,
                               const VRN_stringArray& first,
                               const VRN_stringArray& second) {
  const jsize n = first.GetSize();
  LocalRef<jclass> cls = qelta::jni::FindClass(env, class_name);
  jmethodID constructor = qelta::jni::GetMethodId(
      env, cls.get(), "<init>", "(Ljava/lang/String;Ljava/lang/String;)V");
  jobjectArray array = env->NewObjectArray(n, cls.get(), nullptr);
  if (array == nullptr) throw qelta::jni::JavaExceptionPending();
  for (jsize i = 0; i < n; ++i) {
    LocalRef<jstring> a(env, NativeToJavaString(env, first.Get(i)));
    LocalRef<jstring> b(env, NativeToJavaString(env, second.Get(i)));
    LocalRef<jobject> pair(env,
                           env->NewObject(cls.get(), constructor, a.get(), b.get()));
    qelta::jni::CheckJava(env);
    qelta::jni::SetArrayElement(env, array, i, pair.get());
  }
  return array;
}

}  // namespace

jobjectArray UserPropertiesToJava(JNIEnv* env,
                                  const VRN_userProperties& properties) {
  return StringPairsToJava(env, "qelta/UserProperty", properties.GetNames(),
                           properties.GetValues());
}

void UserPropertiesFromJava(JNIEnv* env, jobjectArray properties,
                            VRN_userProperties* target) {
  VRN_userProperties fresh;
  const jsize n = properties != nullptr ? env->GetArrayLength(properties) : 0;
  jfieldID name_field = nullptr;
  jfieldID value_field = nullptr;
  for (jsize i = 0; i < n; ++i) {
    LocalRef<jobject> element = GetArrayElement(env, properties, i);
    if (element.get() == nullptr) {
      throw std::invalid_argument(
          "Properties array element name can't be null (index " +
          std::to_string(i) + ")");
    }
    if (name_field == nullptr) {
      LocalRef<jclass> cls = GetObjectClass(env, element.get());
      name_field = GetFieldId(env, cls.get(), "name", "Ljava/lang/String;");
      value_field = GetFieldId(env, cls.get(), "value", "Ljava/lang/String;");
    }
    LocalRef<jstring> name_ref = StringField(env, element.get(), name_field);
    LocalRef<jstring> value_ref = StringField(env, element.get(), value_field);
    JavaStringToNative name(env, name_ref.get(), "User property name");
    JavaStringToNative value(env, value_ref.get(), "User property value");
    if (fresh.FindProperty(name.c_str()) >= 0) {
      throw std::invalid_argument("Duplicate property name: " + name.str());
    }
    const int status = fresh.AddProperty(name.c_str(), value.c_str());
    if (status != qelta::kOk) {
      throw std::runtime_error("Can't add property (" + name.str() + "," +
                               value.str() + "), error code: " +
                               std::to_string(status));
    }
  }
  *target = fresh;
}

jobjectArray DocItemsToJava(JNIEnv* env, const VRN_documentation& items) {
  return StringPairsToJava(env, "qelta/DocItemInfo", items.GetTitles(),
                           items.GetPaths());
}

void DocItemsFromJava(JNIEnv* env, jobjectArray items,
                      VRN_documentation* target) {
  target->Flush();
  const jsize n = items != nullptr ? env->GetArrayLength(items) : 0;
  jfieldID title_field = nullptr;
  jfieldID path_field = nullptr;
  for (jsize i = 0; i < n; ++i) {
    LocalRef<jobject> element = GetArrayElement(env, items, i);
    if (element.get() == nullptr) {
      throw std::invalid_argument(
          "Documentation array element name can't be null (index " +
          std::to_string(i) + ")");
    }
    if (title_field == nullptr) {
      LocalRef<jclass> cls = GetObjectClass(env, element.get());
      title_field = GetFieldId(env, cls.get(), "title", "Ljava/lang/String;");
      path_field = GetFieldId(env, cls.get(), "path", "Ljava/lang/String;");
    }
    LocalRef<jstring> title_ref = StringField(env, element.get(), title_field);
    LocalRef<jstring> path_ref = StringField(env, element.get(), path_field);
    JavaStringToNative title(env, title_ref.get(), "Documentation title");
    JavaStringToNative path(env, path_ref.get(), "Documentation path");
    const int status = target->Add(title.c_str(), path.c_str());
    if (status != qelta::kOk) ReportError("Add", status);
  }
}

void TextBoxFromJava(JNIEnv* env, jobject box, VRN_textBox* target) {
  if (box == nullptr) throw std::invalid_argument("Text box can't be null");
  LocalRef<jclass> cls = GetObjectClass(env, box);
  jfieldID text_field = GetFieldId(env, cls.get(), "text", "Ljava/lang/String;");
  jfieldID position_field =
      GetFieldId(env, cls.get(), "position", "Ljava/awt/Rectangle;");
  LocalRef<jstring> text_ref = StringField(env, box, text_field);
  JavaStringToNative caption(env, text_ref.get(), "Text box text");
  LocalRef<jobject> position(env, env->GetObjectField(box, position_field));
  if (position.get() == nullptr) {
    throw std::invalid_argument("Text box position can't be null");
  }
  LocalRef<jclass> rectangle = GetObjectClass(env, position.get());
  const int width = IntField(env, position.get(), rectangle.get(), "width");
  const int height = IntField(env, position.get(), rectangle.get(), "height");
  const int x = IntField(env, position.get(), rectangle.get(), "x");
  const int y = IntField(env, position.get(), rectangle.get(), "y");
  target->caption = caption.str();
  target->rect[0] = Centre(x, width);
  target->rect[1] = Centre(y, height);
  target->rect[2] = width;
  target->rect[3] = height;
}

jobject TextBoxToJava(JNIEnv* env, const VRN_textBox& box) {
  LocalRef<jstring> caption(env, NativeToJavaString(env, box.caption));
  LocalRef<jobject> position(env, RectangleToJava(env, box.rect[0], box.rect[1],
                                                  box.rect[2], box.rect[3]));
  return qelta::jni::NewJavaObject(env, "qelta/TextBox",
                                   "(Ljava/lang/String;Ljava/awt/Rectangle;)V",
                                   caption.get(), position.get());
}

jobject RectangleToJava(JNIEnv* env, int centre_x, int centre_y, int width,
                        int height) {
  return qelta::jni::NewJavaObject(env, "java/awt/Rectangle", "(IIII)V",
                                   Edge(centre_x, width), Edge(centre_y, height),
                                   width, height);
}

jobject ColorToJava(JNIEnv* env, int stored) {
  return qelta::jni::NewJavaObject(env, "java/awt/Color", "(I)V",
                                   static_cast<jint>(SwapRedBlue(stored)));
}

int ColorFromJava(JNIEnv* env, jobject color) {
  if (color == nullptr) throw std::invalid_argument("Color can't be null");
  LocalRef<jclass> cls = GetObjectClass(env, color);
  jmethodID get_rgb = qelta::jni::GetMethodId(env, cls.get(), "getRGB", "()I");
  const jint rgb = env->CallIntMethod(color, get_rgb);
  qelta::jni::CheckJava(env);
  return SwapRedBlue(rgb);
}
