// Status codes returned by every engine operation.
//
// An operation answers 0 on success and a negative code on failure, and
// writes a message with the same code to the network's error log. The named
// codes print their own name (see VRN_ErrorCodeName); the others print as
// "UNKNOWN ERROR CODE".
#ifndef QELTA_BASE_STATUS_H_
#define QELTA_BASE_STATUS_H_

namespace qelta {

inline constexpr int kOk = 0;
inline constexpr int kErrGeneral = -1;
inline constexpr int kErrOutOfRange = -2;      // bad index, size or missing item
inline constexpr int kErrNoItem = -3;          // failed search of a plain array
inline constexpr int kErrInvalidValue = -4;    // e.g. a table size mismatch
inline constexpr int kErrNoUsefulSamples = -5;
inline constexpr int kErrCycle = -11;          // an arc would close a cycle
inline constexpr int kErrWrongNumStates = -19;
inline constexpr int kErrEvidenceConflict = -26;  // conflicting implied evidence
inline constexpr int kErrIllegalIdentifier = -30;
inline constexpr int kErrDuplicatedIdentifier = -32;
inline constexpr int kErrOutOfMemory = -42;    // also table-size overflow
inline constexpr int kErrZeroMarginal = -43;   // a marginal sums to zero
inline constexpr int kErrWrongNodeType = -51;  // unsupported by this kind
inline constexpr int kErrFileRead = -100;
inline constexpr int kErrFileWrite = -101;
inline constexpr int kErrEndOfFile = -102;
inline constexpr int kErrFileIo = -103;
inline constexpr int kErrNoMoreTokens = -111;
inline constexpr int kErrLexical = -126;
inline constexpr int kErrSyntax = -127;
inline constexpr int kErrUnexpectedEof = -128;

}  // namespace qelta

// The fixed name of a status code ("NO ERROR", "OUT OF RANGE", ...);
// "UNKNOWN ERROR CODE" for every code without a name. The text is static.
const char* VRN_ErrorCodeName(int code);

#endif  // QELTA_BASE_STATUS_H_
