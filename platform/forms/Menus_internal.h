// The menu unit's own bookkeeping shared by its .cpp files (not a public header): platform menu
// handles and command ids, the live menus, the classic metrics, and what the menu windows need
// to hear about item changes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/forms/Menus.h"

namespace px_menus {

// ---- Handles and commands (Menus.cpp)
HMENU AllocMenuHandle(TMenuItem* Item);
void FreeMenuHandle(HMENU Menu);
// The item whose sub-items a handle stands for; nullptr for a bad or stale handle.
TMenuItem* ItemFromHandle(HMENU Menu);
uint16_t AllocCommand();
void FreeCommand(uint16_t Command);
// Every live menu, in creation order.
const std::vector<TMenu*>& LiveMenus();
void RegisterMenu(TMenu* Menu);
void UnregisterMenu(TMenu* Menu);
// The item of a command among all live menus.
TMenuItem* FindCommandItem(uint16_t Command);

// ---- Classic look (Menus_draw.cpp)
// The standard height the platform proposes before an item is measured.
int32_t StandardItemHeight();
// The caption as drawn: hot-key markers kept for DrawText; tab-separated shortcut not included.
std::string ShortCutText(const TMenuItem* Item);

// ---- Menu windows (Menus_windows.cpp)
// An item of Menu changed: the menu windows showing it measure (Rebuild) and paint again.
void MenuChanged(TMenu* Menu, TMenuItem* Source, bool Rebuild);
// The item or menu goes away: menus showing it close.
void ItemDestroying(TMenuItem* Item);
void MenuDestroying(TMenu* Menu);
// Installs the window layer's menu hooks (once).
void InstallHooks();
// The form a main menu is shown on (nullptr when none).
TCustomForm* FormOfMenu(const TMainMenu* Menu);
// Shows a pop-up menu modally (TrackPopupMenu's work).
UINT TrackMenu(TMenuItem* Root, UINT Flags, TPoint At, HWND Owner);

}  // namespace px_menus
