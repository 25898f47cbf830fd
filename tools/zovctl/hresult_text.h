// HRESULTs as zovctl writes them: the code alone ("0x8000FFFF", the JSON "hresult" value), and in
// messages "HRESULT 0x80040154" followed, where zovctl knows it, by what the code means. The
// meanings are zovctl's own texts, the same on every platform.
#pragma once

#include <cstdint>
#include <string>

namespace zovctl {

// "0x" and eight upper-case hexadecimal digits.
std::string HresultCode(int32_t hr);

// "HRESULT 0x80040154 (the class is not registered)", or without the part in parentheses for a
// code zovctl has no text for.
std::string DescribeHresult(int32_t hr);

}  // namespace zovctl
