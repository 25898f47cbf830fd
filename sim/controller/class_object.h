// The class object of each of the controller's classes. It is the class's display-name parser
// (IParseDisplayName, which CoGetObject asks for first) and an IClassFactory whose instances are
// parsers too (asked for when a caller goes through CreateInstance(IID_IParseDisplayName)).
#pragma once

#include "server/com_module.h"
#include "zov/win32.h"

namespace zov::sim {

// A ClassObjectCreator for the module's object map: the module's class factory
// (server/class_factory.h), answering IParseDisplayName as well, which it delegates to a parser
// made by `create`.
HRESULT CreateParsingClassObject(com::InstanceCreator create, REFIID riid, void** ppv);

// Instance creators: a parser of one class (no aggregation).
HRESULT CreateNamespaceParser(IUnknown* outer, REFIID riid, void** ppv);
HRESULT CreateDomainParser(IUnknown* outer, REFIID riid, void** ppv);
HRESULT CreateVariablesParser(IUnknown* outer, REFIID riid, void** ppv);

}  // namespace zov::sim
