// Identities of the layer's test server that its tests share (the rest come from the IDL).
#pragma once

#include <windows.h>

namespace layer_test {

// A class in the table whose creation always fails in FinalConstruct with kRefused; it has no
// registry script.
// {6C7BF668-04D3-4777-9C7F-65AFFFF825F5}
constexpr CLSID kRefuserClsid = {0x6C7BF668, 0x04D3, 0x4777, {0x9C, 0x7F, 0x65, 0xAF, 0xFF, 0xF8, 0x25, 0xF5}};
constexpr HRESULT kRefused = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_ITF, 0x0321);

constexpr wchar_t kAppId[] = L"{4FEC2D7C-E161-4D21-A540-86D305038D0C}";
constexpr wchar_t kOleMisc[] = L"131473";

}  // namespace layer_test
