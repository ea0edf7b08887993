#include "tests/e2e/sample_image.h"

#include <cstdio>

namespace velmora::e2e {

Bytes sampleImage() {
  return {
      0x07, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x0A,  // a kind no page edits
      0x02, 0x00, 0x00, 0x03, 0x14, 0x18, 0x06, 0x11,  // serial number 20.24.6.17
      0x01, 0x01, 0x00, 0x00, 0x25, 0x80, 0x80, 0x0D,  // 数据口1 9600 8N1, 55 + download + temporary
      0x01, 0x02, 0x00, 0x01, 0xC2, 0x00, 0x89, 0x22,  // 数据口2 115200, 8 data, 2 stop, even; RTU + Modbus TCP
      0x01, 0x03, 0x00, 0x00, 0x4B, 0x00, 0x76, 0x11,  // 数据口3 19200, 7 data, 1.5 stop, odd; 55 + remote control
      0x02, 0x00, 0x00, 0x00, 0x0A, 0x01, 0x02, 0x03,  // IP 10.1.2.3
      0x02, 0x00, 0x00, 0x01, 0xFF, 0xFF, 0x00, 0x00,  // mask 255.255.0.0
      0x02, 0x00, 0x00, 0x02, 0x0A, 0x01, 0x00, 0x01,  // gateway 10.1.0.1
      0x03, 0x00, 0x17, 0x70, 0x00, 0x00, 0x00, 0x19,  // server port 6000: 55 + download + temporary
      0x03, 0x01, 0x01, 0xF6, 0x00, 0x00, 0x00, 0x04,  // server port 502: Modbus TCP
      0x04, 0x01, 0x01, 0x00, 0x00, 0x00, 0x10, 0x00,  // input: on, 0, 16, 1 bit
      0x04, 0x02, 0x01, 0x00, 0x64, 0x00, 0x10, 0x00,  // output: on, 100, 16, 1 bit
      0x04, 0x03, 0x01, 0x00, 0xC8, 0x00, 0x20, 0x01,  // global integer: on, 200, 32, full word
      0x04, 0x04, 0x00, 0x01, 0x90, 0x00, 0x40, 0x00,  // bit variable: off, 400, 64, 1 bit
      0x04, 0x05, 0x01, 0x00, 0x00, 0x00, 0x00, 0x01,  // all-enable: on
  };
}

std::vector<std::string> sampleListRows() {
  return {
      "0|未知|未知: 07 01 02 03 04 05 06 0A",
      "1|网络配置|网络口0 (虚拟0): 序列号=20.24.6.17",
      "2|串口配置|数据口1: 波特率=9600, 数据位=8, 停止位=1, 校验=无, 协议=55协议 程序下载 临时数据包",
      "3|串口配置|数据口2: 波特率=115200, 数据位=8, 停止位=2, 校验=偶, 协议=Modbus RTU协议 Modbus TCP协议",
      "4|串口配置|数据口3: 波特率=19200, 数据位=7, 停止位=1.5, 校验=奇, 协议=55协议 远程控制",
      "5|网络配置|网络口0 (虚拟0): IP=10.1.2.3",
      "6|网络配置|网络口0 (虚拟0): 掩码=255.255.0.0",
      "7|网络配置|网络口0 (虚拟0): 网关=10.1.0.1",
      "8|网络端口|网口1: 端口=6000, 协议=55协议 程序下载 临时数据包",
      "9|网络端口|网口2: 端口=502, 协议=Modbus TCP协议",
      "10|保持寄存器配置|输入: 使能=开, 地址=0, 数量=16, 位数=1",
      "11|保持寄存器配置|输出: 使能=开, 地址=100, 数量=16, 位数=1",
      "12|保持寄存器配置|全局整数: 使能=开, 地址=200, 数量=32, 位数=全字",
      "13|保持寄存器配置|位变量: 使能=关, 地址=400, 数量=64, 位数=1",
      "14|保持寄存器配置|全部使能: 使能=开, 地址=0, 数量=0, 位数=16",
  };
}

void putBe16(Bytes& image, size_t offset, uint16_t value) {
  image.at(offset) = static_cast<uint8_t>(value >> 8);
  image.at(offset + 1) = static_cast<uint8_t>(value);
}

void putBe32(Bytes& image, size_t offset, uint32_t value) {
  for (size_t i = 0; i < 4; ++i) image.at(offset + i) = static_cast<uint8_t>(value >> (24 - 8 * i));
}

std::string hexPrefix(const Bytes& bytes, size_t count) {
  std::string out;
  for (size_t i = 0; i < count && i < bytes.size(); ++i) {
    char pair[4];
    std::snprintf(pair, sizeof pair, "%02X ", bytes[i]);
    out += pair;
  }
  return out;
}

}  // namespace velmora::e2e
