// Every frame between the tool and the device, the CRC that guards them,
// the recogniser that finds a complete frame at the head of a buffer, and
// the transfer envelope that wraps the image on the wire. Pure functions.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "config/config_unit.h"

namespace velmora {

// Configuration read and write packets carry at most this many envelope bytes.
inline constexpr int kPacketPayload = 50;
// The envelope header in front of the image on the wire.
inline constexpr int kEnvelopeHeader = 8;
// Image limit plus header.
inline constexpr int kMaxEnvelopeBytes = kMaxImageBytes + kEnvelopeHeader;

inline constexpr uint8_t kFunctionRead = 0x69;   // 'i'
inline constexpr uint8_t kFunctionWrite = 0x6C;  // 'l'
inline constexpr uint8_t kAddressReportHead = 0x22;
inline constexpr uint8_t kAddressCommand = 0x40;

// CRC-16/MODBUS: initial 0xFFFF, reflected polynomial 0xA001, no final XOR.
// Frames carry it low byte first.
uint16_t crc16(const uint8_t* bytes, uint16_t count);

// If the head of bytes holds a complete valid frame for address, its length;
// 0 for no frame (a frame is never empty). Address reports are recognised
// whatever the address; a write acknowledgement only when exactly 8 bytes
// are present. A plain int rather than an optional: the receive path asks
// once per byte, and the optional costs a store-forwarding stall there.
int checkFrame(const uint8_t* bytes, int32_t length, uint8_t address);

std::array<uint8_t, 8> buildAddressQuery();
// newAddress must be 1..255.
std::array<uint8_t, 8> buildAddressChange(uint8_t newAddress);
std::array<uint8_t, 20> buildTransferPreamble();
std::array<uint8_t, 8> buildReadRequest(uint8_t address, uint16_t packetNumber);
// imageLength must be 0..2048; the result is imageLength + 8 bytes.
std::vector<uint8_t> buildEnvelope(const uint8_t* image, int32_t imageLength);

struct WritePacket {
  std::vector<uint8_t> frame;  // L + 13 bytes
  int payloadLength = 0;       // L, at most 50
};
// The packet carrying the envelope bytes from 50 * packetNumber on.
WritePacket buildWritePacket(uint8_t address, uint16_t packetNumber, uint16_t totalPackets,
                             const uint8_t* envelope, int32_t envelopeLength);

struct DataResponse {
  int packetNumber = 0;
  int totalPackets = 0;
  std::vector<uint8_t> data;
};
std::optional<DataResponse> parseDataResponse(const uint8_t* frame, int32_t length);
// The acknowledged packet number.
std::optional<int> parseWriteAck(const uint8_t* frame, int32_t length);

// A received envelope is sound when it has at least 8 bytes, a multiple of 8,
// a right CRC and a length field equal to its length.
bool checkEnvelope(const uint8_t* envelope, int32_t length);

// Envelope bytes split into packets: (E + 49) / 50.
inline int packetCount(int envelopeLength) { return (envelopeLength + kPacketPayload - 1) / kPacketPayload; }

// The 13 ASCII characters in bytes 6..18 of the transfer preamble.
inline constexpr char kPreambleText[] = "VELMORA-HOST1";
static_assert(sizeof(kPreambleText) == 14, "the preamble text is exactly 13 characters");

}  // namespace velmora
