// The random bytes a statically linked expat asks for to salt its hash
// tables. glibc has offered arc4random_buf only since 2.36; answering the
// call here, hidden inside libqelta.so, keeps the library loadable on the
// older glibc its other calls allow. Only the library built for Java links
// this file.
//
// <stdlib.h> declares the glibc function with a noexcept clause this one
// lacks, so this file includes nothing that pulls it in.
#include <sys/random.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <ctime>

namespace {

// Fills buf from the kernel; false when neither getrandom nor /dev/urandom
// gives every byte.
bool kernel_bytes(unsigned char* buf, std::size_t size) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t got = getrandom(buf + done, size - done, 0);
    if (got > 0) {
      done += static_cast<std::size_t>(got);
    } else if (got < 0 && errno != EINTR) {
      break;
    }
  }
  if (done == size) return true;
  const int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  while (done < size) {
    const ssize_t got = read(fd, buf + done, size - done);
    if (got > 0) {
      done += static_cast<std::size_t>(got);
    } else if (got == 0 || errno != EINTR) {
      break;
    }
  }
  close(fd);
  return done == size;
}

}  // namespace

extern "C" __attribute__((visibility("hidden"))) void arc4random_buf(void* buf,
                                                                     std::size_t size) {
  auto* out = static_cast<unsigned char*>(buf);
  if (kernel_bytes(out, size)) return;
  // No kernel source: a salt that still differs between processes and calls,
  // which is all a hash table's salt needs.
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  std::uint64_t state = static_cast<std::uint64_t>(now.tv_nsec) ^
                        (static_cast<std::uint64_t>(now.tv_sec) << 30) ^
                        (static_cast<std::uint64_t>(getpid()) << 17) ^
                        reinterpret_cast<std::uintptr_t>(&now);
  for (std::size_t i = 0; i < size; ++i) {
    state += 0x9E3779B97F4A7C15ULL;  // splitmix64
    std::uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    out[i] = static_cast<unsigned char>(z ^ (z >> 31));
  }
}
