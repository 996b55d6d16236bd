#pragma once
// The receive event of the serial driver (TForm1::CommPortDriver1ReceiveData): collects chunks in
// ReceiveBuffer, cuts complete replies in the protocol of ProtocolMode, creates sensor records
// while a bus search runs and hands every other reply to the decoder of the record it names.
// Main thread only. Reports through LinkView(); throws nothing.
void ReceiveChunk(const char* data, int size);
