// Why a transformNode failed, in words a report can carry.
#pragma once

#include <windows.h>

#include <string>

namespace tarnweld::xml {

// The reason for a call that answered `status`: the description the call left
// in this thread's COM error object (GetErrorInfo), without MSXML's closing
// line break, or, when it left none, a sentence that names the status. The
// error object is taken, so a later failure cannot read a stale one.
std::u16string transformFailureReason(HRESULT status);

}  // namespace tarnweld::xml
