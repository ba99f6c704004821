#pragma once

// The few types and functions of Windows' Bluetooth Low Energy GATT API
// (BluetoothApis.dll, Windows 8 and later) that the meter link uses, as
// Microsoft documents them in bthledef.h and bluetoothleapis.h, which
// MinGW-w64 does not ship. The functions are never imported: GattApi holds
// them as looked up at run time, so a Windows without them still starts.

#include <windows.h>

namespace tl::gatt {

struct BTH_LE_UUID {
  BOOLEAN IsShortUuid;
  union {
    USHORT ShortUuid;
    GUID LongUuid;
  } Value;
};

struct BTH_LE_GATT_SERVICE {
  BTH_LE_UUID ServiceUuid;
  USHORT AttributeHandle;
};

struct BTH_LE_GATT_CHARACTERISTIC {
  USHORT ServiceHandle;
  BTH_LE_UUID CharacteristicUuid;
  USHORT AttributeHandle;
  USHORT CharacteristicValueHandle;
  BOOLEAN IsBroadcastable;
  BOOLEAN IsReadable;
  BOOLEAN IsWritable;
  BOOLEAN IsWritableWithoutResponse;
  BOOLEAN IsSignedWritable;
  BOOLEAN IsNotifiable;
  BOOLEAN IsIndicatable;
  BOOLEAN HasExtendedProperties;
};

struct BTH_LE_GATT_CHARACTERISTIC_VALUE {
  ULONG DataSize;
  UCHAR Data[1];
};

enum BTH_LE_GATT_DESCRIPTOR_TYPE {
  CharacteristicExtendedProperties,
  CharacteristicUserDescription,
  ClientCharacteristicConfiguration,
  ServerCharacteristicConfiguration,
  CharacteristicFormat,
  CharacteristicAggregateFormat,
  CustomDescriptor
};

struct BTH_LE_GATT_DESCRIPTOR {
  USHORT ServiceHandle;
  USHORT CharacteristicHandle;
  BTH_LE_GATT_DESCRIPTOR_TYPE DescriptorType;
  BTH_LE_UUID DescriptorUuid;
  USHORT AttributeHandle;
};

struct BTH_LE_GATT_DESCRIPTOR_VALUE {
  BTH_LE_GATT_DESCRIPTOR_TYPE DescriptorType;
  BTH_LE_UUID DescriptorUuid;
  union {
    struct {
      BOOLEAN IsReliableWriteEnabled;
      BOOLEAN IsAuxiliariesWritable;
    } CharacteristicExtendedProperties;
    struct {
      BOOLEAN IsSubscribeToNotification;
      BOOLEAN IsSubscribeToIndication;
    } ClientCharacteristicConfiguration;
    struct {
      BOOLEAN IsBroadcast;
    } ServerCharacteristicConfiguration;
    struct {
      UCHAR Format;
      UCHAR Exponent;
      BTH_LE_UUID Unit;
      UCHAR NameSpace;
      BTH_LE_UUID Description;
    } CharacteristicFormat;
  };
  ULONG DataSize;
  UCHAR Data[1];
};

enum BTH_LE_GATT_EVENT_TYPE { CharacteristicValueChangedEvent };

struct BLUETOOTH_GATT_VALUE_CHANGED_EVENT_REGISTRATION {
  USHORT NumCharacteristics;
  BTH_LE_GATT_CHARACTERISTIC Characteristics[1];
};

struct BLUETOOTH_GATT_VALUE_CHANGED_EVENT {
  USHORT ChangedAttributeHandle;
  size_t CharacteristicValueDataSize;
  BTH_LE_GATT_CHARACTERISTIC_VALUE *CharacteristicValue;
};

using BLUETOOTH_GATT_EVENT_HANDLE = HANDLE;
using BTH_LE_GATT_RELIABLE_WRITE_CONTEXT = ULONG64;
using PFNBLUETOOTH_GATT_EVENT_CALLBACK = void(CALLBACK *)(BTH_LE_GATT_EVENT_TYPE EventType,
                                                          PVOID EventOutParameter, PVOID Context);

constexpr ULONG BLUETOOTH_GATT_FLAG_NONE = 0x00000000;
constexpr ULONG BLUETOOTH_GATT_FLAG_FORCE_READ_FROM_DEVICE = 0x00000004;
constexpr ULONG BLUETOOTH_GATT_FLAG_WRITE_WITHOUT_RESPONSE = 0x00000020;

// ATT errors as HRESULTs (facility 0x65).
constexpr HRESULT E_BLUETOOTH_ATT_INSUFFICIENT_AUTHENTICATION = HRESULT(0x80650005L);
constexpr HRESULT E_BLUETOOTH_ATT_INSUFFICIENT_AUTHORIZATION = HRESULT(0x80650008L);
constexpr HRESULT E_BLUETOOTH_ATT_INSUFFICIENT_ENCRYPTION = HRESULT(0x8065000FL);

// BluetoothFindFirstRadio's search parameters.
struct BLUETOOTH_FIND_RADIO_PARAMS {
  DWORD dwSize;
};

// The functions, null when this Windows lacks them.
struct GattApi {
  HRESULT(WINAPI *getServices)
  (HANDLE device, USHORT count, BTH_LE_GATT_SERVICE *services, USHORT *actual, ULONG flags);
  HRESULT(WINAPI *getCharacteristics)
  (HANDLE device, BTH_LE_GATT_SERVICE *service, USHORT count,
   BTH_LE_GATT_CHARACTERISTIC *characteristics, USHORT *actual, ULONG flags);
  HRESULT(WINAPI *getDescriptors)
  (HANDLE device, BTH_LE_GATT_CHARACTERISTIC *characteristic, USHORT count,
   BTH_LE_GATT_DESCRIPTOR *descriptors, USHORT *actual, ULONG flags);
  HRESULT(WINAPI *getCharacteristicValue)
  (HANDLE device, BTH_LE_GATT_CHARACTERISTIC *characteristic, ULONG size,
   BTH_LE_GATT_CHARACTERISTIC_VALUE *value, USHORT *required, ULONG flags);
  HRESULT(WINAPI *setCharacteristicValue)
  (HANDLE device, BTH_LE_GATT_CHARACTERISTIC *characteristic,
   BTH_LE_GATT_CHARACTERISTIC_VALUE *value, BTH_LE_GATT_RELIABLE_WRITE_CONTEXT context,
   ULONG flags);
  HRESULT(WINAPI *setDescriptorValue)
  (HANDLE device, BTH_LE_GATT_DESCRIPTOR *descriptor, BTH_LE_GATT_DESCRIPTOR_VALUE *value,
   ULONG flags);
  HRESULT(WINAPI *registerEvent)
  (HANDLE service, BTH_LE_GATT_EVENT_TYPE type, PVOID parameter,
   PFNBLUETOOTH_GATT_EVENT_CALLBACK callback, PVOID context, BLUETOOTH_GATT_EVENT_HANDLE *event,
   ULONG flags);
  HRESULT(WINAPI *unregisterEvent)(BLUETOOTH_GATT_EVENT_HANDLE event, ULONG flags);
  HANDLE(WINAPI *findFirstRadio)(const BLUETOOTH_FIND_RADIO_PARAMS *params, HANDLE *radio);
  BOOL(WINAPI *findRadioClose)(HANDLE find);

  bool complete() const;
};

// BluetoothApis.dll's functions, looked up once (the program's folder first,
// as LoadLibrary searches it); null when the DLL or one of them is missing.
const GattApi *LoadGattApi();

} // namespace tl::gatt
