#include "domain_stream.h"

#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "bind_log.h"
#include "com_support.h"
#include "controller_state.h"
#include "host_components.h"
#include "server/com_module.h"
#include "server/com_object.h"
#include "virtual_controller.h"
#include "zov/com_ptr.h"
#include "zov/unique_safearray.h"
#include "zovserver.h"

namespace zov::sim {

const CLSID CLSID_VirtualDomain = {
    0x72114e5a, 0x61ec, 0x4bf2, {0x82, 0xeb, 0x35, 0xc4, 0xf0, 0x6d, 0x74, 0xe1}};

namespace {

// The server whose Cancel the stream calls, and what those calls gave. One per module: the host
// program sets it once for all the domain objects the server binds.
struct CancelHook {
  com_ptr<ICZOVServer> target;  // empty when no target is set
  LONG calls = 0;
  HRESULT lastHr = S_OK;
  LONG lastResult = 0;
};
// While a target is set the hook holds the module (its lock count), so that COM does not unload
// the module, and with it the target's reference, while the host still counts on the hook. The
// hook is never destroyed: a target still set when the module is unloaded anyway (FreeLibrary by
// hand, or the process ending) is abandoned by DllMain (AbandonCancelTarget), never released
// under the loader lock, where the target's module may already be gone.
union HookStorage {
  HookStorage() : hook() {}
  ~HookStorage() {}
  CancelHook hook;
};
HookStorage g_hookStorage;
CancelHook& g_hook = g_hookStorage.hook;

// Calls the target's Cancel and records the call in the module and in controller.ini.
void CallCancel(const std::string& folder) {
  // A reference of its own: the target stays alive even if Cancel leads to a new target being set.
  com_ptr<ICZOVServer> target = g_hook.target;
  if (!target) return;
  LONG result = 0;
  HRESULT hr = target->Cancel(&result);
  ++g_hook.calls;
  g_hook.lastHr = hr;
  g_hook.lastResult = result;
  RecordCancelCall(folder, hr);
}

class DomainObject : public ITeskDomainFile, public IVirtualController, public com::ObjectRoot {
 public:
  DomainObject() = default;
  ~DomainObject() { CloseFile(); }
  DomainObject(const DomainObject&) = delete;
  DomainObject& operator=(const DomainObject&) = delete;

  static const com::InterfaceEntry<DomainObject>* InterfaceMap() {
    static const com::InterfaceEntry<DomainObject> map[] = {
        {&IID_ITeskDomainFile, &com::InterfaceOf<DomainObject, ITeskDomainFile>},
        {&IID_IVirtualController, &com::InterfaceOf<DomainObject, IVirtualController>},
        {nullptr, nullptr}};
    return map;
  }

  // ITeskDomainFile
  HRESULT STDMETHODCALLTYPE Open(BSTR bstrPath, LONG lMode) override {
    return Guarded([&]() -> HRESULT {
      CloseFile();
      if (lMode != 1) return E_INVALIDARG;
      std::string path;
      if (!bstrPath || !ToAnsi(bstrPath, &path)) return E_INVALIDARG;
      // "/NC/<host path with '/'>": the file in the NC's store.
      if (!StartsWithNoCase(path, "/NC/"))
        return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
      std::vector<std::string> components;
      if (!SplitStorePath(path.substr(4), &components))
        return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
      folder_ = ControllerFolder();
      if (folder_.empty()) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
      const std::string file = StorePath(folder_, View::Nc, components);
      FileFacts facts = StatPath(file);
      if (!facts.exists || facts.isDirectory) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
      file_ = _fsopen(file.c_str(), "rb", _SH_DENYWR);
      if (!file_) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
      settings_ = ReadStreamSettings(folder_);
      reads_ = 0;
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE Read(VARIANT* pvarPiece) override {
    if (!pvarPiece) return E_POINTER;
    VariantInit(pvarPiece);
    if (!file_) return E_HANDLE;
    return Guarded([&]() -> HRESULT {
      ++reads_;
      // The server's Cancel may release this object (the caller's last reference with it) or
      // close its file: a reference of its own keeps the object alive to the end of the Read, and
      // a file closed meanwhile ends the Read as one without an open file.
      com_ptr<ITeskDomainFile> self;
      if (settings_.cancelOnRead != 0 && reads_ == settings_.cancelOnRead) {
        self.copy_from(this);
        CallCancel(folder_);
        if (!file_) return E_HANDLE;
      }
      std::vector<unsigned char> bytes(static_cast<size_t>(settings_.pieceSize));
      size_t n = std::fread(bytes.data(), 1, bytes.size(), file_);
      if (n == 0 && std::ferror(file_)) return HRESULT_FROM_WIN32(ERROR_READ_FAULT);
      unique_safearray piece(SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(n)));
      if (!piece.get()) return E_OUTOFMEMORY;
      if (n) {
        void* data = nullptr;
        HRESULT hr = SafeArrayAccessData(piece.get(), &data);
        if (FAILED(hr)) return hr;
        std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n),
                  static_cast<unsigned char*>(data));
        SafeArrayUnaccessData(piece.get());
      }
      pvarPiece->vt = VT_ARRAY | VT_UI1;
      pvarPiece->parray = piece.detach();
      return S_OK;
    });
  }

  HRESULT STDMETHODCALLTYPE Close() override {
    CloseFile();
    return S_OK;
  }

  // IVirtualController
  HRESULT STDMETHODCALLTYPE SetCancelTarget(IUnknown* pServer) override {
    com_ptr<ICZOVServer> server;
    if (pServer) {
      HRESULT hr = pServer->QueryInterface(IID_ICZOVServer, server.put_void());
      if (FAILED(hr)) return hr;
    }
    // The module is held from the first target to the clearing call; the old target is released
    // only after the new one is in place.
    const bool wasSet = static_cast<bool>(g_hook.target);
    com_ptr<ICZOVServer> old = std::move(g_hook.target);
    g_hook.target = std::move(server);
    if (!wasSet && g_hook.target) com::Module().Lock();
    if (wasSet && !g_hook.target) com::Module().Unlock();
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetCancelCalls(LONG* plCalls, HRESULT* phrLast,
                                           LONG* plLastResult) override {
    if (plCalls) *plCalls = 0;
    if (phrLast) *phrLast = S_OK;
    if (plLastResult) *plLastResult = 0;
    if (!plCalls || !phrLast || !plLastResult) return E_POINTER;
    *plCalls = g_hook.calls;
    *phrLast = g_hook.lastHr;
    *plLastResult = g_hook.lastResult;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE TakeBindLog(SAFEARRAY** ppNames) override {
    return sim::TakeBindLog(ppNames);
  }

 private:
  void CloseFile() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
  }

  std::string folder_;
  FILE* file_ = nullptr;
  StreamSettings settings_;
  int reads_ = 0;
};

}  // namespace

bool IsDomainName(const std::string& displayName) {
  // The versioned ProgID, and the version-independent one that leads to it through CurVer.
  return EqualNoCase(displayName, "KalTeskDomain.TeskDomain.1:") ||
         EqualNoCase(displayName, "KalTeskDomain.TeskDomain:");
}

HRESULT BindDomainObject(const std::string&, REFIID riid, void** ppv) {
  return com::CreateObject<DomainObject>(riid, ppv);
}

void AbandonCancelTarget() {
  // Not released: the object it points to may belong to a module that is already unloaded, and
  // DllMain must not call out of the module. Its module lock ends with the module.
  static_cast<void>(g_hook.target.detach());
}

}  // namespace zov::sim
