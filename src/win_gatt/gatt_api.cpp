#include "win_gatt/gatt_api.h"

#include <cstring>

namespace tl::gatt {

namespace {

template <typename F> void Resolve(HMODULE dll, const char *name, F &f) {
  f = reinterpret_cast<F>(reinterpret_cast<void *>(GetProcAddress(dll, name)));
}

// Wine's own BluetoothApis.dll exports these functions as stubs that end the
// program when called; Wine marks its builtin DLLs in their DOS header.
bool WineStubs(HMODULE dll) {
  static const char kMark[] = "Wine builtin DLL";
  return memcmp(reinterpret_cast<const char *>(dll) + sizeof(IMAGE_DOS_HEADER), kMark,
                sizeof kMark - 1) == 0;
}

GattApi Load() {
  GattApi api = {};
  HMODULE dll = LoadLibraryW(L"BluetoothApis.dll");
  if (!dll || WineStubs(dll))
    return api;
  Resolve(dll, "BluetoothGATTGetServices", api.getServices);
  Resolve(dll, "BluetoothGATTGetCharacteristics", api.getCharacteristics);
  Resolve(dll, "BluetoothGATTGetDescriptors", api.getDescriptors);
  Resolve(dll, "BluetoothGATTGetCharacteristicValue", api.getCharacteristicValue);
  Resolve(dll, "BluetoothGATTSetCharacteristicValue", api.setCharacteristicValue);
  Resolve(dll, "BluetoothGATTSetDescriptorValue", api.setDescriptorValue);
  Resolve(dll, "BluetoothGATTRegisterEvent", api.registerEvent);
  Resolve(dll, "BluetoothGATTUnregisterEvent", api.unregisterEvent);
  Resolve(dll, "BluetoothFindFirstRadio", api.findFirstRadio);
  Resolve(dll, "BluetoothFindRadioClose", api.findRadioClose);
  return api;
}

} // namespace

bool GattApi::complete() const {
  return getServices && getCharacteristics && getDescriptors && getCharacteristicValue &&
         setCharacteristicValue && setDescriptorValue && registerEvent && unregisterEvent &&
         findFirstRadio && findRadioClose;
}

const GattApi *LoadGattApi() {
  static const GattApi api = Load(); // the DLL stays loaded for the program's life
  return api.complete() ? &api : nullptr;
}

} // namespace tl::gatt
