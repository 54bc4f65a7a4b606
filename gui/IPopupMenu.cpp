#include "gui/IPopupMenu.h"

#include <cstdio>

std::string IPopupMenu::ItemLabel(int index) const {
  if (index < 0 || index >= static_cast<int>(items.size())) return {};
  const std::string& text = items[static_cast<std::size_t>(index)].text;
  static const char* const formats[] = {nullptr, "%1d: %s", "%02d: %s", "%03d: %s"};
  if (numbering < 1 || numbering > 3) return text;
  const int size = std::snprintf(nullptr, 0, formats[numbering], index + 1, text.c_str());
  std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  std::snprintf(out.data(), out.size() + 1, formats[numbering], index + 1, text.c_str());
  return out;
}
