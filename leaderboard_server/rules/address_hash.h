#pragma once
// What a run keeps of its sender: a keyed hash of the address, never the address. With the key
// kept apart from the database, a copy of the database does not give the addresses back (an IPv4
// address alone would be found by trying all of them).

#include <string>

// Reads the key from `path`, or creates the file with a new random key (mode 0600). Several
// instances that share a database share this file too. Throws std::runtime_error.
std::string load_address_key(const std::string& path);

class AddressHasher {
 public:
  explicit AddressHasher(std::string key) : key_(std::move(key)) {}

  // 32 hex digits of HMAC-SHA-256 over the address as the rate limit counts it (an IPv6 /64 as one).
  std::string hash(const std::string& address) const;

 private:
  std::string key_;
};
