// Argument checks and conversions shared by the JNI exports.
//
// Every node, outcome, parent, submodel and text-box reference that Java
// passes is checked here before the engine sees it, and Java value objects
// are converted to the engine's records and back. A check returns what its
// caller needs (a node, a definition, a handle, an index) or throws a
// standard exception whose message is the full text that reaches Java as the
// message of QELTAException (std::invalid_argument for bad arguments, a few
// std::runtime_error where the state of the network is at fault). Checks
// change nothing, so a refused call leaves the network as it was.
//
// Ownership: returned pointers point into the network, which owns them;
// they stay valid until the network's next structural edit. Java local
// references returned here belong to the caller.
//
// Thread use: as the network, one thread at a time.
#ifndef QELTA_JNI_CHECKS_H_
#define QELTA_JNI_CHECKS_H_

#include <jni.h>

#include <string>
#include <utility>
#include <vector>

class VRN_documentation;
class VRN_doubleArray;
class VRN_intArray;
class VRN_network;
class VRN_node;
class VRN_nodeDef;
class VRN_submodel;
class VRN_userProperties;
struct VRN_textBox;

// ---------------------------------------------------------------- nodes

// The live node with that handle. Fails with "Invalid node handle: " +
// handle for a negative handle, one beyond the slots, or a free slot.
VRN_node* ValidateNodeHandle(const VRN_network& network, int handle);

// The handle of the node with that identifier. Fails with "Invalid node
// identifier: null" or "Invalid node identifier: '" + id + "'".
int NodeIdToHandle(JNIEnv* env, const VRN_network& network, jstring id);

// The node, after checking 0 <= outcome < its outcome count. Fails as
// ValidateNodeHandle, or with "Invalid outcome index " + outcome + " for node
// '" + node id + "', valid indices are 0.." + (count - 1); a node without
// outcomes counts 0 there.
VRN_node* ValidateOutcomeIndex(const VRN_network& network, int handle,
                               int outcome);

// The index of the node's outcome with that identifier. Fails with "Invalid
// outcome identifier: null" (tested before the node), as ValidateNodeHandle,
// or with "Invalid outcome identifier '" + id + "' for node '" + node id +
// "'".
int OutcomeIdToIndex(JNIEnv* env, const VRN_network& network, int handle,
                     jstring outcome_id);

// Fails with "Slice cannot be negative", or with "Slice index must be less
// than slice count, which is set to " + count unless slice < the network's
// slice count (0 without a temporal part, so every slice fails there).
void ValidateSlice(const VRN_network& network, int slice);

// The node's definition when it has at least two outcomes. Fails as
// ValidateNodeHandle, or with "Node " + id + " has invalid definition type: "
// + type name.
VRN_nodeDef* GetDiscreteDef(const VRN_network& network, int handle);

// GetDiscreteDef, then the outcome check of ValidateOutcomeIndex.
VRN_nodeDef* GetDiscreteDefForOutcome(const VRN_network& network, int handle,
                                      int outcome);

// Fails with "Invalid parent index " + index + " for node " + id unless
// 0 <= index < the node's parent count.
// REQUIRES: handle names a live node.
void ValidateParentIndex(const VRN_network& network, int handle, int index);

// The UTF-8 text of an identifier for something new. Fails with "Unexpected
// null Java string.", what + " cannot contain U+0000" (what: "Node
// identifier", ...) or "Identifier '" + text + "' is invalid - it should
// start with a letter and contain only letters, digits and underscores".
std::string ValidateIdentifier(JNIEnv* env, jstring text, const char* what);

// Fails (std::runtime_error) with "Node '" + id + "' has no evidence set"
// unless the node's value has observed or implied evidence.
void CheckEvidenceSet(const VRN_node& node);

// Fails with "Invalid definition array size for node '" + id + "': expected
// " + expected + " and got " + length, followed directly by a hint about
// noisy weights for a noisy-MAX node, when the array's length differs.
// REQUIRES: array != nullptr.
void ValidateDefinitionArraySize(JNIEnv* env, const VRN_node& node,
                                 int expected, jarray array);

// The index of parent_id's node in the child's parent list. Fails as
// ValidateNodeHandle (child), as NodeIdToHandle (parent), or with "Node '" +
// child id + "' is not a child of node '" + parent id + "'".
int CheckIsChild(JNIEnv* env, const VRN_network& network, int child,
                 jstring parent_id);

// The index of parent_id's node among the child's temporal parents of that
// order. Fails as ValidateNodeHandle (child), as NodeIdToHandle (parent), or
// with "Node '" + child id + "' is not a temporal child of node '" + parent
// id + "' with order " + order.
int CheckIsTemporalChild(JNIEnv* env, const VRN_network& network, int child,
                         int order, jstring parent_id);
// The items of the plate node's table for a temporal order: order 0 is the
// node's own table. Fails as ValidateNodeHandle, with "Only plate nodes have
// temporal definitions", or (std::runtime_error) with "Cannot get the
// temporal definition of type '" + type name + "' of node '" + id + "' as an
// array of doubles for order " + order when there is no table of that order.
const VRN_doubleArray& GetPlateTemporalDef(const VRN_network& network,
                                           int handle, int order);
// The node's definition when it has the named kind (type code 146, 82, 4 or
// 520). Fail as ValidateNodeHandle, or with "Node '" + id + "' must be of
// type " + "NoisyMax" / "DeMorgan" / "Equation" / "MAU".
VRN_nodeDef* GetNoisyMaxDef(const VRN_network& network, int handle);
VRN_nodeDef* GetDeMorganDef(const VRN_network& network, int handle);
VRN_nodeDef* GetEquationDef(const VRN_network& network, int handle);
VRN_nodeDef* GetMauDef(const VRN_network& network, int handle);

// ---------------------------------------------------------------- submodels

// 0x8000 when the walk over the submodel table meets it; otherwise fails
// (std::runtime_error) with "Main submodel not found".
int FindMainSubmodel(const VRN_network& network);

// The submodel with that handle (bit 0x8000 optional). Fails with "Invalid
// submodel handle: " + handle.
VRN_submodel* ValidateSubmodelHandle(const VRN_network& network, int handle);

// The handle of the submodel with that identifier. Fails with "Unexpected
// null Java string." or "Invalid submodel id: '" + id + "'".
int SubmodelIdToHandle(JNIEnv* env, const VRN_network& network, jstring id);

// Text box index of the submodel. Fails as ValidateSubmodelHandle, with
// "Negative textbox index", or with "Invalid textbox index: " + index.
VRN_textBox& ValidateTextBoxIndex(const VRN_network& network, int submodel,
                                  int index);

// ---------------------------------------------------------------- arcs

// Clears the network's error log, checks both handles (parent first) and
// adds the arc of the given layer (0 ordinary, 1 observation cost). A
// refusal throws the engine failure "AddArc" with the logged reasons.
void AddArcOrThrow(VRN_network& network, int parent, int child, int layer);

// Checks both handles (parent first) and removes the arc; a refusal throws
// the engine failure "RemoveArc".
void RemoveArcOrThrow(VRN_network& network, int parent, int child, int layer);

// ---------------------------------------------------------------- converters

// A new Java int array of the handles of the named nodes, in order. Fails
// as NodeIdToHandle for a null or unknown identifier and with "Unexpected
// null Java array." for a null array.
jintArray NodeIdsToHandleArray(JNIEnv* env, const VRN_network& network,
                               jobjectArray ids);

// A new Java String array of the identifiers of the nodes, in order. A
// handle that names no live node fails as ValidateNodeHandle.
jobjectArray NodeIdsToJava(JNIEnv* env, const VRN_network& network,
                           const VRN_intArray& handles);

// A new array of qelta.TemporalInfo, one per (node handle, order) pair, in
// order. A handle that names no live node fails as ValidateNodeHandle.
jobjectArray TemporalInfoToJava(JNIEnv* env, const VRN_network& network,
                                const std::vector<std::pair<int, int>>& items);

// A new array of qelta.UserProperty holding the (name, value) pairs in order.
jobjectArray UserPropertiesToJava(JNIEnv* env,
                                  const VRN_userProperties& properties);

// Replaces *target by the pairs of a Java array of qelta.UserProperty; a
// null or empty array empties it. Fails with "Properties array element name
// can't be null (index " + i + ")", "Unexpected null Java string.",
// "Duplicate property name: " + name, or (std::runtime_error) "Can't add
// property (" + name + "," + value + "), error code: " + status; *target is
// then unchanged.
void UserPropertiesFromJava(JNIEnv* env, jobjectArray properties,
                            VRN_userProperties* target);

// A new array of qelta.DocItemInfo holding the (title, path) items in order.
jobjectArray DocItemsToJava(JNIEnv* env, const VRN_documentation& items);

// Empties *target and appends the items of a Java array of
// qelta.DocItemInfo (a null array leaves it empty). Fails with
// "Documentation array element name can't be null (index " + i + ")" or
// "Unexpected null Java string.", leaving the items appended so far; callers
// that must keep the old list fill a fresh one and swap on success.
void DocItemsFromJava(JNIEnv* env, jobjectArray items,
                      VRN_documentation* target);

// Stores a qelta.TextBox into *target: the caption, and the rectangle as
// centre x = x + width / 2, centre y = y + height / 2, width, height. Every
// field is read before *target changes. Fails with "Text box can't be null",
// "Unexpected null Java string." (no text) or "Text box position can't be
// null".
void TextBoxFromJava(JNIEnv* env, jobject box, VRN_textBox* target);

// A new qelta.TextBox with the caption and the top-left rectangle of box.
jobject TextBoxToJava(JNIEnv* env, const VRN_textBox& box);

// A new java.awt.Rectangle from a centre-based rectangle: x = centre x -
// width / 2, y = centre y - height / 2 (halves truncated toward zero).
jobject RectangleToJava(JNIEnv* env, int centre_x, int centre_y, int width,
                        int height);

// A new java.awt.Color (opaque) from a stored colour 0x00BBGGRR.
jobject ColorToJava(JNIEnv* env, int stored);

// The stored form 0x00BBGGRR of a java.awt.Color; its alpha is dropped.
// Fails with "Color can't be null" for a null colour.
int ColorFromJava(JNIEnv* env, jobject color);

#endif  // QELTA_JNI_CHECKS_H_
