// Delivers the data records (GPS, G-sensor, information, setup) of an open recording one at a time,
// in file order, as the camera's source filter did. Implemented by the container reader; read by
// the record loop of an opened recording and by the command-line tool.
#pragma once

#include <cstdint>

class RecordSource {
public:
    static constexpr uint32_t kMaxRecordSize = 1024;

    virtual ~RecordSource() = default;

    // Copies the next record into `buffer` (capacity *size, at most kMaxRecordSize bytes are
    // written), sets *size to the bytes written and *timestampMs to the record's time stamp.
    // Returns 0 when a record was delivered, non-zero when there is none (end or error).
    virtual int GetNextRecord(uint8_t* buffer, uint32_t* size, uint32_t* timestampMs) = 0;

    // Starts delivery again from the first record.
    virtual void Rewind() = 0;
};
