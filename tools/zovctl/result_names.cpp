#include "result_names.h"

#include "server/dispatch_table.h"

namespace zovctl {

const char* ResultName(long value) {
  size_t count = 0;
  const zov::server::DispatchEnumerator* enumerators = zov::server::ServerResultEnumerators(&count);
  for (size_t i = 0; i < count; ++i)
    if (enumerators[i].value == value) return enumerators[i].name;
  return nullptr;
}

size_t ResultCodeCount() {
  size_t count = 0;
  zov::server::ServerResultEnumerators(&count);
  return count;
}

}  // namespace zovctl
