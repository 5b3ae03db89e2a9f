// The standard CRC-32 (reflected polynomial 0xEDB88320, as in zlib), which
// keys the entries of the language file.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint32_t Crc32Start = 0xFFFFFFFF;

// Folds `count` bytes into a running CRC. Start from Crc32Start and
// complement the final value.
uint32_t Crc32Update(uint32_t crc, const void* bytes, size_t count);
