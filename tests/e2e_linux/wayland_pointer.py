#!/usr/bin/env python3
"""Gives a headless wlroots compositor's seat a pointer until this process ends.

A headless compositor has no input devices, so its seat offers clients no pointer and the
compositor's own cursor commands (swaymsg seat - cursor ...) reach nobody. A virtual pointer
(zwlr_virtual_pointer_manager_v1) is such a device; this keeps one open, speaking the Wayland
wire protocol directly (a few requests: no binding library needed). Prints "ready" once the
compositor has made it, then keeps it until it is ended or the compositor goes.
"""
import os
import socket
import struct
import sys

DISPLAY_ID, REGISTRY_ID, CALLBACK_ID, MANAGER_ID, POINTER_ID, SECOND_CALLBACK_ID = 1, 2, 3, 4, 5, 6
MANAGER = "zwlr_virtual_pointer_manager_v1"


def message(object_id, opcode, payload=b""):
    return struct.pack("<II", object_id, (8 + len(payload)) << 16 | opcode) + payload


def text(value):
    raw = value.encode() + b"\0"
    return struct.pack("<I", len(raw)) + raw + b"\0" * (-len(raw) % 4)


def events(connection):
    """(object id, opcode, payload) of each event, as they come."""
    buffered = b""
    while True:
        while len(buffered) >= 8:
            object_id, size_opcode = struct.unpack_from("<II", buffered)
            size = size_opcode >> 16
            if len(buffered) < size:
                break
            yield object_id, size_opcode & 0xFFFF, buffered[8:size]
            buffered = buffered[size:]
        chunk = connection.recv(65536)
        if not chunk:
            sys.exit("the compositor closed the connection")
        buffered += chunk


def until_done(stream, callback_id):
    """The globals announced before the callback's done event, as {interface: (name, version)}."""
    found = {}
    for object_id, opcode, payload in stream:
        if object_id == DISPLAY_ID and opcode == 0:  # wl_display.error
            sys.exit("protocol error: " + payload[12:].split(b"\0")[0].decode(errors="replace"))
        if object_id == REGISTRY_ID and opcode == 0:  # wl_registry.global
            name, length = struct.unpack_from("<II", payload)
            interface = payload[8:8 + length - 1].decode()
            found[interface] = (name, struct.unpack_from("<I", payload, 8 + (length + 3) // 4 * 4)[0])
        if object_id == callback_id and opcode == 0:  # wl_callback.done
            return found


def main():
    connection = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    connection.connect(os.path.join(os.environ["XDG_RUNTIME_DIR"], os.environ["WAYLAND_DISPLAY"]))
    stream = events(connection)
    connection.sendall(message(DISPLAY_ID, 1, struct.pack("<I", REGISTRY_ID))  # get_registry
                       + message(DISPLAY_ID, 0, struct.pack("<I", CALLBACK_ID)))  # sync
    globals_ = until_done(stream, CALLBACK_ID)
    if MANAGER not in globals_:
        sys.exit(f"the compositor offers no {MANAGER}")
    name, _ = globals_[MANAGER]
    connection.sendall(message(REGISTRY_ID, 0, struct.pack("<I", name) + text(MANAGER) + struct.pack("<II", 1, MANAGER_ID))
                       + message(MANAGER_ID, 0, struct.pack("<II", 0, POINTER_ID))  # create_virtual_pointer(no seat)
                       + message(DISPLAY_ID, 0, struct.pack("<I", SECOND_CALLBACK_ID)))
    until_done(stream, SECOND_CALLBACK_ID)
    print("ready", flush=True)
    for _ in stream:
        pass


if __name__ == "__main__":
    main()
