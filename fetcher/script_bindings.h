// The host functions as Duktape functions: the dispatch table (names,
// dispatch IDs, declared parameter types), argument conversion and the calls
// into CHostObject. Used only by the script host.
#pragma once

#include <duktape.h>

namespace wrenly {

// Defines every host function as a global function of the heap.
void BindHostFunctions(duk_context* ctx);

}  // namespace wrenly
