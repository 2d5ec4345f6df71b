// Result codes of the transfer and connection operations, in the HRESULT
// form the rest of the programs compare against (negative = failure).
#pragma once

#include <cstdint>

namespace wrenly {

using HRESULT = std::int32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
constexpr HRESULT INET_E_DOWNLOAD_FAILURE = static_cast<HRESULT>(0x800C0008u);

constexpr bool Failed(HRESULT result) { return result < 0; }

}  // namespace wrenly
