#pragma once
// A popup menu as the editor builds it and a platform shows it: numbered or
// plain items, each possibly with a submenu. The platform's ShowPopupMenu
// sets chosenIndex on the menu that holds the chosen item and returns it.

#include <memory>
#include <string>
#include <vector>

class IPopupMenu {
 public:
  enum ItemFlags : int { kGrayed = 1, kDisabled = 2, kChecked = 4, kSeparator = 8 };
  // Numbering: 0 none; 1, 2, 3 prefix "%1d: %s", "%02d: %s", "%03d: %s" (1-based).
  enum Numbering : int { kNumberNone = 0, kNumber1 = 1, kNumber2 = 2, kNumber3 = 3 };

  struct Item {
    std::string text;
    std::unique_ptr<IPopupMenu> submenu;
    int flags = 0;
  };

  explicit IPopupMenu(int numberingStyle = kNumberNone) : numbering(numberingStyle) {}

  Item& AddItem(const char* text, int itemFlags = 0) {
    items.push_back(Item{text ? text : "", nullptr, itemFlags});
    return items.back();
  }
  IPopupMenu& AddSubmenu(const char* text, int numberingStyle = kNumberNone) {
    Item& item = AddItem(text);
    item.submenu = std::make_unique<IPopupMenu>(numberingStyle);
    return *item.submenu;
  }
  // The text an item shows, with its number prefix.
  std::string ItemLabel(int index) const;

  int numbering = kNumberNone;
  int chosenIndex = -1;
  std::vector<Item> items;
};
