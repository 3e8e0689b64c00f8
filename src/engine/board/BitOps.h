// Population count and bit scans, in the form InitCPU chose for this processor.
#pragma once

#include <cstdint>

// Set once by InitCPU, before any other thread exists; read-only afterwards.  A predictable branch on
// these costs the hot path far less than an indirect call would.
extern bool CountBitsUsesPopcnt;
extern bool FindFirstOneBitUsesPopcnt;
extern bool PopFirstOneBitUsesPopcnt;

inline uint32_t PopcntInstruction(uint64_t X) {
#if defined(__x86_64__)
  uint64_t R;
  // Emitted as an instruction so that a generic x86-64 build can still use it where present.
  asm("popcnt %1, %0" : "=r"(R) : "r"(X) : "cc");
  return uint32_t(R);
#else
  // WebAssembly has the instruction in every build.
  return uint32_t(__builtin_popcountll(X));
#endif
}

inline uint32_t CountBitsFallback(uint64_t X) {
  X = X - ((X >> 1) & 0x5555555555555555ull);
  X = (X & 0x3333333333333333ull) + ((X >> 2) & 0x3333333333333333ull);
  X = (X + (X >> 4)) & 0x0F0F0F0F0F0F0F0Full;
  return uint32_t((X * 0x0101010101010101ull) >> 56);
}

// An empty set gives 64, like the popcount form.
inline uint32_t FindFirstOneBitFallback(uint64_t X) { return X ? uint32_t(__builtin_ctzll(X)) : 64u; }

inline uint32_t PopFirstOneBitFallback(uint64_t& X) {
  uint32_t R = FindFirstOneBitFallback(X);
  X &= X - 1;
  return R;
}

inline uint32_t CountBitsPopcnt(uint64_t X) { return PopcntInstruction(X); }
inline uint32_t FindFirstOneBitPopcnt(uint64_t X) { return PopcntInstruction((X - 1) & ~X); }
inline uint32_t PopFirstOneBitPopcnt(uint64_t& X) {
  uint64_t V = X;
  X = V & (V - 1);
  return PopcntInstruction((V - 1) & ~V);
}

inline uint32_t CountBits(uint64_t X) { return CountBitsUsesPopcnt ? CountBitsPopcnt(X) : CountBitsFallback(X); }
inline uint32_t FindFirstOneBit(uint64_t X) {
  return FindFirstOneBitUsesPopcnt ? FindFirstOneBitPopcnt(X) : FindFirstOneBitFallback(X);
}
inline uint32_t PopFirstOneBit(uint64_t& X) {
  return PopFirstOneBitUsesPopcnt ? PopFirstOneBitPopcnt(X) : PopFirstOneBitFallback(X);
}

bool CpuHasPopcnt();
// Selects the forms.  ForceFallback selects the fallbacks regardless of the processor (for tests).
void InitCPU(bool ForceFallback = false);
