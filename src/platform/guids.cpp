// The IIDs of the standard interfaces the layer declares, with their Windows values.
#include "zov/platform/types.h"

#define ZOV_DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
  extern "C" const GUID name = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}
#define ZOV_DEFINE_OLEGUID(name, l) ZOV_DEFINE_GUID(name, l, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46)

ZOV_DEFINE_GUID(GUID_NULL, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0);
ZOV_DEFINE_OLEGUID(IID_IUnknown, 0x00000000);
ZOV_DEFINE_OLEGUID(IID_IClassFactory, 0x00000001);
ZOV_DEFINE_OLEGUID(IID_IBindCtx, 0x0000000e);
ZOV_DEFINE_OLEGUID(IID_IMoniker, 0x0000000f);
ZOV_DEFINE_OLEGUID(IID_IPersistStream, 0x00000109);
ZOV_DEFINE_OLEGUID(IID_IPersist, 0x0000010c);
ZOV_DEFINE_OLEGUID(IID_IParseDisplayName, 0x0000011a);
ZOV_DEFINE_OLEGUID(IID_IDispatch, 0x00020400);
ZOV_DEFINE_OLEGUID(IID_ITypeInfo, 0x00020401);
ZOV_DEFINE_OLEGUID(IID_ITypeLib, 0x00020402);
ZOV_DEFINE_GUID(IID_ISupportErrorInfo, 0xdf0b3d60, 0x548f, 0x101b, 0x8e, 0x65, 0x08, 0x00, 0x2b, 0x2b,
                0xd1, 0x19);
ZOV_DEFINE_GUID(IID_IConnectionPointContainer, 0xb196b284, 0xbab4, 0x101a, 0xb6, 0x9c, 0x00, 0xaa,
                0x00, 0x34, 0x1d, 0x07);
ZOV_DEFINE_GUID(IID_IEnumConnectionPoints, 0xb196b285, 0xbab4, 0x101a, 0xb6, 0x9c, 0x00, 0xaa, 0x00,
                0x34, 0x1d, 0x07);
ZOV_DEFINE_GUID(IID_IConnectionPoint, 0xb196b286, 0xbab4, 0x101a, 0xb6, 0x9c, 0x00, 0xaa, 0x00, 0x34,
                0x1d, 0x07);
ZOV_DEFINE_GUID(IID_IEnumConnections, 0xb196b287, 0xbab4, 0x101a, 0xb6, 0x9c, 0x00, 0xaa, 0x00, 0x34,
                0x1d, 0x07);
