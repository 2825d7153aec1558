#include "leaderboard_server/rules/address_hash.h"

#include "leaderboard_server/rules/rate_limiter.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/rand.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace {
constexpr std::size_t kKeyBytes = 32;
}

std::string load_address_key(const std::string& path) {
  std::string key(kKeyBytes, '\0');
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT) {
    if (RAND_bytes(reinterpret_cast<unsigned char*>(key.data()), static_cast<int>(key.size())) != 1)
      throw std::runtime_error("no random bytes for a new address key");
    // O_EXCL: when two instances start at once, one writes the key and the other reads it.
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
      const bool written = ::write(fd, key.data(), key.size()) == static_cast<ssize_t>(key.size());
      ::close(fd);
      if (!written) throw std::runtime_error("cannot write the address key " + path);
      return key;
    }
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  }
  if (fd < 0) throw std::runtime_error("cannot open the address key " + path + ": " + std::strerror(errno));
  const ssize_t n = ::read(fd, key.data(), key.size());
  ::close(fd);
  if (n != static_cast<ssize_t>(key.size()))
    throw std::runtime_error("the address key " + path + " is not " + std::to_string(kKeyBytes) + " bytes long");
  return key;
}

std::string AddressHasher::hash(const std::string& address) const {
  const std::string subject = rate_limit_key(address);
  unsigned char mac[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  HMAC(EVP_sha256(), key_.data(), static_cast<int>(key_.size()), reinterpret_cast<const unsigned char*>(subject.data()),
       subject.size(), mac, &len);
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned i = 0; i < 16 && i < len; ++i) {
    out += kHex[mac[i] >> 4];
    out += kHex[mac[i] & 15];
  }
  return out;
}
