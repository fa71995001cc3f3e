#pragma once

#include "ports/port.h"

#include <cstring>
#include <string>

namespace veltaro::test {

// A port the test drives by hand: open hands its queue to the test, and no thread runs.
class ScriptedPort : public Port {
public:
    explicit ScriptedPort(std::string name = "") : name(std::move(name)) {}

    bool initializeResult = true;
    bool openResult = true;
    ByteQueue* fed = nullptr; // the queue open was given: a source's input, a sink's output

    // What a source's worker would do with bytes from its channel.
    void send(const std::string& bytes) { deliver(bytes.data(), static_cast<int>(bytes.size())); }
    // What a source's worker reports when its device goes and comes back.
    void lose(DWORD error = ERROR_BAD_COMMAND) { reportLost(error); }
    void regain() { reportWorking(); }
    // What any worker would report of its channel.
    void fail(const char* what, DWORD error) { reportFailure(what, error); }
    void dropLines(std::int64_t total) { reportDroppedLines(total); }
    void end(std::int64_t at) { reportEnd(at); }

    bool initialize() override {
        Port::initialize();
        return initializeResult;
    }
    bool getSettings(std::unique_ptr<char[]>&, int&) override { return false; }
    bool setSettings(const char*, int) override { return false; }
    bool open(bool, ByteQueue* queue) override {
        fed = openResult ? queue : nullptr;
        this->queue = fed;
        return openResult;
    }
    std::unique_ptr<char[]> displayName() const override {
        if (name.empty()) {
            return nullptr;
        }
        std::unique_ptr<char[]> copy(new char[name.size() + 1]);
        std::memcpy(copy.get(), name.c_str(), name.size() + 1);
        return copy;
    }

private:
    void runReader() override {}
    void runWriter() override {}
    std::string name;
};

} // namespace veltaro::test
