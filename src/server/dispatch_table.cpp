#include "server/dispatch_table.h"

namespace zov::server {

namespace {

const DispatchParam kSelectProgram[] = {
    {"sProgram", VT_BSTR}, {"nChannelId", VT_I2}, {"nAccessLevel", VT_I2}, {"plRetVal", VT_I4}};
const DispatchParam kCancel[] = {{"plRetVal", VT_I4}};
const DispatchParam kFindProgram[] = {{"sWorkingDirectory", VT_BSTR},
                                      {"sSearchName", VT_BSTR},
                                      {"nAccessLevel", VT_I2},
                                      {"sProgram", VT_BSTR}};
const DispatchParam kCheckDatFile[] = {{"sDatFile", VT_BSTR}, {"plRetVal", VT_I4}};
const DispatchParam kUpdateDatFile[] = {{"sDatFile", VT_BSTR}, {"plRetVal", VT_I4}};

const DispatchMember kMembers[] = {
    {"SelectProgram", 1, "method SelectProgram", kSelectProgram, 3},
    {"Cancel", 2, "method Cancel", kCancel, 0},
    {"FindProgram", 3, "method FindProgram", kFindProgram, 3},
    {"CheckDatFile", 4, "method CheckDatFile", kCheckDatFile, 1},
    {"UpdateDatFile", 5, "method UpdateDatFile", kUpdateDatFile, 1},
};

const DispatchInterface kServer = {"ICZOVServer", "ICZOVServer Interface", kMembers,
                                   sizeof kMembers / sizeof kMembers[0]};

const DispatchEnumerator kResults[] = {
    {"errZovServerOk", 0},
    {"errZovServerAllocFailed", -1},
    {"errZovServerNoWorkpiece", -2},
    {"errZovServerCanceled", -3},
    {"errZovServerIsIdle", -4},
    {"errZovServerErrAccessingFile", -5},
    {"errZovServerIllegalSelect", -6},
    {"errZovServerFileNotFound", -7},
    {"errZovServerErrProfile", -8},
    {"errZovServerNoZovName", -9},
    {"errZovServerNoInitStatement", -10},
    {"errZovServerFileIsUnloaded", -11},
    {"errZovServerInvalidChanOrNcu", -12},
};

}  // namespace

const DispatchInterface& ServerInterface() { return kServer; }

const DispatchEnumerator* ServerResultEnumerators(size_t* count) {
  *count = sizeof kResults / sizeof kResults[0];
  return kResults;
}

}  // namespace zov::server
