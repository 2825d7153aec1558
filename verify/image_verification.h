#pragma once
// The standard image (kStandardWorkload in engine/workload.h) is fixed forever: every correct
// machine, compiler and thread count renders the same bytes. A run whose image differs was
// computed wrongly (an unstable overclock, a broken build) and its score means nothing.

// SHA-256 of the finished standard image's RGBA bytes.
extern const char* const kStandardImageSha256;
