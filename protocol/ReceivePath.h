#pragma once
#include <cstddef>

// The receive event of the serial driver (TForm1::CommPortDriver1ReceiveData): collects chunks in
// ReceiveBuffer, cuts complete replies in the protocol of ProtocolMode, creates sensor records
// while a bus search runs and hands every other reply to the decoder of the record it names.
// Main thread only. Reports through LinkView(); throws nothing.
void ReceiveChunk(const char* data, int size);

// The number of bytes of the frame that the receive path last copied into FrameBuffer (0 before
// the first): the Modbus decoder reads no byte of FrameBuffer at or beyond it. Main thread only.
std::size_t ReceivedFrameLength();
