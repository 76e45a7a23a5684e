// The hypervisor signature that the processor reports through CPUID.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

// One CPUID query: EBX, ECX, EDX of `leaf` into bytes 0-11 of `out`, byte 12
// zero; returns EAX. Returns 0 and zeros on processors without CPUID.
uint32_t Cpuid(uint32_t leaf, char out[13]);

using CpuidQuery = std::function<uint32_t(uint32_t leaf, char out[13])>;

// The signature of the hypervisor leaf range as the Virtual attribute
// carries it: the last leaf's 12 bytes up to their first zero, cut to
// "VMware" for VMware, or 8 hex digits when it starts with "@". Empty, and
// those leaves not asked, when leaf 1 announces no hypervisor.
std::string HypervisorSignature(const CpuidQuery& query);

// The signature this processor reports.
std::string ProbeHypervisor();
