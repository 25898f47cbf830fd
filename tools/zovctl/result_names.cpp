#include "result_names.h"

#include "zovserver.h"

namespace zovctl {
namespace {

// Value and name both come from the enumerator itself, so they cannot drift apart.
#define ZOVCTL_RESULT(code) {code, #code}
const ResultCode kResultCodes[] = {
    ZOVCTL_RESULT(errZovServerOk),
    ZOVCTL_RESULT(errZovServerAllocFailed),
    ZOVCTL_RESULT(errZovServerNoWorkpiece),
    ZOVCTL_RESULT(errZovServerCanceled),
    ZOVCTL_RESULT(errZovServerIsIdle),
    ZOVCTL_RESULT(errZovServerErrAccessingFile),
    ZOVCTL_RESULT(errZovServerIllegalSelect),
    ZOVCTL_RESULT(errZovServerFileNotFound),
    ZOVCTL_RESULT(errZovServerErrProfile),
    ZOVCTL_RESULT(errZovServerNoZovName),
    ZOVCTL_RESULT(errZovServerNoInitStatement),
    ZOVCTL_RESULT(errZovServerFileIsUnloaded),
    ZOVCTL_RESULT(errZovServerInvalidChanOrNcu),
};
#undef ZOVCTL_RESULT

}  // namespace

const char* ResultName(long value) {
  for (const ResultCode& code : kResultCodes)
    if (code.value == value) return code.name;
  return nullptr;
}

const ResultCode* ResultCodes(size_t* count) {
  *count = sizeof kResultCodes / sizeof kResultCodes[0];
  return kResultCodes;
}

}  // namespace zovctl
