#include "server/zov_server.h"

#include <new>
#include <utility>

#include "server/server_dispatch.h"

// Windows declares it in olectl.h, which zov/win32.h does not include.
#ifndef CONNECT_E_NOCONNECTION
#define CONNECT_E_NOCONNECTION static_cast<HRESULT>(0x80040200L)
#endif

namespace zov::server {

namespace {

// The enumerator EnumConnectionPoints hands out: the class has no connection point, so it never
// yields one.
class EmptyConnectionPoints : public IEnumConnectionPoints, public zov::com::ObjectRoot {
 public:
  static const zov::com::InterfaceEntry<EmptyConnectionPoints>* InterfaceMap() {
    static const zov::com::InterfaceEntry<EmptyConnectionPoints> map[] = {
        {&IID_IEnumConnectionPoints,
         &zov::com::InterfaceOf<EmptyConnectionPoints, IEnumConnectionPoints>},
        {nullptr, nullptr}};
    return map;
  }

  HRESULT STDMETHODCALLTYPE Next(ULONG count, IConnectionPoint** points,
                                 ULONG* fetched) override {
    if (fetched) *fetched = 0;
    if (!points || (count > 1 && !fetched)) return E_POINTER;
    return count == 0 ? S_OK : S_FALSE;
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override { return count == 0 ? S_OK : S_FALSE; }
  HRESULT STDMETHODCALLTYPE Reset() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints** copy) override {
    return zov::com::CreateInstance<EmptyConnectionPoints>(nullptr, IID_IEnumConnectionPoints,
                                                           reinterpret_cast<void**>(copy));
  }
};

// The frame every ICZOVServer method runs its work in: no exception leaves a COM method. Running
// out of memory is errZovServerAllocFailed. Any other exception has no result code of its own and
// is reported the same way, since it means the work could not be done and the client must not
// take it for a success or for one of the outcomes the work itself tells.
template <class Work>
LONG Guarded(Work&& work) noexcept {
  try {
    return work();
  } catch (const std::bad_alloc&) {
    return errZovServerAllocFailed;
  } catch (...) {
    return errZovServerAllocFailed;
  }
}

}  // namespace

CZOVServer::CZOVServer() noexcept {
  // The host library, by a relative path the system's library search resolves (from the host
  // program's folder); its profile functions read the host's configuration (configuration.cpp).
  unique_hmodule hostLibrary(LoadLibraryA(kHostLibraryRelative));
  // A thread that already lives in a single-threaded apartment refuses (RPC_E_CHANGED_MODE);
  // then nothing is balanced at destruction.
  HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  m_bComInitialized = (hr == S_OK || hr == S_FALSE) ? 1 : 0;
  // Construction never fails: a companion object that cannot be allocated stays null, and the
  // methods that need it report errZovServerAllocFailed.
  m_bstrWorkpiece.reset(SysAllocString(OLESTR("")));
  m_pFileList.reset(new (std::nothrow) FileList());
  m_pDomainFile.reset(new (std::nothrow) zov::services::DomainFile());
  m_pNcVar.reset(new (std::nothrow) zov::services::NcVar());
  m_bBusy = 0;
  m_nDirectories = 0;
  try {
    LoadConfiguration(std::move(hostLibrary));
  } catch (...) {
    // Out of memory while reading: the members not read yet keep their defaults.
  }
}

CZOVServer::~CZOVServer() {
  // Undone in a fixed order: the job library, the NC variables, the file list, the domain file,
  // the strings, the directories from the last to the first, and COM last of all. COM goes last
  // because the NC variable object and the domain file's object are released before it: released
  // after the thread's last CoUninitialize they would be released into a torn-down apartment.
  m_pfnInterpretJob = nullptr;
  m_hJobLibrary.reset();
  m_pNcVar.reset();
  if (m_pFileList) m_pFileList->Clear();
  m_pFileList.reset();
  m_pDomainFile.reset();
  m_bstrTempDir.reset();
  m_bstrWorkpiece.reset();
  while (m_nDirectories > 0) m_apszDirectory[--m_nDirectories].reset();
  if (m_bComInitialized) CoUninitialize();
}

const zov::com::InterfaceEntry<CZOVServer>* CZOVServer::InterfaceMap() {
  static const zov::com::InterfaceEntry<CZOVServer> map[] = {
      {&IID_ICZOVServer, &zov::com::InterfaceOf<CZOVServer, ICZOVServer>},
      {&IID_IDispatch, &zov::com::InterfaceOf<CZOVServer, ICZOVServer>},
      {&IID_ISupportErrorInfo, &zov::com::InterfaceOf<CZOVServer, ISupportErrorInfo>},
      {&IID_IConnectionPointContainer,
       &zov::com::InterfaceOf<CZOVServer, IConnectionPointContainer>},
      {nullptr, nullptr}};
  return map;
}

HRESULT CZOVServer::InterfaceSupportsErrorInfo(REFIID riid) {
  return IsEqualIID(riid, IID_ICZOVServer) ? S_OK : S_FALSE;
}

HRESULT CZOVServer::EnumConnectionPoints(IEnumConnectionPoints** ppEnum) {
  if (!ppEnum) return E_POINTER;
  return zov::com::CreateInstance<EmptyConnectionPoints>(nullptr, IID_IEnumConnectionPoints,
                                                         reinterpret_cast<void**>(ppEnum));
}

HRESULT CZOVServer::FindConnectionPoint(REFIID, IConnectionPoint** ppCP) {
  if (!ppCP) return E_POINTER;
  *ppCP = nullptr;
  return CONNECT_E_NOCONNECTION;
}

HRESULT CZOVServer::GetTypeInfoCount(UINT* pctinfo) {
  if (!pctinfo) return E_POINTER;
  *pctinfo = 1;
  return S_OK;
}

HRESULT CZOVServer::GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) {
  return ServerGetTypeInfo(iTInfo, lcid, ppTInfo);
}

HRESULT CZOVServer::GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                                  DISPID* rgDispId) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  return ServerGetIDsOfNames(rgszNames, cNames, lcid, rgDispId);
}

HRESULT CZOVServer::Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                           DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                           UINT* puArgErr) {
  if (!IsEqualIID(riid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
  return ServerInvoke(this, dispIdMember, lcid, wFlags, pDispParams, pVarResult, pExcepInfo,
                      puArgErr);
}

HRESULT CZOVServer::SelectProgram(BSTR sProgram, SHORT nChannelId, SHORT nAccessLevel,
                                  LONG* plRetVal) {
  if (!plRetVal) return E_POINTER;
  *plRetVal = errZovServerAllocFailed;
  m_bBusy = 1;
  // The frame catches everything, so the busy mark is cleared on every path.
  LONG result = Guarded([&] { return RunSelection(sProgram, nChannelId, nAccessLevel); });
  m_bBusy = 0;
  *plRetVal = result;
  return S_OK;
}

LONG CZOVServer::RunSelection(BSTR, SHORT, SHORT) {
  if (!m_pFileList || !m_pDomainFile) return errZovServerAllocFailed;
  // TODO(selection): the program selection comes here; until then no made-up success.
  return errZovServerAllocFailed;
}

HRESULT CZOVServer::Cancel(LONG* plRetVal) {
  if (!plRetVal) return E_POINTER;
  *plRetVal = Guarded([&] {
    if (!m_bBusy) return LONG{errZovServerIsIdle};
    m_bBusy = 0;
    return LONG{errZovServerOk};
  });
  return S_OK;
}

HRESULT CZOVServer::CheckDatFile(BSTR, LONG* plRetVal) {
  if (!plRetVal) return E_POINTER;
  *plRetVal = errZovServerAllocFailed;
  *plRetVal = Guarded([&] {
    // TODO(datfile): the DAT file check comes here.
    return LONG{errZovServerAllocFailed};
  });
  return S_OK;
}

HRESULT CZOVServer::UpdateDatFile(BSTR, LONG* plRetVal) {
  if (!plRetVal) return E_POINTER;
  *plRetVal = errZovServerAllocFailed;
  *plRetVal = Guarded([&] {
    // TODO(datfile): the DAT file update comes here.
    return LONG{errZovServerAllocFailed};
  });
  return S_OK;
}

}  // namespace zov::server
