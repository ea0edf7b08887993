#include "protocol/transfer_engine.h"

#include "base/tr_text.h"

#include <algorithm>
#include <cstring>

namespace velmora {

namespace {
// Frames are cut into a stack copy: a data response is at most 255 + 5 bytes.
constexpr int kMaxFrameBytes = 255 + 5;
constexpr int kMinFrameBytes = 8;  // the shortest frame that stands alone

bool looksLikeAddressReport(const uint8_t* frame, int32_t length) {
  return length >= 8 && frame[0] == kAddressReportHead && frame[2] == kAddressCommand;
}
}  // namespace

TransferEngine::TransferEngine(TimeHost& time, TransferView& view, LogSink* log)
    : time_(time), view_(view), log_(log) {
  // Room for the worst case up front, so collecting bytes never allocates.
  f.receiveBuffer.reserve(kReceiveOverflow + 1);
}

void TransferEngine::log(const std::string& text) {
  if (log_ != nullptr) log_->logMessage(text);
}

void TransferEngine::start() {
  view_.setLinkStatusText(trText("TransferEngine", "未连接"));
  view_.setStateText(trText("TransferEngine", "空闲"));
  updateButtons();
  log(trText("TransferEngine", "配置面板初始化完成"));
  view_.resetProgress();
}

void TransferEngine::stopWatchdogs() {
  dropQueuedFrames();
  if (f.readTimer != 0) stopWatchdog(kReadTimerId, f.readTimer);
  if (f.writeTimer != 0) stopWatchdog(kWriteTimerId, f.writeTimer);
}

void TransferEngine::restartWatchdog(int id, int& handle) {
  time_.stopTimer(id);
  time_.startTimer(id, kWatchdogMs);
  handle = id;
}

void TransferEngine::stopWatchdog(int id, int& handle) {
  time_.stopTimer(id);
  handle = 0;
}

void TransferEngine::pacedSend(const uint8_t* data, int32_t length, PacedFrame what, int payloadLength) {
  if (f.connectionPage == nullptr) {
    frameSent(what, false, payloadLength);
    return;
  }
  // The device gets 50 ms of quiet after the event that called for this frame
  // (its answer, our previous frame, the button). The time our own logging
  // and painting took since then counts towards the 50 ms instead of adding
  // to every exchange.
  constexpr uint64_t kPacingUs = uint64_t{kSendPacingMs} * 1000;
  const uint64_t now = time_.tickUs();
  const uint64_t elapsed = (paceFrom_ != 0 && now >= paceFrom_) ? now - paceFrom_ : 0;
  if (asyncPacing_ && (elapsed < kPacingUs || !queued_.empty())) {
    queued_.push_back(QueuedFrame{std::vector<uint8_t>(data, data + length), what, payloadLength});
    if (queued_.size() == 1) {
      // Whole milliseconds, rounded up: never shorter than the pause.
      const uint64_t waitUs = kPacingUs - elapsed;
      time_.startTimer(kPaceTimerId, static_cast<int>((waitUs + 999) / 1000));
    }
    return;
  }
  if (elapsed < kPacingUs) time_.sleepUs(static_cast<int64_t>(kPacingUs - elapsed));
  frameSent(what, sendNow(data, length), payloadLength);
}

bool TransferEngine::sendNow(const uint8_t* data, int32_t length) {
  const bool sent = f.connectionPage != nullptr && f.connectionPage->sendBytes(data, length);
  paceFrom_ = time_.tickUs();
  return sent;
}

void TransferEngine::onPaceTimer() {
  time_.stopTimer(kPaceTimerId);
  if (queued_.empty()) return;
  QueuedFrame frame = std::move(queued_.front());
  queued_.erase(queued_.begin());
  const bool sent = sendNow(frame.bytes.data(), static_cast<int32_t>(frame.bytes.size()));
  // The next frame gets its own full pause after this one.
  if (!queued_.empty()) time_.startTimer(kPaceTimerId, kSendPacingMs);
  frameSent(frame.what, sent, frame.payloadLength);
}

void TransferEngine::dropQueuedFrames() {
  if (queued_.empty()) return;
  queued_.clear();
  time_.stopTimer(kPaceTimerId);
}

void TransferEngine::frameSent(PacedFrame what, bool sent, int payloadLength) {
  switch (what) {
    case PacedFrame::Preamble: return;  // result not examined
    case PacedFrame::ReadRequest:
      if (sent) {
        if (logging()) log(strprintf(trText("TransferEngine", "发送读取配置请求: 包 %d"), f.currentPacket));
        return;
      }
      // The watchdog stays armed and resets the panel once more when it expires.
      log(trText("TransferEngine", "发送读取配置请求失败"));
      endTransfer(TransferKind::Read, TransferResult::SendFailed, trText("TransferEngine", "发送读取配置请求失败"),
                  trText("TransferEngine", "空闲"), ProgressEnd::Keep);
      return;
    case PacedFrame::WritePacket:
      if (sent) {
        if (logging())
          log(strprintf(trText("TransferEngine", "发送配置数据包 %d/%d, 数据长度 %d"), f.currentPacket + 1, f.totalPackets,
                        payloadLength));
        return;
      }
      // The caller arms the watchdog all the same; it resets the panel once more.
      log(trText("TransferEngine", "发送配置数据包失败"));
      endTransfer(TransferKind::Write, TransferResult::SendFailed, trText("TransferEngine", "发送配置数据包失败"),
                  trText("TransferEngine", "空闲"), ProgressEnd::Keep);
      return;
  }
}

void TransferEngine::updateButtons() {
  const bool read = f.connected && (f.operationState == kIdle || f.operationState == kReading);
  const bool write = f.connected && (f.operationState == kIdle || f.operationState == kWriting);
  view_.setButtonsEnabled(read, write);
}

void TransferEngine::setProgressFromCount() {
  int percent = 0;
  if (f.totalPackets >= 1) percent = std::min(100, static_cast<int>((int64_t{f.currentPacket} * 100) / f.totalPackets));
  view_.setProgress(percent);
}

void TransferEngine::setLinkState(bool connected, const std::string& statusText) {
  f.connected = connected;
  if (!connected) {
    dropReceived(DropCause::LinkClosed);
    f.lastByteTime = 0;
    view_.resetProgress();
    endTransferWithoutLink();
  }
  view_.setLinkStatusText(statusText);
  updateButtons();
}

// No answer can come without the link, so a transfer it cut off ends now
// rather than at its watchdog, and says why. A watchdog that a failed send
// left armed goes too: the send most likely failed because the link was
// going, and its later reset would only tell a time-out that never was.
void TransferEngine::endTransferWithoutLink() {
  const bool reading = f.operationState == kReading || (f.operationState == kIdle && f.readTimer != 0);
  const bool writing = f.operationState == kWriting || (f.operationState == kIdle && f.writeTimer != 0);
  if (!reading && !writing) return;
  stopWatchdogs();
  const char* line = reading ? trText("TransferEngine", "读取配置中断，连接已断开")
                             : trText("TransferEngine", "下发配置中断，连接已断开");
  log(line);
  endTransfer(reading ? TransferKind::Read : TransferKind::Write, TransferResult::LinkLost, line,
              reading ? trText("TransferEngine", "读取中断") : trText("TransferEngine", "下发中断"), ProgressEnd::Keep);
}

void TransferEngine::endTransfer(TransferKind kind, TransferResult result, std::string text, const char* stateText,
                                 ProgressEnd progress) {
  // A watchdog that a failed send left armed ends nothing that is running:
  // its transfer was reported when the send failed.
  const bool running = f.operationState != kIdle;
  dropQueuedFrames();
  f.operationState = kIdle;
  updateButtons();
  view_.setStateText(stateText);
  if (progress == ProgressEnd::Full) view_.setProgress(100);
  if (progress == ProgressEnd::Reset) view_.resetProgress();
  if (running && ended_) ended_(TransferOutcome{kind, result, std::move(text)});
}

void TransferEngine::refuse(TransferKind kind, const char* text) {
  view_.messageBox(text);
  if (ended_) ended_(TransferOutcome{kind, TransferResult::Refused, text});
}

// ---- receive assembly and dispatch ----

void TransferEngine::dropReceived(DropCause cause) {
  std::vector<uint8_t>& buffer = f.receiveBuffer;
  if (observer_ != nullptr && !buffer.empty()) {
    const auto length = static_cast<int32_t>(buffer.size());
    observer_->onFrame(FrameDirection::Received, time_.tickUs(), buffer.data(), length,
                       describeDropped(buffer.data(), length, f.deviceAddress, cause));
  }
  buffer.clear();
}

void TransferEngine::receiveByte(uint8_t byte) {
  const uint64_t now = time_.tickMs();
  if (f.lastByteTime != 0 && now - f.lastByteTime > kReceiveGapMs) dropReceived(DropCause::Gap);
  f.lastByteTime = now;
  f.receiveBuffer.push_back(byte);

  std::vector<uint8_t>& buffer = f.receiveBuffer;
  const int32_t length = checkFrame(buffer.data(), static_cast<uint16_t>(buffer.size()), f.deviceAddress);
  if (length > 0) {
    // One frame per byte; whatever follows it waits for the next byte. The
    // copy lives on the stack so a dispatch that leads to more received bytes
    // cannot disturb it.
    std::array<uint8_t, kMaxFrameBytes> frame;
    std::memcpy(frame.data(), buffer.data(), static_cast<size_t>(length));
    buffer.erase(buffer.begin(), buffer.begin() + length);
    // The pause counts from the answer's arrival: the time the event loop
    // took to hand its bytes over is part of the pause, not added to it. A
    // stamp from the future or from before the frame could start is none.
    const uint64_t now = time_.tickUs();
    const bool stamped = arrivalUs_ != 0 && arrivalUs_ <= now && now - arrivalUs_ < uint64_t{kReceiveGapMs} * 1000;
    paceFrom_ = stamped ? arrivalUs_ : now;
    if (observer_ != nullptr)
      observer_->onFrame(FrameDirection::Received, paceFrom_, frame.data(), length,
                         describeRecognised(frame.data(), length));
    dispatchFrame(frame.data(), length);
    return;
  }
  if (buffer.size() > kReceiveOverflow) {
    dropReceived(DropCause::Overflow);
    log(trText("TransferEngine", "串口接收缓冲区溢出，已清空"));
  }
}

void TransferEngine::dispatchFrame(const uint8_t* frame, int32_t length) {
  // Inside a longer buffer the recogniser accepts data responses shorter
  // than 8 bytes; on their own they fail here. The recogniser has passed
  // everything else about the frame, so its length is all left to test.
  if (length < kMinFrameBytes) {
    log(trText("TransferEngine", "接收到无效帧"));
    return;
  }
  if (f.operationState == kReading) {
    onReadResponse(frame, length);
    return;
  }
  if (f.operationState == kWriting) {
    onWriteAck(frame, length);
    return;
  }
  if (looksLikeAddressReport(frame, length)) {
    const int address = frame[1];
    if (logging()) log(strprintf(trText("TransferEngine", "读取设备地址成功: %02X"), address));
    if (f.connectionPage != nullptr) {
      const LocalTime t = time_.localTime();
      f.connectionPage->showAddressReport(
          strprintf("%03d", address), strprintf(trText("TransferEngine", "%02d:%02d:%02d 收到地址更新：%03d"), t.hour,
                                                t.minute, t.second, address));
    }
    return;
  }
  if (logging())
    log(strprintf(trText("TransferEngine", "收到未知响应: %02X %02X %02X %02X %02X %02X %02X %02X …… 长度 %d"),
                  frame[0], frame[1], frame[2], frame[3], frame[4], frame[5], frame[6], frame[7], length));
}

void TransferEngine::onTimer(int id) {
  if (id == kPaceTimerId)
    onPaceTimer();
  else if (id == kReadTimerId)
    onTimeout(TransferKind::Read);
  else if (id == kWriteTimerId)
    onTimeout(TransferKind::Write);
}

void TransferEngine::onTimeout(TransferKind kind) {
  const bool read = kind == TransferKind::Read;
  if (read)
    stopWatchdog(kReadTimerId, f.readTimer);
  else
    stopWatchdog(kWriteTimerId, f.writeTimer);
  const char* line =
      read ? trText("TransferEngine", "读取配置超时，复位") : trText("TransferEngine", "下发配置超时，复位");
  log(line);
  endTransfer(kind, TransferResult::TimedOut, line, trText("TransferEngine", "空闲"), ProgressEnd::Reset);
}

// ---- configuration read ----

void TransferEngine::startRead(ImageHost* into) {
  if (!f.connected) {
    refuse(TransferKind::Read, trText("TransferEngine", "请先连接设备"));
    return;
  }
  if (f.operationState > kReading) {
    refuse(TransferKind::Read, trText("TransferEngine", "正在执行其他操作，请稍后"));
    return;
  }
  paceFrom_ = time_.tickUs();
  readInto_ = into;
  if (f.connectionPage != nullptr) f.deviceAddress = f.connectionPage->addressBoxValue();
  // A write that ended on a failed send leaves its watchdog running; it must
  // not reset this read when it expires.
  if (f.writeTimer != 0) stopWatchdog(kWriteTimerId, f.writeTimer);
  restartWatchdog(kReadTimerId, f.readTimer);

  f.operationState = kReading;
  updateButtons();
  view_.setStateText(trText("TransferEngine", "正在读取配置..."));

  f.totalPackets = 0;
  f.currentPacket = 0;
  f.transferLength = 0;
  f.transferBuffer.fill(0);
  dropQueuedFrames();
  dropReceived(DropCause::TransferStart);
  f.lastByteTime = 0;
  view_.resetProgress();

  if (f.connectionPage != nullptr) {
    const auto preamble = buildTransferPreamble();
    pacedSend(preamble.data(), static_cast<int32_t>(preamble.size()), PacedFrame::Preamble);
  }
  log(trText("TransferEngine", "开始读取配置..."));
  sendReadRequest(f.deviceAddress);
}

void TransferEngine::sendReadRequest(uint8_t address) {
  const auto request = buildReadRequest(address, static_cast<uint16_t>(f.currentPacket));
  pacedSend(request.data(), static_cast<int32_t>(request.size()), PacedFrame::ReadRequest);
}

void TransferEngine::onReadResponse(const uint8_t* frame, int32_t length) {
  const auto response = parseDataResponse(frame, length);
  if (!response) {
    log(trText("TransferEngine", "无效的配置数据响应"));
    return;
  }
  const int packet = response->packetNumber;
  const int total = response->totalPackets;
  if (f.totalPackets == 0) {
    f.totalPackets = total;
    if (logging()) log(strprintf(trText("TransferEngine", "总包数: %d"), total));
    view_.setProgress(0);
  }
  if (packet != f.currentPacket) {
    if (logging()) log(strprintf(trText("TransferEngine", "收到乱序包: 期望 %d, 实际 %d"), f.currentPacket, packet));
    return;
  }
  const int32_t count = static_cast<int32_t>(response->data.size());
  // Beyond the largest envelope the data is dropped, but the packet counts.
  if (f.transferLength + count <= kMaxEnvelopeBytes) {
    if (count > 0)
      std::memcpy(f.transferBuffer.data() + f.transferLength, response->data.data(), static_cast<size_t>(count));
    f.transferLength += count;
  }
  if (logging())
    log(strprintf(trText("TransferEngine", "收到配置数据包 %d/%d, 数据长度 %d"), packet + 1, total, count));
  ++f.currentPacket;
  setProgressFromCount();

  if (f.currentPacket < total) {
    sendReadRequest(f.deviceAddress);
    restartWatchdog(kReadTimerId, f.readTimer);
    return;
  }

  if (logging()) log(strprintf(trText("TransferEngine", "读取配置完成，共 %d 包，%d 字节"), total, f.transferLength));
  const bool sound = checkEnvelope(f.transferBuffer.data(), f.transferLength);
  if (!sound) log(trText("TransferEngine", "配置报文头错误！"));
  // The image goes over whatever the check said; the header never does.
  ImageHost* const target = readInto_ != nullptr ? readInto_ : f.mainWindow;
  readInto_ = nullptr;
  if (target != nullptr) {
    const int32_t imageLength = std::max(0, f.transferLength - kEnvelopeHeader);
    target->loadImage(f.transferBuffer.data() + kEnvelopeHeader, imageLength);
  }
  stopWatchdog(kReadTimerId, f.readTimer);
  // A bare "读取完成" would vouch for bytes whose header did not check out.
  if (sound)
    endTransfer(TransferKind::Read, TransferResult::Done, trText("TransferEngine", "读取完成"),
                trText("TransferEngine", "读取完成"), ProgressEnd::Full);
  else
    endTransfer(TransferKind::Read, TransferResult::DoneWithHeaderError, trText("TransferEngine", "配置报文头错误！"),
                trText("TransferEngine", kReadDoneHeaderError), ProgressEnd::Full);
}

// ---- configuration write ----

void TransferEngine::startWrite() {
  if (!f.connected) {
    refuse(TransferKind::Write, trText("TransferEngine", "请先连接设备"));
    return;
  }
  if (f.operationState != kIdle && f.operationState != kWriting) {
    refuse(TransferKind::Write, trText("TransferEngine", "正在执行其他操作，请稍后"));
    return;
  }
  if (f.mainWindow == nullptr) {
    refuse(TransferKind::Write, trText("TransferEngine", "未找到主窗口"));
    return;
  }
  // The pause before the first frame counts from the press, like every
  // pause from the event that called for its frame: the line has been quiet
  // since before it, and gathering and checking the image take their share.
  const uint64_t pressed = time_.tickUs();
  f.mainWindow->gatherCurrentPage();  // a page that does not store leaves the image as it is

  if (f.mainWindow->configImage().size() > static_cast<size_t>(kMaxImageBytes)) {
    refuse(TransferKind::Write, trText("TransferEngine", "要发送的数据长度无效"));
    return;
  }
  if (approveWrite_) {
    if (!approveWrite_(f.mainWindow->configImage())) return;
    // The approver may have asked the user; the link may have gone meanwhile.
    if (!f.connected) {
      refuse(TransferKind::Write, trText("TransferEngine", "请先连接设备"));
      return;
    }
  }
  const std::vector<uint8_t>& image = f.mainWindow->configImage();
  paceFrom_ = pressed;
  // Taken only once the write is sure to start: a refused press during a
  // running write must not change the address its acknowledgements carry.
  if (f.connectionPage != nullptr) f.deviceAddress = f.connectionPage->addressBoxValue();
  const std::vector<uint8_t> envelope = buildEnvelope(image.data(), static_cast<int32_t>(image.size()));
  const int32_t envelopeLength = static_cast<int32_t>(envelope.size());

  f.operationState = kWriting;
  updateButtons();
  view_.setStateText(trText("TransferEngine", "正在下发配置..."));

  f.totalPackets = packetCount(envelopeLength);
  f.currentPacket = 0;
  f.transferLength = envelopeLength;
  std::memcpy(f.transferBuffer.data(), envelope.data(), envelope.size());
  dropQueuedFrames();
  dropReceived(DropCause::TransferStart);
  f.lastByteTime = 0;
  view_.setProgress(0);
  // A read that ended on a failed send leaves its watchdog running; it must
  // not reset this write when it expires.
  if (f.readTimer != 0) stopWatchdog(kReadTimerId, f.readTimer);

  if (f.connectionPage != nullptr) {
    const auto preamble = buildTransferPreamble();
    pacedSend(preamble.data(), static_cast<int32_t>(preamble.size()), PacedFrame::Preamble);
  }
  if (logging())
    log(strprintf(trText("TransferEngine", "开始下发配置，共 %d 包，%d 字节"), f.totalPackets, envelopeLength));
  sendWritePacket(f.deviceAddress);
  restartWatchdog(kWriteTimerId, f.writeTimer);
}

void TransferEngine::sendWritePacket(uint8_t address) {
  const WritePacket packet =
      buildWritePacket(address, static_cast<uint16_t>(f.currentPacket), static_cast<uint16_t>(f.totalPackets),
                       f.transferBuffer.data(), f.transferLength);
  pacedSend(packet.frame.data(), static_cast<int32_t>(packet.frame.size()), PacedFrame::WritePacket,
            packet.payloadLength);
}

void TransferEngine::onWriteAck(const uint8_t* frame, int32_t length) {
  // An address report from a device whose address is 0x6C would otherwise
  // read as an acknowledgement of an arbitrary packet.
  const auto packet = looksLikeAddressReport(frame, length) ? std::nullopt : parseWriteAck(frame, length);
  if (!packet) {
    log(trText("TransferEngine", "无效的写入确认包"));
    return;
  }
  if (logging()) log(strprintf(trText("TransferEngine", "收到写入确认: 包 %d"), *packet));
  if (*packet != f.currentPacket) {
    if (logging()) log(strprintf(trText("TransferEngine", "收到乱序确认: 期望 %d, 实际 %d"), f.currentPacket, *packet));
    return;
  }
  ++f.currentPacket;
  setProgressFromCount();
  if (f.currentPacket < f.totalPackets) {
    sendWritePacket(f.deviceAddress);
    restartWatchdog(kWriteTimerId, f.writeTimer);
    return;
  }
  log(trText("TransferEngine", "下发配置完成"));
  stopWatchdog(kWriteTimerId, f.writeTimer);
  endTransfer(TransferKind::Write, TransferResult::Done, trText("TransferEngine", "下发完成"),
              trText("TransferEngine", "下发完成"), ProgressEnd::Full);
}

}  // namespace velmora
