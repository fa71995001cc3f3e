#pragma once

#include "ports/port.h"

#include <string>

namespace veltaro {

// A Port over a disk file. As a sink it writes the raw stream to a log file; as a source it replays a
// recorded file at most 100 bytes every 200 ms.
class FilePort : public Port {
public:
    explicit FilePort(const char* path);
    ~FilePort() override;

    bool getSettings(std::unique_ptr<char[]>& block, int& length) override;
    bool setSettings(const char* block, int length) override;
    bool open(bool asSource, ByteQueue* queue) override;
    bool queryFlag(int code) const override;

private:
    void runReader() override;
    void runWriter() override;
    void writeBlock(const char* bytes, int n) override;

    std::string path;
};

} // namespace veltaro
