#pragma once
// The synchronisation service's side of an object-type plug-in: the records it
// passes in, the COM-style object handler interface it calls, and the four
// entry points it looks up by name. Records are plain C structs; every record
// begins with its own size in bytes, filled in by the service. Wide strings are
// 16-bit code units, zero-terminated.

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#else
#include <uchar.h>
#endif

typedef int32_t ReplResult;

// Results named by the interface (as 32-bit patterns).
#define REPL_S_OK ((ReplResult)0)
#define REPL_E_INVALIDARG ((ReplResult)0x80070057u)
#define REPL_S_LAST_PACKET ((ReplResult)0x00140001u)  // GetPacket: this was the last packet

// Capacity, in code units with the terminator, of an object-type name field.
#define REPL_MAX_TYPE_NAME 100

typedef struct ReplInterfaceId {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  uint8_t data4[8];
} ReplInterfaceId;

// Describes the object being transferred; passed to Setup, Reset and DeleteObj.
typedef struct ReplSetup {
  uint32_t size;
  int32_t read;  // nonzero: the service reads objects from this side
  uint32_t flags;
  ReplResult result;  // a handler may leave a status here
  uint32_t objectId;
  uint32_t parentId;
} ReplSetup;

// Tells the plug-in that an object of a type changed or was deleted.
typedef struct ReplNotify {
  uint32_t size;
  char16_t objectType[REPL_MAX_TYPE_NAME];
  uint32_t flags;
  uint32_t objectId;
  uint32_t parentId;
} ReplNotify;

// Asks how many objects of a type there are and how large they are together.
typedef struct ReplTypeInfo {
  uint32_t size;
  char16_t objectType[REPL_MAX_TYPE_NAME];
  uint32_t flags;
  uint32_t objectCount;
  uint32_t totalSize;
  uint64_t lastModified;  // 100 ns units since 1601-01-01
} ReplTypeInfo;

typedef struct IReplObjHandler IReplObjHandler;

// Interface table; the order of the operations is part of the interface.
typedef struct IReplObjHandlerVtbl {
  ReplResult (*QueryInterface)(IReplObjHandler* self, const ReplInterfaceId* iid, void** out);
  uint32_t (*AddRef)(IReplObjHandler* self);
  uint32_t (*Release)(IReplObjHandler* self);
  ReplResult (*Setup)(IReplObjHandler* self, ReplSetup* setup);
  ReplResult (*Reset)(IReplObjHandler* self, ReplSetup* setup);
  ReplResult (*GetPacket)(IReplObjHandler* self, const char** data, uint32_t* size,
                          uint32_t recommendedSize);
  ReplResult (*SetPacket)(IReplObjHandler* self, const char* data, uint32_t size);
  ReplResult (*DeleteObj)(IReplObjHandler* self, ReplSetup* setup);
} IReplObjHandlerVtbl;

struct IReplObjHandler {
  const IReplObjHandlerVtbl* vtbl;
};

// Entry points of a plug-in, looked up by these names.
typedef int32_t (*ReplInitObjTypeFn)(const char16_t* objectType, IReplObjHandler** handler,
                                     uint32_t partnerBit);
typedef int32_t (*ReplObjectNotifyFn)(ReplNotify* notify);
typedef int32_t (*ReplGetObjTypeInfoFn)(ReplTypeInfo* info);
typedef int32_t (*ReplReportStatusFn)(const char16_t* objectType, uint32_t code, uint32_t param);

#ifdef __cplusplus
}
#endif
