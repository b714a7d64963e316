#pragma once
// Names on the accessibility bus and the requests built from them.
#include <cstdint>

#include "accessibility/atspi/BusClient.h"

namespace lectryn::accessibility::atspi::bus {

inline constexpr const char* kAccessible = "org.a11y.atspi.Accessible";
inline constexpr const char* kComponent = "org.a11y.atspi.Component";
inline constexpr const char* kText = "org.a11y.atspi.Text";
inline constexpr const char* kHypertext = "org.a11y.atspi.Hypertext";
inline constexpr const char* kHyperlink = "org.a11y.atspi.Hyperlink";
inline constexpr const char* kDocument = "org.a11y.atspi.Document";
inline constexpr const char* kCollection = "org.a11y.atspi.Collection";
inline constexpr const char* kProperties = "org.freedesktop.DBus.Properties";
inline const BusObject kRegistryRoot{"org.a11y.atspi.Registry", "/org/a11y/atspi/accessible/root"};
inline const BusObject kBusDaemon{"org.freedesktop.DBus", "/org/freedesktop/DBus"};
inline constexpr uint32_t kScreenCoordinates = 0;  // ATSPI_COORD_TYPE_SCREEN
inline constexpr uint32_t kScrollTopLeft = 0;      // ATSPI_SCROLL_TOP_LEFT

inline Request Method(const BusObject& object, const char* interface, const char* method,
                      ArgWriter args = {}) {
  return Request{object, interface, method, std::move(args)};
}

inline Request Property(const BusObject& object, const char* interface, const char* name) {
  return Request{object, kProperties, "Get", Strings({interface, name})};
}

inline Request Extents(const BusObject& object) {
  return Method(object, kComponent, "GetExtents",
                [](DBusMessageIter& iter) { AppendUint32(iter, kScreenCoordinates); });
}

}  // namespace lectryn::accessibility::atspi::bus
