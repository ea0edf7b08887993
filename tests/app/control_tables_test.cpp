// The control tables both windows build from: every page's ids are its own,
// every control lies inside its template, and every text the tables and
// the menu name has its English in translations/velmora_en.ts.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "app/help_table.h"
#include "app/main_menu.h"
#include "base/ts_catalog.h"
#include "diag/page_tables.h"
#include "link/connect_table.h"
#include "link/scan_table.h"
#include "pages/page_tables.h"
#include "protocol/strip_table.h"

namespace velmora {
namespace {

std::vector<const PageTable*> allTables() {
  return {&connectPageTable(), &serialParamTable(), &netAddressTable(), &netServerTable(),
          &maintainRegisterTable(), &dataTestTable(), &listPageTable(), &logPageTable(),
          &helpPageTable(), &monitorTable(), &transferStripTable(), &scanDialogTable()};
}

const TsCatalog& english() {
  static const TsCatalog catalog = [] {
    std::ifstream in(VELMORA_SOURCE_DIR "/translations/velmora_en.ts");
    std::stringstream text;
    text << in.rdbuf();
    return TsCatalog::parse(text.str());
  }();
  return catalog;
}

// Only texts with letters of a language need one; "HEX", "TCP" and numbers do not.
bool needsTranslation(const char* text) {
  for (const char* c = text; *c != '\0'; ++c)
    if (static_cast<unsigned char>(*c) >= 0x80) return true;
  return false;
}

TEST(ControlTables, IdsAreUniqueAndControlsLieInsideTheTemplate) {
  for (const PageTable* table : allTables()) {
    std::set<int> ids;
    for (const ControlRow& c : table->controls) {
      if (c.id != 0) {
        EXPECT_TRUE(ids.insert(c.id).second) << table->context << " repeats " << c.id;
      }
      EXPECT_GE(c.x, 0) << table->context << " " << c.id;
      EXPECT_LE(c.x + c.w, table->width) << table->context << " " << c.id;
      // A drop-down list's height is its open list's; its box is 13 high.
      const int height = (c.kind == ControlKind::DropList || c.kind == ControlKind::DropEdit) ? 13 : c.h;
      EXPECT_LE(c.y + height, table->height) << table->context << " " << c.id;
    }
    for (const ColumnRow& column : table->columns)
      EXPECT_TRUE(ids.count(column.listId)) << table->context << ": a column of no list";
  }
}

TEST(ControlTables, EveryTextHasItsEnglish) {
  ASSERT_GT(english().size(), 100u);
  for (const PageTable* table : allTables()) {
    for (const ControlRow& c : table->controls)
      if (c.text != nullptr && needsTranslation(c.text)) {
        EXPECT_NE(english().find(c.context != nullptr ? c.context : table->context, c.text), nullptr)
            << table->context << ": " << c.text;
      }
    for (const ColumnRow& column : table->columns)
      EXPECT_NE(english().find(table->context, column.text), nullptr) << table->context << ": " << column.text;
  }
  for (const MenuPopup& popup : mainMenu()) {
    EXPECT_NE(english().find("MainDialog", popup.caption), nullptr) << popup.caption;
    for (const MenuEntry& item : popup.items)
      if (item.id != 0) {
        EXPECT_NE(english().find("MainDialog", item.caption), nullptr) << item.caption;
      }
  }
}

// The holding-register page's tips name its controls, in the page's context.
TEST(ControlTables, ToolTipsNameControlsOfTheirPageAndHaveTheirEnglish) {
  std::set<int> ids;
  for (const ControlRow& c : maintainRegisterTable().controls) ids.insert(c.id);
  ASSERT_EQ(maintainRegisterToolTips().size(), 13u);
  for (const ToolTipRow& tip : maintainRegisterToolTips()) {
    EXPECT_TRUE(ids.count(tip.id)) << tip.id;
    EXPECT_NE(english().find("DialogMaintainRegister", tip.text), nullptr) << tip.text;
  }
  EXPECT_EQ(maintainRegisterToolTips().back().id, page_id::kRegisterConfirm);
}

TEST(ControlTables, MenuKeysComeFromTheCaptions) {
  EXPECT_EQ(ctrlShortcutLetter("保存(&S)...\tCtrl+S"), 'S');
  EXPECT_EQ(ctrlShortcutLetter("退出(&X)"), 0);
  EXPECT_EQ(ctrlShortcutLetter("x\tCtrl+"), 0);
  EXPECT_EQ(ctrlShortcutLetter("x\tCtrl+SS"), 0);
  EXPECT_EQ(ctrlShortcutLetter(nullptr), 0);
  std::set<int> ids;
  std::string keys;
  for (const MenuPopup& popup : mainMenu())
    for (const MenuEntry& item : popup.items) {
      if (item.id != 0) {
        EXPECT_TRUE(ids.insert(item.id).second) << item.id;
      }
      if (const char key = ctrlShortcutLetter(item.caption)) keys += key;
    }
  EXPECT_EQ(keys, "NOS");
}

}  // namespace
}  // namespace velmora
