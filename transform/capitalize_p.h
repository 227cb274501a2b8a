// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Not part of the library's interface: lets the tests and benchmarks run each kernel of the
// rule on one machine, which otherwise only ever runs the fastest one it supports.

#include "capitalize.h"

namespace Quillmere::Internal {

// The kernels of CapitalizeWords and ProperCase, slowest first. Scalar runs everywhere; the
// others exist on x86-64 only.
enum class InstructionSet { Scalar, Sse2, Avx2, Avx512 };

// True when this build has the kernel and this processor can run it.
[[nodiscard]] bool isSupported(InstructionSet set);

// The kernel CapitalizeWords and ProperCase use: the last supported one.
[[nodiscard]] InstructionSet preferredInstructionSet();

// CapitalizeWords and ProperCase on the given kernel, or on the scalar one when it is not
// supported here.
[[nodiscard]] QString capitalizeWordsWith(InstructionSet set, QString text);
[[nodiscard]] QString properCaseWith(InstructionSet set, QString text);

} // namespace Quillmere::Internal
