// CZOVServer, the one creatable class of ZOVServer.dll: the dual interface ICZOVServer with its
// five methods, ISupportErrorInfo, an IConnectionPointContainer without connection points, and
// the members the methods share for the object's whole life.
//
// Every method returns S_OK; the outcome is the result code (tagZovServerResult) or the path
// stored in the [out,retval] parameter, which is set before any work. A null out-parameter gives
// E_POINTER, since nothing can be stored. SelectProgram marks the object busy (m_bBusy) for its
// whole duration; Cancel clears the mark. The object is apartment-threaded: its reference count
// is a plain counter and nothing in it is locked.
//
// IUnknown comes from zov::com::ComObject / AggregateObject (server/com_object.h), which make
// the instances.
#pragma once

#include <memory>
#include <string>

#include "server/com_object.h"
#include "server/configuration.h"
#include "server/file_list.h"
#include "services/domain_file.h"
#include "services/nc_var.h"
#include "zov/unique_bstr.h"
#include "zov/unique_hmodule.h"
#include "zov/win32.h"
#include "zovserver.h"

namespace zov::server {

// The job interpreter's entry point "InterpretJob" (Wrk32dll.dll).
using InterpretJobFn = int(WINAPI*)(LONG, LONG, LONG, LPCSTR, LPCSTR, LPCSTR, LONG*);

class CZOVServer : public ISupportErrorInfo,
                   public IConnectionPointContainer,
                   public ICZOVServer,
                   public zov::com::ObjectRoot {
 public:
  static constexpr int kMaxDirectories = 8;

  CZOVServer() noexcept;
  virtual ~CZOVServer();
  CZOVServer(const CZOVServer&) = delete;
  CZOVServer& operator=(const CZOVServer&) = delete;

  // The interface map: ICZOVServer (also the identity), IDispatch, ISupportErrorInfo,
  // IConnectionPointContainer.
  static const zov::com::InterfaceEntry<CZOVServer>* InterfaceMap();

  // ISupportErrorInfo: S_OK for ICZOVServer, S_FALSE for any other interface. No error object is
  // ever posted; all failures are told by result codes.
  HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override;

  // IConnectionPointContainer: the class fires no events and has no connection point.
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** ppEnum) override;
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override;

  // IDispatch over ICZOVServer (see server/server_dispatch.h).
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames,
                                          LCID lcid, DISPID* rgDispId) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                   DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                   EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

  // ICZOVServer.
  HRESULT STDMETHODCALLTYPE SelectProgram(BSTR sProgram, SHORT nChannelId, SHORT nAccessLevel,
                                          LONG* plRetVal) override;
  HRESULT STDMETHODCALLTYPE Cancel(LONG* plRetVal) override;
  HRESULT STDMETHODCALLTYPE FindProgram(BSTR sWorkingDirectory, BSTR sSearchName,
                                        SHORT nAccessLevel, BSTR* sProgram) override;
  HRESULT STDMETHODCALLTYPE CheckDatFile(BSTR sDatFile, LONG* plRetVal) override;
  HRESULT STDMETHODCALLTYPE UpdateDatFile(BSTR sDatFile, LONG* plRetVal) override;

  // For tests of the busy protocol: whether a selection is running.
  bool IsBusy() const { return m_bBusy != 0; }
  // For tests and diagnostics: the configuration the constructor read.
  ConfigurationView Configuration() const;

  // The domain path of `path` in `view` (null: "hd-nc" when the NC answers, else "hd"); a new
  // BSTR for the caller, null when absent or out of memory (find_program.cpp).
  unique_bstr MakeDomainPath(const char* path, const char* view);
  // Whether the NC `ncName` (empty: the default NC) answers; false on the local machine.
  bool IsNcReachable(const char* ncName);
  // The program search from a working directory (a domain path, possibly empty or null): the
  // domain path of the first candidate that opens, or null. Each candidate is opened with the
  // object's DomainFile: after a search that tried candidates it is bound to the file found, or
  // to nothing; a search that tried none (no name, a name that cannot be converted) leaves it as
  // it was. Throws std::bad_alloc.
  unique_bstr SearchProgram(BSTR workingDirectory, BSTR searchName, SHORT accessLevel);

 protected:
  // The selection's own work, run while the object is busy; returns the result code. Separate so
  // that the frame (busy mark set on entry, cleared on every exit) can be tested on its own.
  virtual LONG RunSelection(BSTR sProgram, SHORT nChannelId, SHORT nAccessLevel);

 private:
  // Construction after COM and the companion objects: the host's configuration, read once
  // (configuration.cpp). Takes the reference of the host library loaded from the current
  // directory (null when that failed) and frees whatever host library it used.
  void LoadConfiguration(unique_hmodule hostLibrary);
  // Appends a heap copy of a program-store root directory with its access level (at most
  // kMaxDirectories).
  void AddDirectory(const std::string& path, LONG access);

  std::unique_ptr<FileList> m_pFileList;
  unique_bstr m_bstrTempDir;    // ends in a backslash; null when not configured
  unique_bstr m_bstrWorkpiece;  // domain path of the current workpiece directory, "" until known
  std::unique_ptr<char[]> m_apszDirectory[kMaxDirectories];  // program-store root directories
  LONG m_anDirectoryAccess[kMaxDirectories] = {};  // highest access level that searches each
  LONG m_nDirectories = 0;
  std::unique_ptr<zov::services::DomainFile> m_pDomainFile;
  LONG m_bBusy = 0;
  LONG m_bComInitialized = 0;
  LONG m_bIgnoreMissingProgramAndChan = 0;
  LONG m_bLocalMachine = 0;
  unique_hmodule m_hJobLibrary;
  InterpretJobFn m_pfnInterpretJob = nullptr;
  std::unique_ptr<zov::services::NcVar> m_pNcVar;
};

}  // namespace zov::server
