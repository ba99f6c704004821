#!/usr/bin/python3
"""A stand-in for bluetoothd on a private D-Bus: owns org.bluez and serves the
subset of BlueZ's D-Bus interface that Qt Bluetooth's BlueZ backend uses for a
Low Energy central (ObjectManager at "/", Adapter1, Device1, GattService1,
GattCharacteristic1, GattDescriptor1), playing one blood-pressure meter.

    fake_bluez.py BUS_ADDRESS SCENARIO_JSON LOG_FILE

The scenario (JSON object, every key optional):
  meter        the name of a scenario of meters.json (beside this script),
               which the object's other keys amend
  adapter      false: no adapter at all
  powered      false: the adapter is off
  known        true: the meter is already known (bonded) before any discovery
  address, name
  advertised   service UUIDs (16-bit hex) the meter advertises, default ["1810"]
  bps          false: no Blood Pressure Service in its GATT database
  paired       the meter's Paired property, default true
  connect      "ok" or "auth-failed" (Connect answers AuthenticationFailed)
  encrypted    true: reads of 0x2A49 are refused for want of a bond (the meter
               forgot the computer)
  feature      hex of the 0x2A49 value
  clock        "writable" (0x2A2B writable), "refused" (0x2A2B read-only and a
               writable-flagged 0x2A08 that refuses writes), "none"
  records      hex values of the 0x2A35 indications, sent once indications are on
  interval_ms  pause between two indications, default 5
  end          after the records: "disconnect" (default), "silent", "drop"
               (the device vanishes as when it goes out of range)
  others       extra devices announced during discovery: [{address, name, advertised}]

The log file gets one JSON object per line for each call that changes the
meter: connect, write (uuid, hex value), start_notify.
"""

import asyncio
import json
import os
import sys

from dbus_next import Message, MessageType, Variant
from dbus_next.aio import MessageBus

BASE_UUID = "0000{:04x}-0000-1000-8000-00805f9b34fb"
PROPS = "org.freedesktop.DBus.Properties"
OBJECT_MANAGER = "org.freedesktop.DBus.ObjectManager"
ADAPTER = "org.bluez.Adapter1"
DEVICE = "org.bluez.Device1"
SERVICE = "org.bluez.GattService1"
CHAR = "org.bluez.GattCharacteristic1"
DESC = "org.bluez.GattDescriptor1"
HCI = "/org/bluez/hci0"


def uuid16(short):
    return BASE_UUID.format(int(short, 16))


class Fake:
    def __init__(self, bus, scenario, log):
        self.bus = bus
        self.sc = scenario
        self.log = log
        self.objects = {}  # path -> interface -> property -> Variant
        self.announced = False
        self.loop = asyncio.get_running_loop()
        if scenario.get("adapter", True):
            self.objects[HCI] = {
                ADAPTER: {
                    "Address": Variant("s", "00:1A:7D:DA:71:13"),
                    "AddressType": Variant("s", "public"),
                    "Name": Variant("s", "fake"),
                    "Alias": Variant("s", "fake"),
                    "Class": Variant("u", 0),
                    "Powered": Variant("b", scenario.get("powered", True)),
                    "Discoverable": Variant("b", False),
                    "DiscoverableTimeout": Variant("u", 180),
                    "Pairable": Variant("b", True),
                    "PairableTimeout": Variant("u", 0),
                    "Discovering": Variant("b", False),
                    "UUIDs": Variant("as", []),
                    "Modalias": Variant("s", "usb:v1D6Bp0246d0542"),
                }
            }
        self.meter = self.device_path(scenario.get("address", "A4:C1:38:00:00:01"))
        if scenario.get("known", False):
            self.add_device(self.meter_props(), announce=False)
            self.add_gatt(announce=False)

    # --- object tree -------------------------------------------------------

    @staticmethod
    def device_path(address):
        return HCI + "/dev_" + address.replace(":", "_")

    def meter_props(self):
        sc = self.sc
        return self.device_props(sc.get("address", "A4:C1:38:00:00:01"),
                                 sc.get("name", "BPM Fake"),
                                 sc.get("advertised", ["1810"]),
                                 sc.get("paired", True))

    def device_props(self, address, name, advertised, paired):
        return {
            "Address": Variant("s", address),
            "AddressType": Variant("s", "public"),
            "Name": Variant("s", name),
            "Alias": Variant("s", name),
            "Appearance": Variant("q", 0x0380),
            "UUIDs": Variant("as", [uuid16(u) for u in advertised]),
            "Paired": Variant("b", paired),
            "Bonded": Variant("b", paired),
            "Trusted": Variant("b", paired),
            "Blocked": Variant("b", False),
            "LegacyPairing": Variant("b", False),
            "RSSI": Variant("n", -60),
            "Connected": Variant("b", False),
            "ServicesResolved": Variant("b", False),
            "Adapter": Variant("o", HCI),
            "ManufacturerData": Variant("a{qv}", {}),
            "ServiceData": Variant("a{sv}", {}),
        }

    def add_device(self, props, announce):
        path = self.device_path(props["Address"].value)
        self.objects[path] = {DEVICE: props}
        if announce:
            self.interfaces_added(path)

    def add_gatt(self, announce):
        """The meter's GATT database: 0x1810 (2A35 indicate + CCCD, 2A49
        read, maybe 2A08) and 0x1805 (2A2B)."""
        sc = self.sc
        new = []

        def service(handle, uuid):
            path = f"{self.meter}/service{handle:04x}"
            self.objects[path] = {SERVICE: {
                "UUID": Variant("s", uuid16(uuid)),
                "Primary": Variant("b", True),
                "Device": Variant("o", self.meter),
                "Includes": Variant("ao", []),
            }}
            new.append(path)
            return path

        def char(service_path, handle, uuid, flags, value=b""):
            path = f"{service_path}/char{handle:04x}"
            self.objects[path] = {CHAR: {
                "UUID": Variant("s", uuid16(uuid)),
                "Service": Variant("o", service_path),
                "Value": Variant("ay", value),
                "Notifying": Variant("b", False),
                "Flags": Variant("as", flags),
            }}
            new.append(path)
            return path

        def cccd(char_path, handle):
            path = f"{char_path}/desc{handle:04x}"
            self.objects[path] = {DESC: {
                "UUID": Variant("s", uuid16("2902")),
                "Characteristic": Variant("o", char_path),
                "Value": Variant("ay", b""),
                "Flags": Variant("as", ["read", "write"]),
            }}
            new.append(path)

        clock = sc.get("clock", "writable")
        if sc.get("bps", True):
            bps = service(0x10, "1810")
            measurement = char(bps, 0x11, "2a35", ["indicate"])
            cccd(measurement, 0x13)
            char(bps, 0x14, "2a49", ["read"])
            if clock == "refused":
                char(bps, 0x16, "2a08", ["read", "write"])
        else:
            gap = service(0x10, "1800")
            char(gap, 0x11, "2a00", ["read"], b"Casque")
        if clock != "none":
            cts = service(0x20, "1805")
            flags = ["read", "notify"] if clock == "refused" else ["read", "write", "notify"]
            cur = char(cts, 0x21, "2a2b", flags, bytes(10))
            cccd(cur, 0x23)
        if announce:
            for path in new:
                self.interfaces_added(path)

    def remove_meter(self):
        for path in sorted((p for p in self.objects if p.startswith(self.meter)), reverse=True):
            interfaces = list(self.objects.pop(path).keys())
            self.signal("/", OBJECT_MANAGER, "InterfacesRemoved", "oas", [path, interfaces])

    # --- signals -----------------------------------------------------------

    def signal(self, path, interface, member, signature, body):
        self.bus.send(Message(message_type=MessageType.SIGNAL, path=path, interface=interface,
                              member=member, signature=signature, body=body))

    def interfaces_added(self, path):
        self.signal("/", OBJECT_MANAGER, "InterfacesAdded", "oa{sa{sv}}", [path, self.objects[path]])

    def set_props(self, path, interface, **changes):
        if path not in self.objects:
            return
        props = self.objects[path][interface]
        changed = {}
        for name, value in changes.items():
            props[name] = Variant(props[name].signature, value)
            changed[name] = props[name]
        self.signal(path, PROPS, "PropertiesChanged", "sa{sv}as", [interface, changed, []])

    def later(self, ms, fn, *args, **kwargs):
        self.loop.call_later(ms / 1000.0, lambda: fn(*args, **kwargs))

    def note(self, **event):
        self.log.write(json.dumps(event) + "\n")
        self.log.flush()

    # --- method calls ------------------------------------------------------

    def handle(self, msg):
        if msg.message_type != MessageType.METHOD_CALL:
            return None
        if msg.destination == "org.freedesktop.DBus":
            return None
        if msg.interface == "org.freedesktop.DBus.Introspectable":
            return Message.new_method_return(msg, "s", ["<node/>"])
        if msg.path == "/" and msg.member == "GetManagedObjects":
            return Message.new_method_return(msg, "a{oa{sa{sv}}}", [self.objects])
        if msg.path not in self.objects:
            return Message.new_error(msg, "org.freedesktop.DBus.Error.UnknownObject",
                                     f"No such object {msg.path}")
        if msg.interface == PROPS:
            return self.properties(msg)
        interface = msg.interface
        if interface not in self.objects[msg.path]:
            return Message.new_error(msg, "org.freedesktop.DBus.Error.UnknownInterface",
                                     f"No interface {interface}")
        handler = getattr(self, "on_" + interface.split(".")[-1] + "_" + msg.member, None)
        if handler is None:
            return Message.new_error(msg, "org.freedesktop.DBus.Error.UnknownMethod",
                                     f"No method {msg.member}")
        return handler(msg)

    def properties(self, msg):
        objects = self.objects[msg.path]
        if msg.member == "GetAll":
            return Message.new_method_return(msg, "a{sv}", [objects.get(msg.body[0], {})])
        interface, name = msg.body[0], msg.body[1]
        props = objects.get(interface, {})
        if name not in props:
            return Message.new_error(msg, "org.freedesktop.DBus.Error.InvalidArgs",
                                     f"No such property '{name}'")
        if msg.member == "Get":
            return Message.new_method_return(msg, "v", [props[name]])
        if msg.member == "Set":
            self.set_props(msg.path, interface, **{name: msg.body[2].value})
            return Message.new_method_return(msg)
        return None

    def ok(self, msg, signature="", body=None):
        return Message.new_method_return(msg, signature, body or [])

    def on_Adapter1_SetDiscoveryFilter(self, msg):
        return self.ok(msg)

    def on_Adapter1_StartDiscovery(self, msg):
        self.set_props(HCI, ADAPTER, Discovering=True)
        if not self.announced:
            self.announced = True
            self.later(20, self.announce)
        return self.ok(msg)

    def announce(self):
        for other in self.sc.get("others", []):
            self.add_device(self.device_props(other["address"], other["name"],
                                              other.get("advertised", []), False), announce=True)
        if self.meter not in self.objects:
            self.add_device(self.meter_props(), announce=True)

    def on_Adapter1_StopDiscovery(self, msg):
        self.set_props(HCI, ADAPTER, Discovering=False)
        return self.ok(msg)

    def on_Adapter1_RemoveDevice(self, msg):
        return self.ok(msg)

    def on_Device1_Connect(self, msg):
        if msg.path != self.meter:
            return Message.new_error(msg, "org.bluez.Error.Failed", "le-connection-abort-by-local")
        self.note(event="connect")
        if self.sc.get("connect", "ok") == "auth-failed":
            return Message.new_error(msg, "org.bluez.Error.AuthenticationFailed",
                                     "Authentication Failed")
        self.later(10, self.connected)
        return self.ok(msg)

    def connected(self):
        self.set_props(self.meter, DEVICE, Connected=True)
        if not any(p.startswith(self.meter + "/") for p in self.objects):
            self.add_gatt(announce=True)
        self.later(10, self.set_props, self.meter, DEVICE, ServicesResolved=True)

    def on_Device1_Disconnect(self, msg):
        self.disconnect()
        return self.ok(msg)

    def disconnect(self):
        if self.meter in self.objects:
            self.set_props(self.meter, DEVICE, ServicesResolved=False, Connected=False)

    def char_uuid(self, path):
        return self.objects[path][CHAR]["UUID"].value[4:8]

    def on_GattCharacteristic1_ReadValue(self, msg):
        uuid = self.char_uuid(msg.path)
        if uuid == "2a49":
            if self.sc.get("encrypted", False):
                return Message.new_error(msg, "org.bluez.Error.NotPermitted",
                                         "Insufficient authentication")
            return self.ok(msg, "ay", [bytes.fromhex(self.sc.get("feature", "0000"))])
        return self.ok(msg, "ay", [self.objects[msg.path][CHAR]["Value"].value])

    def on_GattCharacteristic1_WriteValue(self, msg):
        uuid = self.char_uuid(msg.path)
        flags = self.objects[msg.path][CHAR]["Flags"].value
        if "write" not in flags or self.sc.get("clock") == "refused":
            return Message.new_error(msg, "org.bluez.Error.NotPermitted", "Write not permitted")
        self.note(event="write", uuid=uuid, value=bytes(msg.body[0]).hex())
        return self.ok(msg)

    def on_GattCharacteristic1_StartNotify(self, msg):
        uuid = self.char_uuid(msg.path)
        self.note(event="start_notify", uuid=uuid)
        self.set_props(msg.path, CHAR, Notifying=True)
        if uuid == "2a35":
            self.later(10, self.send_records, msg.path, 0)
        return self.ok(msg)

    def on_GattCharacteristic1_StopNotify(self, msg):
        self.set_props(msg.path, CHAR, Notifying=False)
        return self.ok(msg)

    def on_GattDescriptor1_ReadValue(self, msg):
        return self.ok(msg, "ay", [self.objects[msg.path][DESC]["Value"].value])

    def on_GattDescriptor1_WriteValue(self, msg):
        return self.ok(msg)

    def send_records(self, path, index):
        records = self.sc.get("records", [])
        end = self.sc.get("end", "disconnect")
        drop_after = self.sc.get("drop_after", len(records))
        if path not in self.objects:
            return
        if index < len(records) and not (end == "drop" and index >= drop_after):
            self.set_props(path, CHAR, Value=bytes.fromhex(records[index]))
            self.later(self.sc.get("interval_ms", 5), self.send_records, path, index + 1)
            return
        if end == "disconnect":
            self.later(10, self.disconnect)
        elif end == "drop":
            self.later(10, self.remove_meter)


def load_scenario(text):
    """The scenario: a meter of meters.json, the scenarios this fake shares
    with the Windows one, amended by the other keys given."""
    given = json.loads(text)
    if "meter" not in given:
        return given
    with open(os.path.join(os.path.dirname(os.path.abspath(__file__)), "meters.json"),
              encoding="utf-8") as f:
        scenario = dict(json.load(f)[given.pop("meter")])
    scenario.update(given)
    return scenario


async def main():
    address, scenario, log_path = sys.argv[1], load_scenario(sys.argv[2]), sys.argv[3]
    bus = await MessageBus(bus_address=address).connect()
    with open(log_path, "a", encoding="utf-8") as log:
        fake = Fake(bus, scenario, log)
        bus.add_message_handler(fake.handle)
        await bus.request_name("org.bluez")
        print("ready", flush=True)
        await bus.wait_for_disconnect()


if __name__ == "__main__":
    try:
        asyncio.run(main())
    except KeyboardInterrupt:
        pass
