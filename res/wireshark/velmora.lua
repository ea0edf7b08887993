-- Wireshark dissector for the Velmora gateway's configuration protocol:
-- the captures of velmora-cli --pcap (link type USER0, a direction byte
-- 0 sent by the tool / 1 received before each frame) and live TCP on port
-- 6000, with frames reassembled across segments.
--
-- tshark -X lua_script:velmora.lua -r capture.pcap -V

local velmora = Proto("velmora", "Velmora gateway configuration protocol")

local f = velmora.fields
f.direction = ProtoField.uint8("velmora.direction", "Direction", base.DEC, { [0] = "sent by the tool", [1] = "received" })
f.address = ProtoField.uint8("velmora.address", "Device address", base.DEC)
f.func = ProtoField.uint8("velmora.function", "Function", base.HEX, { [0x69] = "read", [0x6C] = "write" })
f.packet = ProtoField.uint16("velmora.packet", "Packet", base.DEC)
f.total = ProtoField.uint16("velmora.total", "Packets in all", base.DEC)
f.count = ProtoField.uint8("velmora.count", "Byte count", base.DEC)
f.data = ProtoField.bytes("velmora.data", "Data")
f.crc = ProtoField.uint16("velmora.crc", "CRC-16/MODBUS", base.HEX)
f.crc_ok = ProtoField.bool("velmora.crc_ok", "CRC right")
f.meaning = ProtoField.string("velmora.meaning", "Meaning")

local PORT = 6000
local PREAMBLE = "\255\0\255\0\170\85"

-- CRC-16/MODBUS: initial 0xFFFF, reflected polynomial 0xA001, no final XOR.
local function crc16(tvb, offset, count)
  local crc = 0xFFFF
  for i = offset, offset + count - 1 do
    crc = bit32.bxor(crc, tvb(i, 1):uint())
    for _ = 1, 8 do
      if bit32.band(crc, 1) ~= 0 then crc = bit32.bxor(bit32.rshift(crc, 1), 0xA001)
      else crc = bit32.rshift(crc, 1) end
    end
  end
  return crc
end

local function crcRight(tvb, offset, count)
  return crc16(tvb, offset, count) == tvb(offset + count, 2):le_uint()
end

-- The length of the frame at the head of buf for a direction, or nil when
-- more bytes are needed to tell; -1 for bytes that start no frame.
local function frameLength(buf, offset, sent)
  local left = buf:len() - offset
  if left < 3 then return nil end
  local b0, b1, b2 = buf(offset, 1):uint(), buf(offset + 1, 1):uint(), buf(offset + 2, 1):uint()
  if sent then
    if b0 == 0xFF then return 20 end
    if b0 == 0x55 and b1 == 0xF5 then return 8 end
    if b1 == 0x69 then return 8 end
    if b1 == 0x6C then
      if left < 7 then return nil end
      return buf(offset + 6, 1):uint() + 9
    end
  else
    if b0 == 0x22 and b2 == 0x40 then return 8 end
    if b1 == 0x69 then return b2 + 5 end
    if b1 == 0x6C then return 8 end
  end
  return -1
end

-- Decodes one whole frame into tree; returns its meaning (the words
-- velmora-cli --trace uses).
local function decode(tvb, tree, sent)
  local n = tvb:len()
  local b = function(i) return tvb(i, 1):uint() end
  local function crcItems(at)
    tree:add_le(f.crc, tvb(at, 2))
    local ok = crcRight(tvb, 0, at)
    tree:add(f.crc_ok, ok)
    return ok
  end
  if sent then
    if n == 20 and tvb(0, 6):raw() == PREAMBLE then return "transfer preamble" end
    if n == 8 and b(0) == 0x55 and b(1) == 0xF5 then
      local sum = 0
      for i = 0, 6 do sum = (sum + b(i)) % 256 end
      if sum == b(7) and b(2) == 0x40 then return "address query" end
      if sum == b(7) and b(2) == 0x41 then
        tree:add(f.address, tvb(6, 1))
        return string.format("address change to %d", b(6))
      end
    elseif n == 8 and b(1) == 0x69 then
      tree:add(f.address, tvb(0, 1)); tree:add(f.func, tvb(1, 1)); tree:add(f.packet, tvb(4, 2))
      if crcItems(6) then return string.format("read request: packet %d", tvb(4, 2):uint()) end
    elseif n >= 13 and b(1) == 0x6C then
      tree:add(f.address, tvb(0, 1)); tree:add(f.func, tvb(1, 1)); tree:add(f.packet, tvb(4, 2))
      tree:add(f.total, tvb(9, 2))
      local count = b(6) - 4
      if count > 0 then tree:add(f.data, tvb(11, count)) end
      if crcItems(n - 2) then
        return string.format("write packet %d of %d, %d data bytes", tvb(4, 2):uint(), tvb(9, 2):uint(), count)
      end
    end
    return string.format("unknown, %d bytes", n)
  end
  if n == 8 and b(0) == 0x22 and b(2) == 0x40 then
    tree:add(f.address, tvb(1, 1))
    local sum = (b(1) + b(3) + b(4) + b(5) + b(6) + 0x62) % 256
    if sum == b(7) then return string.format("address report: %d", b(1)) end
  elseif n >= 8 and b(1) == 0x69 and n == b(2) + 5 then
    tree:add(f.address, tvb(0, 1)); tree:add(f.func, tvb(1, 1)); tree:add(f.count, tvb(2, 1))
    local k = b(2)
    if k >= 4 then
      tree:add(f.packet, tvb(3, 2)); tree:add(f.total, tvb(5, 2))
      if k > 4 then tree:add(f.data, tvb(7, k - 4)) end
    end
    if crcItems(k + 3) and k >= 4 then
      return string.format("data response: packet %d of %d, %d data bytes", tvb(3, 2):uint(), tvb(5, 2):uint(), k - 4)
    end
  elseif n == 8 and b(1) == 0x6C then
    tree:add(f.address, tvb(0, 1)); tree:add(f.func, tvb(1, 1)); tree:add(f.packet, tvb(4, 2))
    if crcItems(6) then return string.format("acknowledgement of packet %d", tvb(4, 2):uint()) end
  end
  return string.format("no frame, %d bytes", n)
end

local function show(tvb, pinfo, root, sent)
  local tree = root:add(velmora, tvb())
  local meaning = decode(tvb, tree, sent)
  tree:add(f.meaning, meaning):set_generated()
  tree:append_text(": " .. meaning)
  return meaning
end

-- Captures of velmora-cli --pcap: one frame per record after the direction byte.
local function dissectRecord(tvb, pinfo, root)
  if tvb:len() < 2 then return 0 end
  pinfo.cols.protocol = "Velmora"
  local sent = tvb(0, 1):uint() == 0
  root:add(f.direction, tvb(0, 1))
  pinfo.cols.info = (sent and "-> " or "<- ") .. show(tvb(1):tvb(), pinfo, root, sent)
  return tvb:len()
end

-- The live TCP stream: frames may span segments, and a segment may hold several.
local function dissectTcp(tvb, pinfo, root)
  local sent = pinfo.dst_port == PORT
  local offset, meanings = 0, {}
  while offset < tvb:len() do
    local length = frameLength(tvb, offset, sent)
    if length == nil then
      pinfo.desegment_offset = offset
      pinfo.desegment_len = DESEGMENT_ONE_MORE_SEGMENT
      break
    end
    if length < 0 then length = tvb:len() - offset end
    if offset + length > tvb:len() then
      pinfo.desegment_offset = offset
      pinfo.desegment_len = offset + length - tvb:len()
      break
    end
    meanings[#meanings + 1] = show(tvb(offset, length):tvb(), pinfo, root, sent)
    offset = offset + length
  end
  if #meanings > 0 then
    pinfo.cols.protocol = "Velmora"
    pinfo.cols.info = (sent and "-> " or "<- ") .. table.concat(meanings, "; ")
  end
  return tvb:len()
end

function velmora.dissector(tvb, pinfo, root)
  if pinfo.src_port == PORT or pinfo.dst_port == PORT then return dissectTcp(tvb, pinfo, root) end
  return dissectRecord(tvb, pinfo, root)
end

DissectorTable.get("wtap_encap"):add(wtap.USER0, velmora)
DissectorTable.get("tcp.port"):add(PORT, velmora)
