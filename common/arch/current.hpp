// The kernel interface of the processor the compiler builds for: the one place that
// chooses. A new processor family is one more header here (and a toolchain file).
#pragma once
#if defined(__x86_64__)
#include "common/arch/x86_64.hpp"
#elif defined(__aarch64__)
#include "common/arch/aarch64.hpp"
#else
#error "no kernel interface for this processor in common/arch/"
#endif
