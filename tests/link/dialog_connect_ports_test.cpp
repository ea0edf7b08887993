// The connection page's live port list on a folder of the test's own (links
// to ptys made and removed while the page is open), and the port doctor's
// lines in its log after a failed open.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include <filesystem>

#include "link/dialog_connect.h"
#include "tests/link/held_pty.h"
#include "tests/link/link_fakes.h"
#include "tests/support/ui_recorder.h"

using namespace velmora;
using namespace velmora::testing;
namespace fs = std::filesystem;

namespace {

class DialogConnectPortsTest : public ::testing::Test {
 protected:
  // Under /dev/, as the page opens nothing else: in its tmpfs that anyone may write to.
  DialogConnectPortsTest() : dir("/dev/shm/velmora_page_ports_XXXXXX") {
    ::mkdtemp(dir.data());
    UiRecorder::reset();
    page.setPanel(&panel);
    page.watchPortFolders({dir});
  }
  ~DialogConnectPortsTest() override { fs::remove_all(dir); }

  QComboBox* box() { return page.findChild<QComboBox*>(QStringLiteral("2005")); }
  QStringList items() {
    QStringList out;
    for (int i = 0; i < box()->count(); ++i) out << box()->itemText(i);
    return out;
  }
  bool listShows(const QStringList& want) { return waitUntil([&] { return items() == want; }); }
  void click(int id) { page.findChild<QAbstractButton*>(QString::number(id))->click(); }
  std::string at(const std::string& name) const { return dir + "/" + name; }
  // The link's name, and the node below /dev/ beside it.
  static QString label(const std::string& name, const std::string& pty) {
    return QString::fromStdString(name + " (" + pty.substr(5) + ")");
  }
  bool logged(const std::string& line) const {
    return std::find(log.lines.begin(), log.lines.end(), line) != log.lines.end();
  }

  std::string dir;
  Journal journal;
  FakePanel panel{journal};
  FakeLog log{journal};
  DialogConnect page{nullptr, &log};
};

}  // namespace

TEST_F(DialogConnectPortsTest, LinksComeAndGoWhileTheChosenPortStays) {
  PtyPair a, b;
  ASSERT_TRUE(a.ok() && b.ok());
  EXPECT_EQ(box()->count(), 0);
  const QString labelA = label("usb-Velmora_A-if00", a.slavePath());
  const QString labelB = label("usb-0_Velmora_B-if00", b.slavePath());
  const QString goneA = labelA + QStringLiteral("（已移除）");

  fs::create_symlink(a.slavePath(), at("usb-Velmora_A-if00"));
  ASSERT_TRUE(listShows({labelA})) << items().join(',').toStdString();
  EXPECT_EQ(box()->currentText(), labelA) << "an empty box takes the port that came";
  fs::create_symlink(b.slavePath(), at("usb-0_Velmora_B-if00"));
  ASSERT_TRUE(listShows({labelB, labelA}));
  EXPECT_EQ(box()->currentText(), labelA);

  // The chosen port goes: marked, still chosen; opening it says why it failed.
  fs::remove(at("usb-Velmora_A-if00"));
  ASSERT_TRUE(listShows({labelB, goneA}));
  EXPECT_EQ(box()->currentText(), goneA);
  click(2011);
  EXPECT_EQ(page.linkState(), kSerialIdle);
  ASSERT_GE(log.lines.size(), 3u);
  EXPECT_EQ(log.lines[log.lines.size() - 3], "串口打开失败: " + at("usb-Velmora_A-if00"));
  EXPECT_EQ(log.lines.back().rfind("诊断: " + at("usb-Velmora_A-if00") + " 出现约 ", 0), 0u) << log.lines.back();

  // Back again: chosen as before, and it opens; going while open closes nothing.
  fs::create_symlink(a.slavePath(), at("usb-Velmora_A-if00"));
  ASSERT_TRUE(listShows({labelB, labelA}));
  EXPECT_EQ(box()->currentText(), labelA);
  click(2011);
  ASSERT_EQ(page.linkState(), kSerialOpen) << log.lines.back();
  EXPECT_EQ(panel.states.back().second, "串口已打开：" + at("usb-Velmora_A-if00") + " (9600,8,0,0)");
  fs::remove(at("usb-Velmora_A-if00"));
  ASSERT_TRUE(listShows({labelB, goneA}));
  EXPECT_EQ(page.linkState(), kSerialOpen);
  ASSERT_TRUE(a.write({0x42}) && waitUntil([&] { return !panel.bytes.empty(); }));
  click(2011);
  EXPECT_EQ(page.linkState(), kSerialIdle);

  EXPECT_TRUE(logged("发现串口: " + labelA.toStdString()));
  EXPECT_TRUE(logged("串口已移除: " + labelA.toStdString()));
  EXPECT_TRUE(logged("发现串口: " + labelB.toStdString()));
}

TEST_F(DialogConnectPortsTest, AHeldPortNamesItsHolderAfterTheReason) {
  HeldPty held;
  ASSERT_TRUE(held.ok());
  box()->setEditText(QString::fromStdString(held.path()));
  click(2011);
  EXPECT_EQ(page.findChild<QLabel*>(QStringLiteral("1011"))->text(), QStringLiteral("串口打开失败"));
  ASSERT_GE(log.lines.size(), 2u);
  EXPECT_EQ(log.lines[log.lines.size() - 2].rfind("原因: ", 0), 0u);
  EXPECT_EQ(log.lines.back(), "诊断: " + held.path() + " 正被进程 " + std::to_string(held.holder.pid()) +
                                  "（sleep）占用，请关闭该程序后重试");
}
