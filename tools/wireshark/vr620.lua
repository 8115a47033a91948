-- VR-620 for Wireshark and tshark: the gateway protocol on TCP (port 7105, or the ports set in
-- the preferences under Protocols > VR620), and the serial line as the device library captures
-- it (DUCTA.INI, [Trace] File=): the device's frames and the modem's commands and results.
--
--   wireshark -X lua_script:vr620.lua capture.pcapng
--   tshark -X lua_script:vr620.lua -r capture.pcapng -Y vr620.line.checksum.status==0
--
-- or copy it into a Lua plug-in folder (Help > About > Folders, or `tshark -G folders`).
--
-- Fields: vr620.* (gateway), vr620.line.* (device frames), vr620.modem.* (modem text).

local MAX_BODY = 4096 -- the largest message body the gateway takes
local HEADER = 5      -- command, SNVT number, status

local P2P_SENT, P2P_RECV = 0, 1 -- pinfo.p2p_dir from the packet's direction flag

----------------------------------------------------------------------------------------------
-- The gateway protocol: a 4-byte big-endian body length, then the body: command (2 bytes),
-- SNVT number (2), status (1: 0x00 OK, 0xFF ERROR in a reply; ignored in a request), data.

local gateway = Proto("vr620", "VR-620 gateway protocol")

local COMMANDS = { [1] = "DEVICE_CONNECT", [2] = "DEVICE_DISCONNECT", [3] = "SNVT_READ",
                   [4] = "SNVT_WRITE", [0x10] = "LAST_REASON" }
local LAST_REASON = 0x10
local STATUSES = { [0x00] = "OK", [0xFF] = "ERROR" }

local gf = {
    length = ProtoField.uint32("vr620.length", "Body length", base.DEC),
    command = ProtoField.uint16("vr620.command", "Command", base.DEC, COMMANDS),
    snvt = ProtoField.uint16("vr620.snvt", "SNVT number", base.HEX),
    status = ProtoField.uint8("vr620.status", "Status", base.HEX, STATUSES),
    data_length = ProtoField.uint16("vr620.data_length", "Data length", base.DEC),
    data = ProtoField.bytes("vr620.data", "Data", base.SPACE),
    reason = ProtoField.string("vr620.reason", "Reason", base.UNICODE),
    reply = ProtoField.bool("vr620.reply", "Reply"),
}
gateway.fields = gf

local ge = {
    too_long = ProtoExpert.new("vr620.too_long", "Body longer than the gateway takes (4096 bytes)",
                               expert.group.MALFORMED, expert.severity.ERROR),
    short = ProtoExpert.new("vr620.short", "Body shorter than its 5-byte header",
                            expert.group.MALFORMED, expert.severity.WARN),
    error = ProtoExpert.new("vr620.error", "ERROR reply", expert.group.RESPONSE_CODE,
                            expert.severity.NOTE),
}
gateway.experts = ge

gateway.prefs.tcp_ports = Pref.range("TCP ports", "7105",
    "The gateway's TCP ports: 7105, and any other port a gateway serves (--port, PORT=)", 65535)

local registered_ports = ""
local function register_ports()
    local tcp = DissectorTable.get("tcp.port")
    if registered_ports ~= "" then tcp:remove(registered_ports, gateway) end
    registered_ports = gateway.prefs.tcp_ports
    if registered_ports ~= "" then tcp:add(registered_ports, gateway) end
end
gateway.prefs_changed = register_ports

local function hex_bytes(s, limit)
    local out = {}
    for i = 1, math.min(#s, limit) do out[#out + 1] = string.format("%02X", s:byte(i)) end
    if #s > limit then out[#out + 1] = "..." end
    return table.concat(out, " ")
end

local info_first -- the first message of a segment sets the Info column, later ones append

local function message_length(tvb, pinfo, offset)
    local n = tvb(offset, 4):uint()
    -- No gateway sends or takes such a message: show what there is instead of waiting for it.
    if n > MAX_BODY then return tvb:len() - offset end
    return 4 + n
end

local function dissect_message(tvb, pinfo, tree)
    local is_reply = pinfo.src_port == pinfo.match_uint
    local n = tvb(0, 4):uint()
    local t = tree:add(gateway, tvb())
    t:add(gf.length, tvb(0, 4))
    t:add(gf.reply, is_reply):set_generated()
    local text
    if n > MAX_BODY then
        t:add_proto_expert_info(ge.too_long)
        text = string.format("Body of %d bytes, longer than the gateway takes", n)
    elseif n < HEADER then
        t:add_proto_expert_info(ge.short)
        if n >= 2 then t:add(gf.command, tvb(4, 2)) end
        text = string.format("Short message (%d bytes)", n)
    else
        local code = tvb(4, 2):uint()
        local name = COMMANDS[code] or string.format("Unknown command %d", code)
        t:add(gf.command, tvb(4, 2))
        t:add(gf.snvt, tvb(6, 2))
        local status = t:add(gf.status, tvb(8, 1))
        if not is_reply then status:append_text(" (not used in a request)") end
        t:add(gf.data_length, tvb(8, 1), n - HEADER):set_generated()
        text = string.format("%s %s 0x%04X", name, is_reply and "reply" or "request",
                             tvb(6, 2):uint())
        if is_reply then
            local s = tvb(8, 1):uint()
            text = text .. " " .. (STATUSES[s] or string.format("status 0x%02X", s))
            if s == 0xFF then t:add_proto_expert_info(ge.error) end
        end
        if n > HEADER and is_reply and code == LAST_REASON then
            -- The words of the connection's last ERROR, UTF-8 without a terminator.
            local reason = tvb(9, n - HEADER)
            t:add(gf.reason, reason, reason:string(ENC_UTF_8))
            text = text .. ": " .. reason:string(ENC_UTF_8)
        elseif n > HEADER then
            t:add(gf.data, tvb(9, n - HEADER))
            text = text .. ": " .. hex_bytes(tvb:raw(9, n - HEADER), 16)
        end
    end
    if info_first then
        pinfo.cols.info:set(text)
        info_first = false
    else
        pinfo.cols.info:append(", " .. text)
    end
    return tvb:len()
end

function gateway.dissector(tvb, pinfo, tree)
    pinfo.cols.protocol = "VR-620"
    info_first = true
    dissect_tcp_pdus(tvb, tree, 4, message_length, dissect_message, true)
    return tvb:len()
end
register_ports()

----------------------------------------------------------------------------------------------
-- The serial line. Each packet is one chunk as the library read or wrote it; a frame may come
-- in several chunks and is put together here, the way the library reads it: bytes before the
-- start byte 0x02 are dropped, the first 0x02 starts a frame, its third byte gives its size
-- (length + 4), and the library drops what it has not read before it sends again.
--   STX 0x02 | command | length L | index (2 bytes, high first) | data (L - 2) | checksum
-- The checksum is the 8-bit sum of the L + 2 bytes from the command byte on.

local line = Proto("vr620.line", "VR-620 serial line")

local lf = {
    stx = ProtoField.uint8("vr620.line.stx", "Start byte", base.HEX),
    command = ProtoField.uint8("vr620.line.command", "Command", base.HEX),
    refused = ProtoField.bool("vr620.line.refused", "Refused by the device", 8, nil, 0x01),
    length = ProtoField.uint8("vr620.line.length", "Length (index and data)", base.DEC),
    index = ProtoField.uint16("vr620.line.index", "Index", base.HEX),
    data = ProtoField.bytes("vr620.line.data", "Data", base.SPACE),
    checksum = ProtoField.uint8("vr620.line.checksum", "Checksum", base.HEX),
    checksum_status = ProtoField.uint8("vr620.line.checksum.status", "Checksum status", base.DEC,
                                       { [0] = "Bad", [1] = "Good" }),
    noise = ProtoField.bytes("vr620.line.noise", "Bytes before the start byte", base.SPACE),
    fragment = ProtoField.bytes("vr620.line.fragment", "Part of a frame", base.SPACE),
    first_packet = ProtoField.framenum("vr620.line.first_packet", "Frame begins in packet"),
    reply_in = ProtoField.framenum("vr620.line.reply_in", "Reply in packet"),
    request_in = ProtoField.framenum("vr620.line.request_in", "Request in packet"),
    reply_time = ProtoField.relative_time("vr620.line.reply_time", "Reply after"),
    no_reply = ProtoField.none("vr620.line.no_reply", "No reply"),
    port = ProtoField.string("vr620.line.port", "Port"),
    dropped = ProtoField.uint16("vr620.line.dropped", "Incomplete reply bytes dropped", base.DEC),
}
line.fields = lf

local le = {
    bad_checksum = ProtoExpert.new("vr620.line.checksum.bad", "Wrong checksum",
                                   expert.group.CHECKSUM, expert.severity.ERROR),
    refused = ProtoExpert.new("vr620.line.refused.expert", "The device refused the request",
                              expert.group.RESPONSE_CODE, expert.severity.WARN),
    noise = ProtoExpert.new("vr620.line.noise.expert", "Bytes before the start byte (dropped)",
                            expert.group.PROTOCOL, expert.severity.WARN),
    no_reply = ProtoExpert.new("vr620.line.no_reply.expert", "No reply (time-out)",
                               expert.group.SEQUENCE, expert.severity.WARN),
    dropped = ProtoExpert.new("vr620.line.dropped.expert", "Incomplete reply dropped (time-out)",
                              expert.group.SEQUENCE, expert.severity.WARN),
}
line.experts = le

local modem = Proto("vr620.modem", "VR-620 modem commands and results")

local mf = {
    text = ProtoField.string("vr620.modem.text", "Text"),
    result = ProtoField.string("vr620.modem.result", "Result"),
    answer = ProtoField.string("vr620.modem.answer", "Whole answer"),
}
modem.fields = mf

local me = {
    failed = ProtoExpert.new("vr620.modem.failed", "Modem result other than OK or CONNECT",
                             expert.group.RESPONSE_CODE, expert.severity.WARN),
}
modem.experts = me

local f_section = Field.new("frame.section_number")
local f_interface = Field.new("frame.interface_id")
local f_interface_name = Field.new("frame.interface_name")
local f_interface_description = Field.new("frame.interface_description")

-- Built on the first pass, in packet order; later passes (and a click in Wireshark) show it.
local streams  -- per section and interface (one per open of the channel): parsers, request,
               -- modem answer
local packets  -- per packet number: what the packet holds

local function reset_state()
    streams = {}
    packets = {}
end
reset_state()
function line.init() reset_state() end

-- The port of the section, as the library names its interface: "COM1 direct, 4800 bit/s" and
-- the device path. Each open of the port is a section of its own.
local function port_of()
    local name, description = f_interface_name(), f_interface_description()
    name = name and name.value or ""
    description = description and description.value or ""
    if description == "" then return name end
    if name == "" then return description end
    return description .. " (" .. name .. ")"
end

local function stream_of(pinfo)
    local section, interface = f_section(), f_interface()
    local id = (section and section.value or 0) .. "/" .. (interface and interface.value or 0)
    local s = streams[id]
    if not s then
        s = { [P2P_SENT] = { buf = "" }, [P2P_RECV] = { buf = "" }, modem = { text = "" },
              port = port_of() }
        streams[id] = s
    end
    return s
end

-- A request without a reply: the line was used again before one came, or (once the whole file
-- has been read, on the second pass and later) nothing came after it at all. The packet's
-- stream is the one of the first pass: later passes need not bring the frame's fields.
local function no_reply(pinfo, r)
    if r.no_reply then return true end
    if not pinfo.visited then return false end
    local s = r.stream
    return s.request ~= nil and s.request.number == pinfo.number and not s.request.reply
end

-- The line is used again: a request still waiting has had no reply, and the library has
-- dropped whatever part of a reply it had.
local function line_used(s, r)
    if s.request and not s.request.reply then packets[s.request.number].no_reply = true end
    s.request = nil
    local p = s[P2P_RECV]
    if #p.buf > 0 then r.dropped = #p.buf end
    p.buf, p.size, p.first = "", nil, nil
end

local function analyse_device(tvb, pinfo, dir)
    local s = stream_of(pinfo)
    local r = { pieces = {}, stream = s }
    if dir == P2P_SENT then line_used(s, r) end
    local p = s[dir] or { buf = "" }
    local raw = tvb:raw()
    local i, n = 1, #raw
    while i <= n do
        if p.buf == "" then
            local stx = raw:find("\2", i, true)
            local noise_end = stx and stx - 1 or n
            if noise_end >= i then
                r.pieces[#r.pieces + 1] = { kind = "noise", offset = i - 1, len = noise_end - i + 1 }
            end
            if not stx then break end
            i, p.first = stx, pinfo.number
        end
        local start = i - 1
        while i <= n do
            local want = (p.size or 3) - #p.buf
            local take = math.min(want, n - i + 1)
            p.buf = p.buf .. raw:sub(i, i + take - 1)
            i = i + take
            if not p.size and #p.buf == 3 then p.size = p.buf:byte(3) + 4 end
            if p.size and #p.buf == p.size then break end
        end
        local piece = { offset = start, len = i - 1 - start }
        if p.size and #p.buf == p.size then
            piece.kind, piece.bytes, piece.first = "frame", p.buf, p.first
            p.buf, p.size, p.first = "", nil, nil
            if dir == P2P_SENT then
                s.request = { number = pinfo.number, time = pinfo.abs_ts }
            elseif s.request and not s.request.reply then
                s.request.reply = pinfo.number
                packets[s.request.number].reply_in = pinfo.number
                piece.request_in = s.request.number
                piece.reply_time = pinfo.abs_ts - s.request.time
            end
        else
            piece.kind, piece.have, piece.size = "part", #p.buf, p.size
        end
        r.pieces[#r.pieces + 1] = piece
    end
    return r
end

local function bytes_text(n)
    return n == 1 and "1 byte" or string.format("%d bytes", n)
end

local function show_frame(ftvb, pinfo, tree, dir, piece)
    local t = tree:add(line, ftvb(), "VR-620 frame")
    local L = ftvb(2, 1):uint()
    t:add(lf.stx, ftvb(0, 1))
    local command = ftvb(1, 1):uint()
    t:add(lf.command, ftvb(1, 1))
    if dir ~= P2P_SENT then t:add(lf.refused, ftvb(1, 1)) end
    t:add(lf.length, ftvb(2, 1))
    local index, data = nil, ""
    if L >= 2 then
        index = ftvb(3, 2):uint()
        t:add(lf.index, ftvb(3, 2))
        if L > 2 then
            t:add(lf.data, ftvb(5, L - 2))
            data = ftvb:raw(5, L - 2)
        end
    end
    local sum = 0
    for k = 1, L + 2 do sum = (sum + ftvb(k, 1):uint()) % 256 end
    local ck = ftvb(L + 3, 1)
    local good = ck:uint() == sum
    local item = t:add(lf.checksum, ck)
    t:add(lf.checksum_status, ck, good and 1 or 0):set_generated()
    if good then
        item:append_text(" [correct]")
    else
        item:append_text(string.format(" [incorrect, should be 0x%02X]", sum))
        item:add_proto_expert_info(le.bad_checksum)
    end

    local text
    local at = index and string.format("0x%04X", index) or "(no index)"
    if dir == P2P_SENT then
        if command == 0x81 then
            text = "Read " .. at
        elseif command == 0x82 then
            text = "Write " .. at
        else
            text = string.format("Command 0x%02X, %s", command, at)
        end
    else
        if command % 2 == 1 then
            t:add_proto_expert_info(le.refused)
            text = string.format("Refused (0x%02X), %s", command, at)
        else
            text = string.format("Reply 0x%02X, %s", command, at)
        end
    end
    if #data > 0 then text = text .. ": " .. hex_bytes(data, 16) end
    if not good then text = text .. " [wrong checksum]" end

    if piece.first ~= pinfo.number then
        t:add(lf.first_packet, piece.first):set_generated()
    end
    if piece.request_in then
        t:add(lf.request_in, piece.request_in):set_generated()
        -- The capture's times are whole microseconds.
        local us = math.floor(piece.reply_time * 1e6 + 0.5)
        t:add(lf.reply_time, NSTime.new(math.floor(us / 1000000), (us % 1000000) * 1000)):set_generated()
    end
    return t, text
end

function line.dissector(tvb, pinfo, tree)
    pinfo.cols.protocol = "VR-620"
    local dir = pinfo.p2p_dir
    local r = packets[pinfo.number]
    if not r then
        r = analyse_device(tvb, pinfo, dir)
        packets[pinfo.number] = r
    end
    local host_side = dir == P2P_SENT
    pinfo.cols.src = host_side and "host" or "device"
    pinfo.cols.dst = host_side and "device" or "host"
    local texts = {}
    local root = tree:add(line, tvb())
    if r.stream.port == "" then r.stream.port = port_of() end  -- a first pass without the fields
    local port = r.stream.port
    if port ~= "" then
        root:append_text(", " .. port)
        root:add(lf.port, port):set_generated()
    end
    if r.dropped then
        root:add(lf.dropped, r.dropped):set_generated()
        root:add_proto_expert_info(le.dropped)
    end
    for _, piece in ipairs(r.pieces) do
        local range = tvb(piece.offset, piece.len)
        if piece.kind == "noise" then
            root:add(lf.noise, range)
            root:add_proto_expert_info(le.noise)
            texts[#texts + 1] = bytes_text(piece.len) .. " before the start byte"
        elseif piece.kind == "part" then
            local of = piece.size and string.format("%d of %d bytes", piece.have, piece.size)
                       or bytes_text(piece.have) .. " so far"
            root:add(lf.fragment, range):append_text(" (" .. of .. ")")
            texts[#texts + 1] = "Part of a frame (" .. of .. ")"
        else
            local ftvb
            if piece.first == pinfo.number and piece.len == #piece.bytes then
                ftvb = range:tvb()
            else
                ftvb = ByteArray.new(piece.bytes, true):tvb("VR-620 frame")
            end
            local t, text = show_frame(ftvb, pinfo, root, dir, piece)
            if piece.first == pinfo.number and r.reply_in then
                t:add(lf.reply_in, r.reply_in):set_generated()
            end
            if piece.first == pinfo.number and dir == P2P_SENT and no_reply(pinfo, r) then
                t:add(lf.no_reply):set_generated()
                t:add_proto_expert_info(le.no_reply)
                text = text .. " [no reply]"
            end
            texts[#texts + 1] = text
        end
    end
    pinfo.cols.info = table.concat(texts, "; ")
    return tvb:len()
end

-- The modem's result codes, found as the library finds them: the earliest in the answer wins,
-- letter case ignored; CONNECT counts once a carriage return follows it.
local RESULTS = { "OK\r", "NO CARRIER\r", "ERROR\r", "NO DIAL\r", "BUSY\r", "NO ANSWER\r",
                  "RING\r" }

local function recognise(text)
    local up = text:upper()
    for pos = 1, #up do
        for _, code in ipairs(RESULTS) do
            if up:sub(pos, pos + #code - 1) == code then return code:sub(1, -2) end
        end
        if up:sub(pos, pos + 6) == "CONNECT" then
            local cr = text:find("\r", pos + 7, true)
            if cr then return text:sub(pos, cr - 1) end
            return nil
        end
    end
    return nil
end

local function shown(text)
    return (text:gsub("\r", "<CR>"):gsub("\n", "<LF>"))
end

function modem.dissector(tvb, pinfo, tree)
    pinfo.cols.protocol = "VR-620 modem"
    local dir = pinfo.p2p_dir
    local r = packets[pinfo.number]
    if not r then
        local s = stream_of(pinfo)
        r = { stream = s }
        if dir == P2P_SENT then
            line_used(s, r)
            s.modem = { text = "" }
        else
            s.modem.text = s.modem.text .. tvb:raw()
            if not s.modem.result then
                s.modem.result = recognise(s.modem.text)
                r.result = s.modem.result
                if r.result then r.answer = s.modem.text end
            end
        end
        packets[pinfo.number] = r
    end
    local host_side = dir == P2P_SENT
    pinfo.cols.src = host_side and "host" or "modem"
    pinfo.cols.dst = host_side and "modem" or "host"
    local t = tree:add(modem, tvb())
    if r.stream.port == "" then r.stream.port = port_of() end
    local port = r.stream.port
    if port ~= "" then
        t:append_text(", " .. port)
        t:add(lf.port, port):set_generated()
    end
    t:add(mf.text, tvb())
    local text = (host_side and "Command: " or "Answer: ") .. shown(r.answer or tvb:raw())
    if r.result then
        t:add(mf.answer, r.answer):set_generated()
        local item = t:add(mf.result, r.result):set_generated()
        if r.result ~= "OK" and r.result:sub(1, 7):upper() ~= "CONNECT" then
            item:add_proto_expert_info(me.failed)
        end
        text = text .. " [" .. r.result .. "]"
    end
    pinfo.cols.info = text
    return tvb:len()
end
