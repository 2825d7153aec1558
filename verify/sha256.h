#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

// Lower-case hexadecimal SHA-256 of the bytes.
std::string sha256_hex(std::span<const std::uint8_t> bytes);
