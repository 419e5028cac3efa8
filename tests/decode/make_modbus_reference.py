#!/usr/bin/python3
"""Writes modbus_reference.txt: Modbus conversations whose frames were built
by python3-pymodbus (Debian package), so that the decoder is checked against
an implementation written elsewhere. Run it again after changing a scenario:

    /usr/bin/python3 tests/decode/make_modbus_reference.py > tests/decode/modbus_reference.txt

Format, one item a line:
  scenario NAME rtu|ascii MASTER     a conversation and how it is decoded
  T HEX / R HEX                      characters on TXD / RXD, as one burst
  G MS                               a stamp: MS milliseconds pass
  F DIR KIND ADDRESS FUNCTION CHECK REPLY [| FIELDS]
                                     a frame expected, in conversation order;
                                     REPLY is the index (from 0) of the
                                     expected frame it answers, or -
  end
"""
from pymodbus.factory import ClientDecoder
from pymodbus.framer.ascii_framer import ModbusAsciiFramer
from pymodbus.framer.rtu_framer import ModbusRtuFramer
from pymodbus.pdu import ExceptionResponse, ModbusRequest
from pymodbus import bit_read_message as br, bit_write_message as bw
from pymodbus import register_read_message as rr, register_write_message as rw
from pymodbus import diag_message as dg, other_message as om, file_message as fm, mei_message as mm

RTU = ModbusRtuFramer(ClientDecoder())
ASCII = ModbusAsciiFramer(ClientDecoder())


class UnknownRequest(ModbusRequest):
    """A function code with no public length rule (65, user-defined)."""
    function_code = 65

    def __init__(self, payload, **kwargs):
        ModbusRequest.__init__(self, **kwargs)
        self.payload = payload

    def encode(self):
        return self.payload


class Scenario:
    def __init__(self, name, kind, master):
        self.framer = RTU if kind == "rtu" else ASCII
        self.lines = [f"scenario {name} {kind} {master}"]
        self.frames = 0

    def send(self, direction, data, burst=0, gap=0):
        chunks = [data[i:i + burst] for i in range(0, len(data), burst)] if burst else [data]
        for n, chunk in enumerate(chunks):
            if n and gap:
                self.lines.append(f"G {gap}")
            self.lines.append(f"{direction} {chunk.hex().upper()}")

    def frame(self, direction, message, kind, check="ok", reply=None, fields=None, corrupt=None, burst=0, gap=0):
        data = bytearray(self.framer.buildPacket(message))
        if corrupt is not None:
            # RTU: one bit flipped; ASCII: another hexadecimal digit.
            if self.framer is RTU:
                data[corrupt] ^= 0x10
            else:
                data[corrupt] = ord("7") if data[corrupt] != ord("7") else ord("8")
        self.send(direction, bytes(data), burst, gap)
        line = f"F {'TXD' if direction == 'T' else 'RXD'} {kind} {message.unit_id} {message.function_code} {check} "
        line += "-" if reply is None else str(reply)
        if fields:
            line += " | " + fields
        self.lines.append(line)
        self.frames += 1
        return self.frames - 1

    def text(self):
        return "\n".join(self.lines + ["end"])


def values(registers):
    return "values " + " ".join(str(v) for v in registers)


def bursts():
    s = Scenario("bursts", "rtu", "txd")
    regs = [(i * 517) & 0xFFFF for i in range(125)]
    q = s.frame("T", rr.ReadHoldingRegistersRequest(0, 125, unit=17), "request", fields="start 0 count 125")
    s.lines.append("G 20")
    # A long response as an adapter hands it over: 32 characters at a time.
    s.frame("R", rr.ReadHoldingRegistersResponse(regs, unit=17), "response", reply=q, fields=values(regs),
            burst=32, gap=3)
    q = s.frame("T", rw.WriteMultipleRegistersRequest(100, [1, 2, 65535, 40000], unit=17), "request",
                fields="start 100 count 4 values 1 2 65535 40000")
    s.frame("R", rw.WriteMultipleRegistersResponse(100, 4, unit=17), "response", reply=q, fields="start 100 count 4")
    return s


def faults():
    s = Scenario("faults", "rtu", "auto")
    regs = [10, 20, 30]
    q = s.frame("T", rr.ReadHoldingRegistersRequest(5, 3, unit=1), "request")
    # A character changed on the line: the frame is there, its CRC wrong.
    s.frame("R", rr.ReadHoldingRegistersResponse(regs, unit=1), "response", check="bad", corrupt=4)
    # No answer to this one.
    s.frame("T", rr.ReadInputRegistersRequest(0, 2, unit=2), "request")
    q = s.frame("T", rw.WriteSingleRegisterRequest(7, 1234, unit=2), "request", fields="register 7 value 1234")
    s.frame("R", rw.WriteSingleRegisterResponse(7, 1234, unit=2), "response", reply=q)
    q = s.frame("T", rr.ReadHoldingRegistersRequest(9000, 1, unit=3), "request")
    s.frame("R", ExceptionResponse(3, 2, unit=3), "exception", reply=q, fields="code 2 Illegal Data Address")
    q = s.frame("T", UnknownRequest(b"\x01\x02\x03", unit=4), "request")
    s.frame("R", UnknownRequest(b"\x09\x08\x07\x06\x05", unit=4), "response", reply=q)
    # A damaged request of that function: no length rule says where it ends,
    # yet the answer that follows shows it has.
    s.frame("T", UnknownRequest(b"\x01\x02\x03", unit=4), "noise", check="bad", corrupt=3)
    s.frame("R", ExceptionResponse(65, 1, unit=4), "exception")
    q = s.frame("T", rr.ReadHoldingRegistersRequest(1, 1, unit=4), "request")
    s.frame("R", rr.ReadHoldingRegistersResponse([77], unit=4), "response", reply=q)
    return s


def functions(name, kind, master):
    """Every public function with a length rule, request and response, one
    after the other with no gap; on a bus both on one direction."""
    s = Scenario(name, kind, master)
    back = "T" if master == "bus" else "R"
    pairs = [
        (br.ReadCoilsRequest(3, 19, unit=9), br.ReadCoilsResponse([True, False] * 9 + [True], unit=9)),
        (br.ReadDiscreteInputsRequest(0, 8, unit=9), br.ReadDiscreteInputsResponse([True] * 8, unit=9)),
        (rr.ReadInputRegistersRequest(1, 2, unit=9), rr.ReadInputRegistersResponse([5, 6], unit=9)),
        (bw.WriteSingleCoilRequest(4, True, unit=9), bw.WriteSingleCoilResponse(4, True, unit=9)),
        (om.ReadExceptionStatusRequest(unit=9), om.ReadExceptionStatusResponse(0x55, unit=9)),
        (dg.ReturnQueryDataRequest(0x1234, unit=9), dg.ReturnQueryDataResponse(0x1234, unit=9)),
        (om.GetCommEventCounterRequest(unit=9), om.GetCommEventCounterResponse(3, unit=9)),
        (om.GetCommEventLogRequest(unit=9), om.GetCommEventLogResponse(status=True, message_count=2, event_count=1,
                                                                       events=[1, 2], unit=9)),
        (bw.WriteMultipleCoilsRequest(8, [True] * 10, unit=9), bw.WriteMultipleCoilsResponse(8, 10, unit=9)),
        (om.ReportSlaveIdRequest(unit=9), om.ReportSlaveIdResponse(b"KS-1", True, unit=9)),
        (rw.MaskWriteRegisterRequest(4, 0xF2, 0x25, unit=9), rw.MaskWriteRegisterResponse(4, 0xF2, 0x25, unit=9)),
        (rr.ReadWriteMultipleRegistersRequest(read_address=1, read_count=2, write_address=3,
                                              write_registers=[7, 8, 9], unit=9),
         rr.ReadWriteMultipleRegistersResponse([11, 12], unit=9)),
        (fm.ReadFifoQueueRequest(0x04DE, unit=9), fm.ReadFifoQueueResponse([440, 441], unit=9)),
        (mm.ReadDeviceInformationRequest(read_code=1, object_id=0, unit=9),
         mm.ReadDeviceInformationResponse(read_code=1, information={0: "Kestrane", 1: "KS", 2: "1.0"}, unit=9)),
    ]
    for request, response in pairs:
        q = s.frame("T", request, "request")
        s.frame(back, response, "response", reply=q)
    return s


def ascii_session():
    s = Scenario("ascii", "ascii", "txd")
    q = s.frame("T", rr.ReadHoldingRegistersRequest(0, 3, unit=1), "request", fields="start 0 count 3")
    s.frame("R", rr.ReadHoldingRegistersResponse([1, 2, 3], unit=1), "response", reply=q, fields=values([1, 2, 3]),
            burst=7, gap=2)
    s.frame("T", rr.ReadHoldingRegistersRequest(0, 3, unit=1), "request")
    # A changed digit: the LRC no longer holds.
    s.frame("R", rr.ReadHoldingRegistersResponse([1, 2, 3], unit=1), "response", check="bad", corrupt=8)
    q = s.frame("T", bw.WriteSingleCoilRequest(1, True, unit=1), "request")
    s.frame("R", ExceptionResponse(5, 4, unit=1), "exception", reply=q)
    return s


for scenario in (bursts(), faults(), functions("functions", "rtu", "auto"), functions("bus", "rtu", "bus"),
                 functions("ascii-functions", "ascii", "auto"), ascii_session()):
    print(scenario.text())
