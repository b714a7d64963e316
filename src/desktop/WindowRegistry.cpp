#include "desktop/WindowRegistry.h"

#include <limits>

namespace lectryn::desktop {

platform::HWND WindowRegistry::Register(WindowEntry entry) {
  // Handles are never reused while the program runs, so a stale handle finds nothing.
  if (last_ == std::numeric_limits<platform::HWND>::max()) return 0;
  platform::HWND hWnd = ++last_;
  QWidget* widget = entry.widget;
  entries_.emplace(hWnd, std::move(entry));
  if (widget)
    QObject::connect(widget, &QObject::destroyed, &connections_, [this, hWnd] { Unregister(hWnd); });
  if (onRegistered) onRegistered(hWnd);
  return hWnd;
}

void WindowRegistry::Unregister(platform::HWND hWnd) {
  if (!entries_.contains(hWnd)) return;
  if (onUnregistered) onUnregistered(hWnd);
  entries_.erase(hWnd);
}

const WindowEntry* WindowRegistry::Find(platform::HWND hWnd) const {
  auto found = entries_.find(hWnd);
  if (found == entries_.end() || !found->second.widget) return nullptr;
  return &found->second;
}

QWidget* WindowRegistry::Widget(platform::HWND hWnd) const {
  const WindowEntry* entry = Find(hWnd);
  return entry ? entry->widget.data() : nullptr;
}

platform::HWND WindowRegistry::HandleOf(const QWidget* widget) const {
  if (!widget) return 0;
  for (const auto& [hWnd, entry] : entries_)
    if (entry.widget == widget) return hWnd;
  return 0;
}

platform::HWND WindowRegistry::EnclosingHandle(const QWidget* widget) const {
  for (; widget; widget = widget->parentWidget())
    if (platform::HWND hWnd = HandleOf(widget)) return hWnd;
  return 0;
}

std::vector<platform::HWND> WindowRegistry::Handles() const {
  std::vector<platform::HWND> handles;
  for (const auto& [hWnd, entry] : entries_)
    if (entry.widget) handles.push_back(hWnd);
  return handles;
}

}  // namespace lectryn::desktop
