#pragma once

// The device's D-Bus names. Its applications follow one pattern: service
// "com.vexa.service.<app>", object "/com/vexa/object/<app>", interface
// "com.vexa.interface.<app>".
namespace sys {
namespace dbus {

constexpr char ServicePrefix[] = "com.vexa.service.";
constexpr char ObjectPrefix[] = "/com/vexa/object/";
constexpr char InterfacePrefix[] = "com.vexa.interface.";
// What the device's shell calls to open a file in an application.
constexpr char OpenMethod[] = "open";

constexpr char SystemManagerService[] = "com.vexa.service.system_manager";
constexpr char SystemManagerObject[] = "/com/vexa/object/system_manager";
constexpr char SystemManagerInterface[] = "com.vexa.interface.system_manager";

} // namespace dbus
} // namespace sys
