#pragma once
// SHA-256 from the library the platform offers: OpenSSL (sha256_openssl.cpp), or BCrypt on
// Windows (sha256_windows.cpp).
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// Lower-case hexadecimal SHA-256 of the bytes.
std::string sha256_hex(std::span<const std::uint8_t> bytes);
