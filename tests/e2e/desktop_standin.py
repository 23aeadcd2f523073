#!/usr/bin/python3
"""A desktop stand-in on the session bus for the end-to-end tests.

It owns org.freedesktop.Notifications and, unless --no-watcher is given, a StatusNotifier
watcher (org.kde.StatusNotifierWatcher) with one registered host, as a desktop with a tray has.
Everything the program does towards it is appended to the log as one JSON object per line:

  {"event": "ready", "watcher": true}
  {"event": "item-registered", "service": ":1.5", "path": "/StatusNotifierItem"}
  {"event": "notify", "app": "...", "replaces": 0, "icon": "...", "summary": "Info",
   "body": "...", "timeout": 5000, "id": 1}

The test drives the registered item itself (Activate, the exported menu) over the bus.
"""

import argparse
import json
import os
import sys
import time

from gi.repository import Gio, GLib

WATCHER_XML = """
<node>
  <interface name="org.kde.StatusNotifierWatcher">
    <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
    <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
    <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/>
    <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
    <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
    <signal name="StatusNotifierHostRegistered"/>
  </interface>
</node>
"""

NOTIFICATIONS_XML = """
<node>
  <interface name="org.freedesktop.Notifications">
    <method name="Notify">
      <arg name="app_name" type="s" direction="in"/>
      <arg name="replaces_id" type="u" direction="in"/>
      <arg name="app_icon" type="s" direction="in"/>
      <arg name="summary" type="s" direction="in"/>
      <arg name="body" type="s" direction="in"/>
      <arg name="actions" type="as" direction="in"/>
      <arg name="hints" type="a{sv}" direction="in"/>
      <arg name="expire_timeout" type="i" direction="in"/>
      <arg name="id" type="u" direction="out"/>
    </method>
    <method name="CloseNotification"><arg name="id" type="u" direction="in"/></method>
    <method name="GetCapabilities"><arg name="caps" type="as" direction="out"/></method>
    <method name="GetServerInformation">
      <arg name="name" type="s" direction="out"/>
      <arg name="vendor" type="s" direction="out"/>
      <arg name="version" type="s" direction="out"/>
      <arg name="spec_version" type="s" direction="out"/>
    </method>
    <signal name="NotificationClosed"><arg type="u"/><arg type="u"/></signal>
    <signal name="ActionInvoked"><arg type="u"/><arg type="s"/></signal>
  </interface>
</node>
"""


class StandIn:
    def __init__(self, log_path, with_watcher):
        self.log = open(log_path, "a", encoding="utf-8")
        self.with_watcher = with_watcher
        self.items = []
        self.next_id = 1
        self.connection = None
        self.pending_names = 0

    def write(self, **record):
        record["t"] = time.monotonic()  # system-wide monotonic clock, for the start-up benchmark
        self.log.write(json.dumps(record, ensure_ascii=False) + "\n")
        self.log.flush()

    # --- the watcher ---------------------------------------------------------------------

    def watcher_call(self, connection, sender, path, interface, method, args, invocation):
        if method == "RegisterStatusNotifierItem":
            service = args.unpack()[0]
            # An item registers either its bus name or its object path (then the bus name is the
            # caller's).
            item_path = "/StatusNotifierItem"
            if service.startswith("/"):
                item_path, service = service, sender
            entry = service + item_path
            if entry not in self.items:
                self.items.append(entry)
            self.write(event="item-registered", service=service, path=item_path, sender=sender)
            connection.emit_signal(None, "/StatusNotifierWatcher",
                                   "org.kde.StatusNotifierWatcher",
                                   "StatusNotifierItemRegistered", GLib.Variant("(s)", (entry,)))
            invocation.return_value(None)
        elif method == "RegisterStatusNotifierHost":
            invocation.return_value(None)
        else:
            invocation.return_dbus_error("org.freedesktop.DBus.Error.UnknownMethod", method)

    def watcher_property(self, connection, sender, path, interface, name):
        if name == "RegisteredStatusNotifierItems":
            return GLib.Variant("as", self.items)
        if name == "IsStatusNotifierHostRegistered":
            return GLib.Variant("b", True)
        if name == "ProtocolVersion":
            return GLib.Variant("i", 0)
        return None

    # --- the notification service --------------------------------------------------------

    def notifications_call(self, connection, sender, path, interface, method, args, invocation):
        if method == "Notify":
            app, replaces, icon, summary, body, actions, hints, timeout = args.unpack()
            notice_id = replaces if replaces else self.next_id
            if not replaces:
                self.next_id += 1
            self.write(event="notify", app=app, replaces=replaces, icon=icon, summary=summary,
                       body=body, timeout=timeout, id=notice_id)
            invocation.return_value(GLib.Variant("(u)", (notice_id,)))
        elif method == "CloseNotification":
            self.write(event="close-notification", id=args.unpack()[0])
            invocation.return_value(None)
        elif method == "GetCapabilities":
            invocation.return_value(GLib.Variant("(as)", (["body"],)))
        elif method == "GetServerInformation":
            invocation.return_value(GLib.Variant("(ssss)", ("desktop-standin", "kor-vm31 tests",
                                                             "1", "1.2")))
        else:
            invocation.return_dbus_error("org.freedesktop.DBus.Error.UnknownMethod", method)

    # --- start-up ------------------------------------------------------------------------

    def on_bus(self, connection, name):
        self.connection = connection
        notifications = Gio.DBusNodeInfo.new_for_xml(NOTIFICATIONS_XML).interfaces[0]
        connection.register_object("/org/freedesktop/Notifications", notifications,
                                   self.notifications_call, None, None)
        if self.with_watcher:
            watcher = Gio.DBusNodeInfo.new_for_xml(WATCHER_XML).interfaces[0]
            connection.register_object("/StatusNotifierWatcher", watcher, self.watcher_call,
                                       self.watcher_property, None)

    def on_name(self, connection, name):
        self.pending_names -= 1
        if self.pending_names == 0:
            self.write(event="ready", watcher=self.with_watcher)

    def on_name_lost(self, connection, name):
        self.write(event="name-lost", name=name)
        sys.exit(1)

    def run(self):
        names = ["org.freedesktop.Notifications"]
        if self.with_watcher:
            names += ["org.kde.StatusNotifierWatcher",
                      "org.kde.StatusNotifierHost-%d" % os.getpid()]
        self.pending_names = len(names)
        for index, name in enumerate(names):
            Gio.bus_own_name(Gio.BusType.SESSION, name, Gio.BusNameOwnerFlags.NONE,
                             self.on_bus if index == 0 else None, self.on_name,
                             self.on_name_lost)
        GLib.MainLoop().run()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--log", required=True)
    parser.add_argument("--no-watcher", action="store_true",
                        help="a desktop without a tray: only the notification service")
    options = parser.parse_args()
    StandIn(options.log, not options.no_watcher).run()


if __name__ == "__main__":
    main()
