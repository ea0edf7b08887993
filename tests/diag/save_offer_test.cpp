// The diagnostic pages' saves, shared by both windows: what each offers and
// the ask, write, box order. The dialogs and the disk are the fakes here.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diag/save_offer.h"
#include "protocol/frames.h"
#include "protocol/pcap_format.h"

using namespace velmora;

namespace {

// What the steps saw: the offers asked about, the writes, the boxes.
struct FakeSteps {
  std::string answer;     // the path the dialog gives
  bool writeWorks = true;
  std::vector<SaveOffer> asked;
  std::vector<std::pair<std::string, std::string>> written;
  std::vector<std::string> boxes;

  SaveSteps steps() {
    SaveSteps s;
    s.askPath = [this](const SaveOffer& offer) {
      asked.push_back(offer);
      return answer;
    };
    s.write = [this](const std::string& path, std::string_view bytes, std::string& why) {
      written.emplace_back(path, std::string(bytes));
      if (!writeWorks) why = "No such file or directory";
      return writeWorks;
    };
    s.box = [this](const std::string& text) { boxes.push_back(text); };
    return s;
  }
};

}  // namespace

// The log's lines go out as kept; the monitor's rows as the tabbed text and
// as a capture, each behind its own filter, suffix and proposed name.
TEST(SaveOffer, EachSaveOffersItsNameFilterAndBytes) {
  const std::string logText = "[2024-01-02 03:04:05] 程序启动\r\n";
  const SaveOffer log = logSaveOffer(logText);
  EXPECT_EQ(log.initialName, "日志.txt");
  EXPECT_EQ(log.filter, "文本文件 (*.txt);;所有文件 (*.*)");
  EXPECT_EQ(log.suffix, "txt");
  EXPECT_EQ(log.bytes, logText);

  MonitorLog monitor;
  const auto request = buildReadRequest(1, 3);
  monitor.add(FrameDirection::Sent, 1000, request.data(), 8, describeFrame(FrameDirection::Sent, request.data(), 8, 1));
  const SaveOffer text = monitorTextOffer(monitor);
  EXPECT_EQ(text.initialName, "通信监视.txt");
  EXPECT_EQ(text.filter, log.filter);
  EXPECT_EQ(text.bytes, monitor.text());
  EXPECT_EQ(text.bytes.rfind("0.000\t发送\t01 69", 0), 0u) << text.bytes;

  const SaveOffer capture = monitorCaptureOffer(monitor);
  EXPECT_EQ(capture.initialName, "通信监视.pcap");
  EXPECT_EQ(capture.filter, "抓包文件 (*.pcap);;所有文件 (*.*)");
  EXPECT_EQ(capture.suffix, "pcap");
  EXPECT_EQ(capture.bytes, monitor.pcap());
  EXPECT_EQ(capture.bytes.size(), pcapFileHeader().size() + 16 + 1 + 8) << "the header and one record";
}

// A cancelled dialog writes nothing and says nothing; a failed write says
// 保存文件失败 and gives no path; a good one writes the offer's bytes where
// the user chose.
TEST(SaveOffer, AsksThenWritesAndSaysOnlyAFailedWrite) {
  const SaveOffer offer = textFileOffer("x.txt", std::string("a\0b\r\n", 5));
  FakeSteps cancelled;
  EXPECT_EQ(saveOffered(offer, cancelled.steps()), "");
  EXPECT_EQ(cancelled.asked.size(), 1u);
  EXPECT_TRUE(cancelled.written.empty());
  EXPECT_TRUE(cancelled.boxes.empty());

  FakeSteps failing;
  failing.answer = "/no/such/folder/x.txt";
  failing.writeWorks = false;
  EXPECT_EQ(saveOffered(offer, failing.steps()), "");
  EXPECT_EQ(failing.boxes, std::vector<std::string>{"保存文件失败"});

  FakeSteps good;
  good.answer = "/tmp/x.txt";
  EXPECT_EQ(saveOffered(offer, good.steps()), "/tmp/x.txt");
  ASSERT_EQ(good.written.size(), 1u);
  EXPECT_EQ(good.written[0], std::make_pair(std::string("/tmp/x.txt"), offer.bytes)) << "a NUL byte and CR LF as they are";
  EXPECT_EQ(good.asked[0].initialName, "x.txt");
  EXPECT_TRUE(good.boxes.empty());
}
