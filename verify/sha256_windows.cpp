// SHA-256 through the system's cryptography provider (BCrypt).
#include <windows.h>
// after windows.h
#include <bcrypt.h>

#include <algorithm>
#include <stdexcept>

#include "verify/sha256.h"

std::string sha256_hex(std::span<const std::uint8_t> bytes) {
  unsigned char digest[32];
  // Fed in parts of 1 GiB: one call takes at most 4 GiB.
  BCRYPT_HASH_HANDLE hash = nullptr;
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
    throw std::runtime_error("SHA-256 failed");
  bool ok = BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0));
  for (std::size_t done = 0; ok && done < bytes.size();) {
    const ULONG part = static_cast<ULONG>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    ok = BCRYPT_SUCCESS(BCryptHashData(hash, const_cast<PUCHAR>(bytes.data() + done), part, 0));
    done += part;
  }
  ok = ok && BCRYPT_SUCCESS(BCryptFinishHash(hash, digest, sizeof digest, 0));
  if (hash) BCryptDestroyHash(hash);
  BCryptCloseAlgorithmProvider(algorithm, 0);
  if (!ok) throw std::runtime_error("SHA-256 failed");
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  text.reserve(64);
  for (unsigned char byte : digest) {
    text += kHex[byte >> 4];
    text += kHex[byte & 0xF];
  }
  return text;
}
