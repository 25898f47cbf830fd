// zovctl self-check: a short run over the platform services the server stands on, on the machine in
// use, so that a user can see at once whether an installation works.
#pragma once

namespace zovctl {

int RunSelfCheck();

}  // namespace zovctl
