// Drawing geometry shared by the appearance, submodel and text-box bridges:
// Java hands rectangles over top-left based, the engine keeps their centre.
#ifndef QELTA_JNI_NETWORK_GEOMETRY_H_
#define QELTA_JNI_NETWORK_GEOMETRY_H_

#include <cstdint>

namespace qelta {
namespace jni {

// Centre coordinate of a rectangle whose top-left edge is `edge`: edge +
// size / 2, halved toward zero. Wraps like Java's int arithmetic instead of
// overflowing, so every argument is defined and RectangleToJava (which
// undoes it with the same wrapping) answers the rectangle as given.
inline int CentreOf(int edge, int size) {
  return static_cast<int>(static_cast<std::uint32_t>(edge) +
                          static_cast<std::uint32_t>(size / 2));
}

}  // namespace jni
}  // namespace qelta

#endif  // QELTA_JNI_NETWORK_GEOMETRY_H_
